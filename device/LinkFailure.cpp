#include "device/LinkFailure.h"

#include "core/Texts.h"
#include "link/LinkError.h"
#include "link/RelaySession.h"

namespace miv {

LinkFailure handleLinkFailure(RelaySession &session, const LinkError &error)
{
    if (error.kind() == LinkError::Kind::Stopped)
        return {false, Texts::writesStopped, Texts::writesStopped};
    if (error.kind() == LinkError::Kind::NoAnswer)
        return {false, Texts::linkError, Texts::linkError};
    // A port closed by the operator, or left closed when it was lost, stays
    // closed: nothing opens it behind the operator's back.
    if (!session.portHeldOpenNow())
        return {false, Texts::portClosed, Texts::portClosed};
    // Without a way to reopen the port nothing was done about it.
    if (!session.reopenPort)
        return {false, Texts::linkError + u'\n' + error.message(), error.message()};
    QString reopenError = Texts::portOpenError;
    if (session.reopenPort(&reopenError))
        return {false, Texts::linkError, error.message()};
    QString text = Texts::portLost.arg(error.message(), reopenError);
    if (!session.portLostHint.isEmpty())
        text += u' ' + session.portLostHint;
    return {true, text, text};
}

} // namespace miv
