#include "link/AuditedWrite.h"

#include "core/Texts.h"
#include "core/WriteStop.h"

#include "link/RelayBus.h"
#include "link/RelaySession.h"

namespace miv {

ReplyString auditedWrite(RelayBus &bus, AuditLog &log, Operator &op, int address, int factoryNumber,
                         const AuditWrite &write, quint16 value)
{
    // Not one request more once the operator asked the writes to stop.
    if (WriteStop::requested())
        throw LinkError(LinkError::Kind::Stopped, Texts::writesStopped);
    // The request is in the log before it can reach the relay: a process
    // killed before the answer leaves it there, as sent with its answer unknown.
    const QString id = AuditLog::newWriteId();
    log.record(address, factoryNumber, write, AuditAnswer::sent, op, id);
    ReplyString reply;
    try {
        reply = write.coil ? bus.writeCoil(quint8(address), write.number, value)
                           : bus.writeRegister(quint8(address), write.number, value);
    } catch (const LinkError &) {
        log.record(address, factoryNumber, write, AuditAnswer::noAnswer, op, id);
        throw;
    }
    const QString answer = RelayBus::isExceptionReply(reply)
            ? AuditAnswer::refused(replyWord(reply, 0))
            : AuditAnswer::taken;
    log.record(address, factoryNumber, write, answer, op, id);
    return reply;
}

ReplyString auditedWrite(RelaySession &session, Operator &op, const AuditWrite &write,
                         quint16 value)
{
    return auditedWrite(session.bus, session.audit, op, session.device.networkAddress,
                        session.device.factoryNumber, write, value);
}

} // namespace miv
