#include "device/OutputControl.h"

#include "core/LiveValues.h"
#include "core/Operator.h"
#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "link/RelaySession.h"

namespace miv {

namespace {

// Told when the check cannot even start; false then.
bool canAsk(RelaySession &session, Operator &op)
{
    if (!session.portHeldOpenNow()) {
        op.message(Operator::Icon::Error, Texts::portClosed);
        return false;
    }
    if (session.device.networkAddress == 0) {
        op.message(Operator::Icon::Error, Texts::deviceNotConnected);
        return false;
    }
    return true;
}

} // namespace

bool needsMotorAtRest(RelayOutput output, bool on)
{
    return output != RelayOutput::Work || on;
}

bool handSwitchAllowed(RelayOutput output, bool on, const LiveValues &live)
{
    return !needsMotorAtRest(output, on) || !live.motorCarriesCurrent();
}

OutputControlCheck checkOutputControl(RelaySession &session, Operator &op,
                                      const std::function<void()> &refreshed)
{
    namespace R = RelayRegister;
    if (!canAsk(session, op) || !readWholeOrTell(session, op, R::liveBlockA, R::liveBlockACount))
        return OutputControlCheck::NoLink;
    // The currents are judged only from a refresh that came whole: stale
    // values of an earlier read never let the operator switch.
    const LiveReadResult read = readLiveValues(session, op);
    if (read.outcome == BusOutcome::PortFailed)
        op.message(Operator::Icon::Error, read.portError);
    if (!read.done())
        return OutputControlCheck::NoLink;
    if (refreshed)
        refreshed();
    if (session.live.motorCarriesCurrent()) {
        op.message(Operator::Icon::Warning, Texts::currentsFlowing);
        return OutputControlCheck::CurrentsFlowing;
    }
    return OutputControlCheck::Allowed;
}

RelayControlEntry enterRelayControl(RelaySession &session, Operator &op,
                                    const std::function<void()> &refreshed)
{
    leaveRelayControl(session);
    // No warning is worth asking when the check cannot run anyway.
    if (!canAsk(session, op))
        return RelayControlEntry::BackToDevices;
    if (op.confirmWarning(Texts::relayControlWarning) != Operator::Answer::Ok)
        return RelayControlEntry::BackToLiveValues;
    switch (checkOutputControl(session, op, refreshed)) {
    case OutputControlCheck::Allowed:
        session.outputControlRelay = session.selectedRelay();
        return RelayControlEntry::Stay;
    case OutputControlCheck::CurrentsFlowing:
        return RelayControlEntry::BackToLiveValues;
    case OutputControlCheck::NoLink:
        break;
    }
    return RelayControlEntry::BackToDevices;
}

void leaveRelayControl(RelaySession &session)
{
    session.outputControlRelay.reset();
}

bool outputControlOffered(const RelaySession &session)
{
    return session.outputControlRelay && *session.outputControlRelay == session.selectedRelay()
            && session.device.networkAddress != 0 && session.portHeldOpenNow();
}

HandSwitchResult switchOutputByHand(RelaySession &session, Operator &op, RelayOutput output,
                                    bool on, const std::function<void()> &refreshed)
{
    OutputControlCheck check = OutputControlCheck::Allowed;
    if (needsMotorAtRest(output, on))
        check = checkOutputControl(session, op, refreshed);
    else if (!canAsk(session, op))
        check = OutputControlCheck::NoLink;
    switch (check) {
    case OutputControlCheck::Allowed:
        return {check, switchOutput(session, op, output, on)};
    case OutputControlCheck::CurrentsFlowing:
        return {check, BusOutcome::Refused};
    case OutputControlCheck::NoLink:
        break;
    }
    // A check that failed on a port now closed is a port failure: the caller
    // then does not refresh on it.
    return {check, session.portHeldOpenNow() ? BusOutcome::NoAnswer : BusOutcome::PortFailed};
}

} // namespace miv
