#pragma once

#include "device/LiveRead.h"

#include <optional>
#include <QDateTime>

namespace miv {

class Operator;
struct RelaySession;

// The commands of the live values page's buttons ("Работа", "Квитирование",
// "Синхронизация", "Стоп", "Установить") and of the service page ("Установить
// мр", "Установить сн"), as the window and `mivctl command` send them. The
// order is the buttons' tags, 1 to 7.
enum class RelayCommand {
    Start = 1,
    Acknowledge,
    SyncClock,
    Stop,
    SetClock,
    SetMotorResource,
    SetSerialNumber,
};

// What a command takes beside itself: the clock for SetClock, the counter
// for SetMotorResource, the number for SetSerialNumber.
struct CommandArguments
{
    QDateTime clock;
    quint32 hours = 0;
    quint32 minutes = 0;
    quint32 serialNumber = 0;
};

// Sends the command to the selected relay (SyncClock with the PC's clock now);
// its failure was told. nullopt when the operator declined the warning of
// "Квитирование": nothing was sent.
std::optional<BusOutcome> sendRelayCommand(RelaySession &session, Operator &op,
                                           RelayCommand command,
                                           const CommandArguments &arguments = {});

// What is read after a command to show what the relay really does: the live
// values, or the service page's values after the service commands. Nothing
// after a relay that did not answer or a lost port: the read would only fail
// again and tell the same failure a second time.
enum class ReadAfterCommand { Nothing, LiveValues, ServiceValues };
ReadAfterCommand readAfterCommand(RelayCommand command, BusOutcome outcome);

} // namespace miv
