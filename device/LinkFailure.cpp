#include "device/LinkFailure.h"

#include "core/RelaySession.h"
#include "core/Texts.h"
#include "link/LinkError.h"

namespace miv {

LinkFailure handleLinkFailure(RelaySession &session, const LinkError &error)
{
    if (error.kind() == LinkError::Kind::NoAnswer)
        return {false, Texts::linkError};
    // Without a way to reopen the port nothing was done about it.
    if (!session.reopenPort)
        return {false, Texts::linkError + u'\n' + error.message()};
    QString reopenError = Texts::portOpenError;
    if (session.reopenPort(&reopenError))
        return {false, Texts::linkError};
    QString text = Texts::portLost.arg(error.message(), reopenError);
    if (!session.portLostHint.isEmpty())
        text += u' ' + session.portLostHint;
    return {true, text};
}

} // namespace miv
