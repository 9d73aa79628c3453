#include "device/LinkFailure.h"

#include "core/Texts.h"
#include "link/BusReply.h"
#include "link/LinkError.h"
#include "link/RelaySession.h"

namespace miv {

namespace {

LinkFailure portFailure(RelaySession &session, const QString &message)
{
    // A port closed by the operator, or left closed when it was lost, stays
    // closed: nothing opens it behind the operator's back.
    if (!session.portHeldOpenNow())
        return {false, Texts::portClosed, Texts::portClosed};
    // Without a way to reopen the port nothing was done about it.
    if (!session.reopenPort)
        return {false, Texts::linkError + u'\n' + message, message};
    QString reopenError = Texts::portOpenError;
    if (session.reopenPort(&reopenError))
        return {false, Texts::linkError, message};
    QString text = Texts::portLost.arg(message, reopenError);
    if (!session.portLostHint.isEmpty())
        text += u' ' + session.portLostHint;
    return {true, text, text};
}

} // namespace

LinkFailure handleLinkFailure(RelaySession &session, const LinkError &error)
{
    if (error.kind() == LinkError::Kind::Stopped)
        return {false, Texts::writesStopped, Texts::writesStopped};
    if (error.kind() == LinkError::Kind::NoAnswer)
        return {false, Texts::linkError, Texts::linkError};
    return portFailure(session, error.message());
}

LinkFailure handleLinkFailure(RelaySession &session, const BusReply &failure)
{
    if (!failure.portFailed())
        return {false, Texts::linkError, Texts::linkError};
    return portFailure(session, failure.text);
}

} // namespace miv
