#pragma once

#include "device/Identification.h"

#include <optional>
#include <QList>
#include <QString>

namespace miv::cli {

class CliContext;

// A relay's bus address as the commands take it: 1 to 247 (RelayAddress).
std::optional<quint8> parseRelayAddress(const QString &text);

// Identifies the relay at `address` as a double click on its list line does,
// so that CurrentDevice holds its type. A relay that does not answer is told
// on stderr as the device list would name it.
miv::IdentificationResult identifyAt(CliContext &context, quint8 address);

// Opens the port and gives the relays of the line a command works on:
// `given` when the operator listed them, else the answering relays of a
// scan. nullopt when the port did not open, was lost or no relay answered,
// told on stderr.
std::optional<QList<quint8>> openLine(CliContext &context,
                                      const std::optional<QList<quint8>> &given);

enum class TimerNeed { NotNeeded, Required };

// Opens the port, identifies the relay and reads its configuration (and, for
// type 6, its timer schedule) into the context's session. With TimerNeed::Required a
// relay without a timer is refused. nullopt when all went well, else the exit
// status, the reason told on stderr.
std::optional<int> connectAndRead(CliContext &context, quint8 address,
                                  TimerNeed timer = TimerNeed::NotNeeded);

} // namespace miv::cli
