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

LinkFailure told(const QString &text)
{
    return {false, text, text};
}

LinkFailure refusal(quint8 code, RefusalTold how)
{
    return told(how == RefusalTold::WithCode ? Texts::relayRefused.arg(int(code))
                                             : Texts::linkError);
}

} // namespace

LinkFailure handleLinkFailure(RelaySession &session, const BusReply &failure, RefusalTold how)
{
    if (failure.portFailed())
        return portFailure(session, failure.text);
    if (failure.refused())
        return refusal(failure.exceptionCode, how);
    return told(Texts::linkError);
}

LinkFailure handleWriteFailure(RelaySession &session, const WriteOutcome &outcome, RefusalTold how)
{
    switch (outcome.kind) {
    case WriteOutcome::Kind::Written:
        return {};
    case WriteOutcome::Kind::Refused:
        return refusal(outcome.exceptionCode, how);
    case WriteOutcome::Kind::Stopped:
        return told(Texts::writesStopped);
    case WriteOutcome::Kind::PortFailure:
        return portFailure(session, outcome.text);
    case WriteOutcome::Kind::NoAnswer:
    case WriteOutcome::Kind::NotSent:
        break;
    }
    return told(Texts::linkError);
}

} // namespace miv
