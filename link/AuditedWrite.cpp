#include "link/AuditedWrite.h"

#include "link/RelayBus.h"
#include "link/RelaySession.h"

namespace miv {

ReplyString auditedWrite(RelayBus &bus, AuditLog &log, Operator &op, int address, int factoryNumber,
                         const AuditWrite &write, quint16 value)
{
    ReplyString reply;
    try {
        reply = write.coil ? bus.writeCoil(quint8(address), write.number, value)
                           : bus.writeRegister(quint8(address), write.number, value);
    } catch (const LinkError &) {
        log.record(address, factoryNumber, write, AuditAnswer::noAnswer, op);
        throw;
    }
    const QString answer = RelayBus::isExceptionReply(reply)
            ? AuditAnswer::refused(replyWord(reply, 0))
            : AuditAnswer::taken;
    log.record(address, factoryNumber, write, answer, op);
    return reply;
}

ReplyString auditedWrite(RelaySession &session, Operator &op, const AuditWrite &write,
                         quint16 value)
{
    return auditedWrite(session.bus, session.audit, op, session.device.networkAddress,
                        session.device.factoryNumber, write, value);
}

} // namespace miv
