#include "device/LinkFailure.h"

#include "core/Texts.h"
#include "link/BusReply.h"
#include "link/RelaySession.h"
#include "link/WriteOutcome.h"

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

LinkFailure handleLinkFailure(RelaySession &session, const BusReply &failure)
{
    if (!failure.portFailed())
        return {false, Texts::linkError, Texts::linkError};
    return portFailure(session, failure.text);
}

LinkFailure handleWriteFailure(RelaySession &session, const WriteOutcome &outcome,
                               RefusalTold refusal)
{
    switch (outcome.kind) {
    case WriteOutcome::Kind::Written:
        return {};
    case WriteOutcome::Kind::Refused:
        if (refusal == RefusalTold::WithCode) {
            const QString text = Texts::relayRefused.arg(int(outcome.exceptionCode));
            return {false, text, text};
        }
        break;
    case WriteOutcome::Kind::Stopped:
        return {false, Texts::writesStopped, Texts::writesStopped};
    case WriteOutcome::Kind::PortFailure:
        return portFailure(session, outcome.text);
    case WriteOutcome::Kind::NoAnswer:
    case WriteOutcome::Kind::NotSent:
        break;
    }
    return {false, Texts::linkError, Texts::linkError};
}

} // namespace miv
