// mivctl timer read ADDR
// mivctl timer write ADDR [--password-file FILE | --password PW] [--marks HH:MM,...]
//                        [--intervals on,off,...] [--timer on|off]
//
// The timer schedule of a type-6 relay, read and written as the timer tab
// does: the write asks for the password first (the relay's lock), writes the
// five marks and the switch word, and reads everything back. The password is
// taken from its sources (PasswordSource.h) before anything is read.
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "cli/InterruptCatcher.h"
#include "cli/RegistryLookup.h"
#include "config/ConfigReader.h"
#include "config/SettingsFile.h"
#include "config/TimerWriter.h"
#include "core/ConfigGrid.h"
#include "core/ParameterCatalogue.h"
#include "core/TimerSchedule.h"

#include <optional>

namespace miv::cli {

namespace {

const QString timerUsage =
        QStringLiteral("timer read ADDR | timer write ADDR [--password-file FILE | --password PW] "
                       "[--marks HH:MM,...] [--intervals on,off,...] [--timer on|off]");
const QString badMark = QStringLiteral("Недопустимое время метки %1: %2");
const QString badSwitch =
        QStringLiteral("Недопустимое положение переключателя %1: %2 (нужно on или off)");
const QString tooMany = QStringLiteral("Слишком много значений в %1: %2 (не более %3)");

// The options of "timer write" after the address; an empty entry of a list
// keeps what the relay holds.
struct TimerChanges
{
    std::optional<QString> password;
    std::optional<QString> passwordFile;
    QStringList marks;
    QStringList intervals;
    std::optional<QString> timer;
};

// What the command works on besides the context.
void printSchedule(QTextStream &out, const TimerSchedule &timer)
{
    for (int mark = 1; mark <= TimerSchedule::markCount; ++mark)
        out << SettingsFile::markKey(mark) << '\t'
            << timer.marks[size_t(mark - 1)].time.toString(QStringLiteral("HH:mm")) << '\n';
    for (int interval = 1; interval < TimerSchedule::buttonCount; ++interval)
        out << SettingsFile::intervalKey(interval) << '\t' << timer.buttons[size_t(interval - 1)]
            << '\n';
    out << SettingsFile::timerKey << '\t' << timer.buttons[TimerSchedule::buttonCount - 1] << '\n';
}

int readTimer(CliContext &context, const QStringList &arguments)
{
    if (arguments.size() != 1)
        return context.wrongUsage(QStringLiteral("timer read takes one address"), timerUsage);
    const auto address = parseRelayAddress(arguments[0]);
    if (!address)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0],
                                  timerUsage);
    RelaySession &session = context.session();
    if (const auto status = connectAndRead(context, *address, TimerNeed::Required))
        return *status;
    printSchedule(context.out(), session.timer);
    return ExitStatus::Done;
}

// The options after the address; nullopt (with the problem) on wrong usage.
std::optional<TimerChanges> parseChanges(const QStringList &options, QString *problem)
{
    TimerChanges changes;
    for (qsizetype i = 0; i < options.size(); i += 2) {
        const QString &name = options[i];
        if (i + 1 >= options.size()) {
            *problem = QStringLiteral("a value is missing after ") + argumentForMessage(name);
            return std::nullopt;
        }
        const QString &value = options[i + 1];
        if (name == QStringLiteral("--password"))
            changes.password = value;
        else if (name == QStringLiteral("--password-file"))
            changes.passwordFile = value;
        else if (name == QStringLiteral("--marks"))
            changes.marks = value.split(u',');
        else if (name == QStringLiteral("--intervals"))
            changes.intervals = value.split(u',');
        else if (name == QStringLiteral("--timer"))
            changes.timer = value;
        else {
            *problem = QStringLiteral("unknown option ") + argumentForMessage(name);
            return std::nullopt;
        }
    }
    return changes;
}

std::optional<QString> captionOf(const QString &onOff)
{
    if (onOff == QStringLiteral("on"))
        return onOffTexts[1];
    if (onOff == QStringLiteral("off"))
        return onOffTexts[0];
    return std::nullopt;
}

// Puts the requested changes over the schedule as read. False (the problem
// on stderr) for an invalid value; the schedule may then be half changed,
// which does not matter since nothing is written.
bool applyChanges(CliContext &context, const TimerChanges &changes, TimerSchedule &timer)
{
    if (changes.marks.size() > TimerSchedule::markCount
        || changes.intervals.size() > TimerSchedule::buttonCount - 1) {
        const bool marks = changes.marks.size() > TimerSchedule::markCount;
        context.err()
                << tooMany.arg(marks ? QStringLiteral("--marks") : QStringLiteral("--intervals"))
                           .arg(marks ? changes.marks.join(u',') : changes.intervals.join(u','))
                           .arg(marks ? TimerSchedule::markCount : TimerSchedule::buttonCount - 1)
                << Qt::endl;
        return false;
    }
    for (qsizetype i = 0; i < changes.marks.size(); ++i) {
        if (changes.marks[i].isEmpty())
            continue;
        const std::optional<QTime> time = SettingsFile::parseTimeOfDay(changes.marks[i]);
        if (!time) {
            context.err() << badMark.arg(i + 1).arg(changes.marks[i]) << Qt::endl;
            return false;
        }
        timer.marks[size_t(i)] = {*time, TimerSchedule::markWord(*time), true};
    }
    auto setSwitch = [&](int button, const QString &onOff, const QString &name) {
        if (onOff.isEmpty())
            return true;
        const std::optional<QString> caption = captionOf(onOff);
        if (!caption) {
            context.err() << badSwitch.arg(name, onOff) << Qt::endl;
            return false;
        }
        timer.buttons[size_t(button - 1)] = *caption;
        return true;
    };
    for (qsizetype i = 0; i < changes.intervals.size(); ++i)
        if (!setSwitch(int(i + 1), changes.intervals[i], SettingsFile::intervalKey(int(i + 1))))
            return false;
    if (!changes.timer)
        return true;
    if (changes.timer->isEmpty()) {
        context.err() << badSwitch.arg(SettingsFile::timerKey, *changes.timer) << Qt::endl;
        return false;
    }
    return setSwitch(TimerSchedule::buttonCount, *changes.timer, SettingsFile::timerKey);
}

int statusOf(TimerWriteResult result)
{
    switch (result) {
    case TimerWriteResult::Written:
        return ExitStatus::Done;
    case TimerWriteResult::LinkFailed:
    case TimerWriteResult::WrittenNotReadBack: // the schedule is then not printed
        return ExitStatus::LinkFailure;
    case TimerWriteResult::NothingRead:
    case TimerWriteResult::Unlocked:
    case TimerWriteResult::StillLocked:
    case TimerWriteResult::InvalidMarks:
    case TimerWriteResult::OtherRelay:
        break;
    }
    return ExitStatus::Refused;
}

int writeTimer(CliContext &context, const QStringList &arguments)
{
    if (arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("timer write needs an address"), timerUsage);
    const auto address = parseRelayAddress(arguments[0]);
    if (!address)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0],
                                  timerUsage);
    QString problem;
    const std::optional<TimerChanges> changes = parseChanges(arguments.mid(1), &problem);
    if (!changes)
        return context.wrongUsage(problem, timerUsage);
    int refusal = ExitStatus::Done;
    const std::optional<PasswordChoice> password = context.password(
            relayPasswordSources(changes->password, changes->passwordFile), timerUsage, &refusal);
    if (!password)
        return refusal;

    // Ctrl+C lets the write under way finish and be logged; nothing follows it.
    const InterruptCatcher interrupt;
    const int exitStatus = [&] {
        RelaySession &session = context.session();
        if (const auto status = connectAndRead(context, *address, TimerNeed::Required))
            return *status;
        if (const auto refused = refuseWriteWhenLocked(context, session.device))
            return *refused;
        context.console().setPassword(password->password);

        // The first "Записать" of a locked relay only takes the password.
        const TimerWriteResult unlock = writeTimerSchedule(session, context.messages());
        if (unlock != TimerWriteResult::Unlocked)
            return statusOf(unlock);
        if (!applyChanges(context, *changes, session.timer))
            return ExitStatus::Refused;

        const TimerWriteResult result = writeTimerSchedule(session, context.messages());
        if (result != TimerWriteResult::Written)
            return statusOf(result);
        printSchedule(context.out(), session.timer);
        return ExitStatus::Done;
    }();
    return interrupt.interrupted() ? ExitStatus::Interrupted : exitStatus;
}

} // namespace

int runTimer(CliContext &context, const QStringList &arguments)
{
    const QString action = arguments.value(0);
    if (action == QStringLiteral("read"))
        return readTimer(context, arguments.mid(1));
    if (action == QStringLiteral("write"))
        return writeTimer(context, arguments.mid(1));
    return context.wrongUsage(QStringLiteral("timer needs read or write"), timerUsage);
}

} // namespace miv::cli
