#include "config/TimerWriter.h"

#include "access/PasswordAccess.h"
#include "config/ConfigReader.h"
#include "core/Operator.h"
#include "core/RegisterMap.h"
#include "link/RelaySession.h"
#include "core/Texts.h"
#include "device/LinkFailure.h"
#include "config/SettingsFile.h"
#include "link/AuditedWrite.h"

namespace miv {

namespace {

// True when the relay took the word; no answer and a refusal are failures,
// and `failure` then says what the operator is told (a lost port as lost).
bool writeWord(RelaySession &session, Operator &op, const AuditWrite &what, quint16 value,
               QString &failure)
{
    const WriteOutcome outcome = auditedWrite(session, op, what, value);
    if (outcome.written())
        return true;
    failure = writeFailureText(session, outcome, RefusalTold::AsNoAnswer);
    return false;
}

QString markText(quint16 word)
{
    const TimerMark mark = TimerMark::fromWord(word);
    return mark.valid ? mark.time.toString(QStringLiteral("HH:mm"))
                      : QStringLiteral("0x%1").arg(word, 4, 16, QLatin1Char('0'));
}

QString switchText(quint16 word)
{
    return QStringLiteral("0x%1").arg(word, 4, 16, QLatin1Char('0'));
}

// The six writes of the schedule: key, value as the operator reads it, word.
struct TimerWrite
{
    AuditWrite audit;
    quint16 word;
};

QList<TimerWrite> timerWrites(const TimerSchedule &timer)
{
    QList<TimerWrite> writes;
    for (int i = 0; i < TimerSchedule::markCount; ++i) {
        const quint16 reg = quint16(RelayRegister::firstTimerMark + i);
        const quint16 word = TimerSchedule::markWord(timer.marks[size_t(i)].time);
        writes.append({{reg, false, SettingsFile::markKey(i + 1), markText(timer.readMarkWord(i)),
                        markText(word)},
                       word});
    }
    const QString before = timer.readSwitchWord() ? switchText(*timer.readSwitchWord()) : QString();
    writes.append({{RelayRegister::timerSwitches, false, SettingsFile::timerKey, before,
                    switchText(timer.switchWord())},
                   timer.switchWord()});
    return writes;
}

// "key: value" per write, one line each.
QString writeLines(const QList<TimerWrite> &writes)
{
    QStringList lines;
    for (const TimerWrite &write : writes)
        lines << write.audit.item + QStringLiteral(": ") + write.audit.newValue;
    return lines.join(u'\n');
}

// Writes them in order; on the first failure `failure` tells why, which
// writes were not made (or not confirmed) and which were.
bool writeAll(RelaySession &session, Operator &op, QString &failure)
{
    const QList<TimerWrite> writes = timerWrites(session.timer);
    for (qsizetype i = 0; i < writes.size(); ++i) {
        if (writeWord(session, op, writes[i].audit, writes[i].word, failure))
            continue;
        failure = Texts::timerWriteInterrupted.arg(writeLines(writes.mid(i))) + u'\n'
                + (i > 0 ? Texts::configRowsWritten.arg(writeLines(writes.first(i))) + u'\n'
                         : QString())
                + failure;
        return false;
    }
    return true;
}

enum class LockEditing { No, Yes };

// The marks checked, the schedule written and the relay read back as left.
// LockEditing::Yes locks editing again before the read, as after any write
// the operator unlocked for.
TimerWriteResult writeCheckedSchedule(RelaySession &session, Operator &op, LockEditing lock)
{
    const QString invalid = session.timer.invalidMarkList();
    if (!invalid.isEmpty()) {
        op.message(Operator::Icon::Error, Texts::timerMarksNotWritten.arg(invalid));
        return TimerWriteResult::InvalidMarks;
    }
    QString failure;
    if (!writeAll(session, op, failure)) {
        op.message(Operator::Icon::Error, failure);
        return TimerWriteResult::LinkFailed;
    }
    if (lock == LockEditing::Yes)
        session.flags.editingLocked = true;
    // A failed read is told to the operator by the read itself.
    return readConfiguration(session, op, SettingsKind::AsLeft) == ConfigReadResult::Complete
            ? TimerWriteResult::Written
            : TimerWriteResult::WrittenNotReadBack;
}

} // namespace

bool needsActionRefresh(TimerWriteResult result)
{
    return result == TimerWriteResult::Unlocked || result == TimerWriteResult::Written
            || result == TimerWriteResult::WrittenNotReadBack;
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
        return unlock == PasswordAccess::Unlock::Unlocked ? TimerWriteResult::Unlocked
                                                          : TimerWriteResult::StillLocked;
    }
    return writeCheckedSchedule(session, op, LockEditing::Yes);
}

TimerWriteResult writeLoadedTimer(RelaySession &session, Operator &op)
{
    if (!session.device.hasTimer() || !session.timer.hasBeenRead())
        return TimerWriteResult::NothingRead;
    if (!session.valuesBelongToSelectedRelay()) {
        tellValuesOfAnotherRelay(session, op);
        return TimerWriteResult::OtherRelay;
    }
    return writeCheckedSchedule(session, op, LockEditing::No);
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
