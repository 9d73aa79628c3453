#include "config/TimerWriter.h"

#include "access/PasswordAccess.h"
#include "app/Operator.h"
#include "app/SessionFlags.h"
#include "app/Texts.h"
#include "config/ConfigReader.h"
#include "config/ParameterCatalogue.h"
#include "config/TimerSchedule.h"
#include "device/CurrentDevice.h"
#include "link/RelayBus.h"

namespace {

// True when the relay took the word; no answer and a refusal are failures.
bool writeWord(TimerWriteContext &context, quint16 reg, quint16 value)
{
    try {
        return !RelayBus::isExceptionReply(context.bus.WriteWord(context.device.networkAddress, reg, value));
    } catch (const LinkError &) {
        return false;
    }
}

bool writeAll(TimerWriteContext &context)
{
    const TimerSchedule &timer = context.timer;
    for (int i = 0; i < TimerSchedule::markCount; ++i) {
        const quint16 reg = quint16(TimerSchedule::firstMarkRegister + i);
        if (!writeWord(context, reg, TimerSchedule::markWord(timer.marks[size_t(i)].time)))
            return false;
    }
    return writeWord(context, TimerSchedule::switchRegister, timer.switchWord());
}

void readBack(TimerWriteContext &context)
{
    ConfigReadContext reading{context.bus,     context.op,   context.device, context.catalogue,
                              context.grid,    context.timer, context.decimalSeparator};
    // A failed read is told to the operator by the read itself.
    readConfiguration(reading);
}

} // namespace

bool needsActionRefresh(TimerWriteResult result)
{
    return result == TimerWriteResult::Unlocked || result == TimerWriteResult::Written;
}

TimerWriteResult writeTimerSchedule(TimerWriteContext &context)
{
    if (!context.timer.hasBeenRead())
        return TimerWriteResult::NothingRead;
    if (context.flags.conf_locked) {
        const auto unlock = PasswordAccess::unlock(context.op, context.device, context.flags);
        return unlock == PasswordAccess::Unlock::Unlocked ? TimerWriteResult::Unlocked : TimerWriteResult::StillLocked;
    }
    const QString invalid = context.timer.invalidMarkList();
    if (!invalid.isEmpty()) {
        context.op.message(Operator::Icon::Error, Texts::timerMarksNotWritten.arg(invalid));
        return TimerWriteResult::InvalidMarks;
    }
    if (!writeAll(context)) {
        context.op.message(Operator::Icon::Error, Texts::linkError);
        return TimerWriteResult::LinkFailed;
    }
    context.flags.conf_locked = true;
    readBack(context);
    return TimerWriteResult::Written;
}

void bu01Click(TimerSchedule &timer, int button)
{
    if (button < 1 || button > TimerSchedule::buttonCount)
        return;
    QString &caption = timer.buttons[size_t(button - 1)];
    if (caption.isEmpty())
        return;
    caption = caption == OnOffTexts[1] ? OnOffTexts[0] : OnOffTexts[1];
}
