#include "link/AuditedWrite.h"

#include "core/WriteStop.h"

#include "link/RelayBus.h"
#include "link/RelaySession.h"

namespace miv {

WriteOutcome auditedWrite(RelayBus &bus, AuditLog &log, Operator &op, int address,
                          int factoryNumber, const AuditWrite &write, quint16 value)
{
    // Not one request more once the operator asked the writes to stop.
    if (WriteStop::requested())
        return WriteOutcome::stopped();
    // The request is in the log before it can reach the relay: a process
    // killed before the answer leaves it there, as sent with its answer unknown.
    const QString id = AuditLog::newWriteId();
    log.record(address, factoryNumber, write, AuditAnswer::sent, op, id);
    const WriteOutcome outcome = WriteOutcome::of(
            write.coil ? bus.askWriteCoil(quint8(address), write.number, value)
                       : bus.askWriteRegister(quint8(address), write.number, value));
    const QString answer = outcome.written() ? AuditAnswer::taken
            : outcome.refused()              ? AuditAnswer::refused(outcome.exceptionCode)
                                             : AuditAnswer::noAnswer;
    log.record(address, factoryNumber, write, answer, op, id);
    return outcome;
}

WriteOutcome auditedWrite(RelaySession &session, Operator &op, const AuditWrite &write,
                          quint16 value)
{
    return auditedWrite(session.bus, session.audit, op, session.device.networkAddress,
                        session.device.factoryNumber, write, value);
}

} // namespace miv
