#pragma once

#include "config/ConfigGrid.h"
#include "config/ParameterCatalogue.h"
#include "config/TimerSchedule.h"
#include "device/Identification.h"

#include <QString>
#include <optional>

class CliContext;

// A relay's bus address as the commands take it: 1 to 247.
std::optional<quint8> parseRelayAddress(const QString &text);

// Identifies the relay at `address` as a double click on its list line does,
// so that CurrentDevice holds its type. A relay that does not answer is told
// on stderr as the device list would name it.
IdentificationResult identifyRelay(CliContext &context, quint8 address);

// What a configuration command holds, as the window's data module would.
struct RelaySession {
    ParameterCatalogue catalogue;
    ConfigGrid grid;
    TimerSchedule timer;
};

enum class TimerNeed { NotNeeded, Required };

// Opens the port, identifies the relay and reads its configuration (and, for
// type 6, its timer schedule) into the session. With TimerNeed::Required a
// relay without a timer is refused. nullopt when all went well, else the exit
// status, the reason told on stderr.
std::optional<int> connectAndRead(CliContext &context, quint8 address, RelaySession &session,
                                  TimerNeed timer = TimerNeed::NotNeeded);
