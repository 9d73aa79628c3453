#pragma once

#include "core/AuditLog.h"
#include "link/WriteOutcome.h"

namespace miv {

class Operator;
class RelayBus;
struct RelaySession;

// The single register write (or the coil switch, when write.coil is set) of
// value to the relay at address, with its lines in the audit log: one as
// "sent" before the request goes out, then one with the relay's answer as
// "taken", "refused N" or "no answer" (AuditLog::readEntries makes them one
// entry). The log never stops the write. Once WriteStop was requested
// nothing is sent or logged: Stopped.
WriteOutcome auditedWrite(RelayBus &bus, AuditLog &log, Operator &op, int address,
                          int factoryNumber, const AuditWrite &write, quint16 value);

// The same to the selected relay of the session, over its bus, into its log.
WriteOutcome auditedWrite(RelaySession &session, Operator &op, const AuditWrite &write,
                          quint16 value);

} // namespace miv
