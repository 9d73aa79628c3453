#include "config/TimerWriter.h"

#include "access/PasswordAccess.h"
#include "config/ConfigReader.h"
#include "core/Operator.h"
#include "core/RegisterMap.h"
#include "core/RelaySession.h"
#include "core/Texts.h"
#include "link/RelayBus.h"

namespace miv {

namespace {

// True when the relay took the word; no answer and a refusal are failures.
bool writeWord(RelaySession &session, quint16 reg, quint16 value)
{
    try {
        return !RelayBus::isExceptionReply(session.bus.writeRegister(session.device.networkAddress, reg, value));
    } catch (const LinkError &) {
        return false;
    }
}

bool writeAll(RelaySession &session)
{
    const TimerSchedule &timer = session.timer;
    for (int i = 0; i < TimerSchedule::markCount; ++i) {
        const quint16 reg = quint16(RelayRegister::firstTimerMark + i);
        if (!writeWord(session, reg, TimerSchedule::markWord(timer.marks[size_t(i)].time)))
            return false;
    }
    return writeWord(session, RelayRegister::timerSwitches, timer.switchWord());
}


} // namespace

bool needsActionRefresh(TimerWriteResult result)
{
    return result == TimerWriteResult::Unlocked || result == TimerWriteResult::Written;
}

TimerWriteResult writeTimerSchedule(RelaySession &session, Operator &op)
{
    if (!session.timer.hasBeenRead())
        return TimerWriteResult::NothingRead;
    if (!session.valuesBelongToSelectedRelay()) {
        tellValuesOfAnotherRelay(session, op);
        return TimerWriteResult::OtherRelay;
    }
    if (session.flags.editingLocked) {
        const auto unlock = PasswordAccess::unlock(op, session.device, session.flags);
        return unlock == PasswordAccess::Unlock::Unlocked ? TimerWriteResult::Unlocked : TimerWriteResult::StillLocked;
    }
    const QString invalid = session.timer.invalidMarkList();
    if (!invalid.isEmpty()) {
        op.message(Operator::Icon::Error, Texts::timerMarksNotWritten.arg(invalid));
        return TimerWriteResult::InvalidMarks;
    }
    if (!writeAll(session)) {
        op.message(Operator::Icon::Error, Texts::linkError);
        return TimerWriteResult::LinkFailed;
    }
    session.flags.editingLocked = true;
    // A failed read is told to the operator by the read itself.
    readConfiguration(session, op);
    return TimerWriteResult::Written;
}

void toggleTimerButton(TimerSchedule &timer, int button)
{
    if (button < 1 || button > TimerSchedule::buttonCount)
        return;
    QString &caption = timer.buttons[size_t(button - 1)];
    if (caption.isEmpty())
        return;
    caption = caption == onOffTexts[1] ? onOffTexts[0] : onOffTexts[1];
}

} // namespace miv
