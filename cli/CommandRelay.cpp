// mivctl command ADDR start|stop|ack|clock-sync|clock-set "dd.MM.yyyy HH:mm:ss"
//                     |output work|alarm|overload on|off|motor-resource HOURS MINUTES|serial N
//
// Identifies the relay, sends the command as the window's buttons do and
// then refreshes as the window would: the live values printed as `live`
// prints them, or, after motor-resource and serial, the service page's three
// values. A refusal exits 3, no answer 1, each told on stderr at once; the
// refresh still runs so that the relay's real state is printed.
// "ack" asks as the window asks (--yes answers for it); declined, nothing is
// sent and it exits 3. "output" switches only with the motor at rest, as the
// window's page does ("Есть токи! Отключите двигатель!", exit 3); stopping
// the motor ("output work off") is always allowed.
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "cli/LiveOutput.h"
#include "core/Texts.h"
#include "core/TextFormats.h"
#include "device/OutputControl.h"
#include "device/RelayCommands.h"

#include <limits>
#include <QDateTime>

namespace miv::cli {

namespace {

const QString commandUsage = QStringLiteral(
        "command ADDR start|stop|ack|clock-sync|clock-set \"dd.MM.yyyy HH:mm:ss\"|output work|alarm|overload on|off"
        "|motor-resource HOURS MINUTES|serial N");

std::optional<quint32> parseCount(const QString &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < 0 || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return quint32(value);
}

int printServiceValues(CliContext &context)
{
    const std::optional<ServiceValues> values =
            readServiceValues(context.session(), context.messages());
    if (!values)
        return ExitStatus::LinkFailure;
    context.out() << QStringLiteral("Моторесурс, часы\t") << values->hours << '\n'
                  << QStringLiteral("Моторесурс, минуты\t") << values->minutes << '\n'
                  << QStringLiteral("Серийный номер\t") << values->serialNumber << '\n';
    return ExitStatus::Done;
}

// The refresh after the command; the command's own failure decides the status.
int finish(CliContext &context, BusOutcome outcome, bool servicePage)
{
    if (outcome == BusOutcome::PortFailed)
        return ExitStatus::LinkFailure;
    const int refreshed = servicePage ? printServiceValues(context) : refreshAndPrintLive(context);
    return outcome != BusOutcome::Done ? exitStatusOf(outcome) : refreshed;
}

} // namespace

int runRelayCommand(CliContext &context, const QStringList &arguments)
{
    if (arguments.size() < 2)
        return context.wrongUsage(QStringLiteral("command needs an address and what to do"),
                                  commandUsage);
    const auto address = parseRelayAddress(arguments[0]);
    if (!address)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0],
                                  commandUsage);
    const QString what = arguments[1];
    const QStringList rest = arguments.mid(2);
    auto expect = [&](int count) { return rest.size() == count; };

    // Everything is checked before the relay is asked anything.
    std::optional<QDateTime> clockTime;
    std::optional<RelayOutput> output;
    bool outputOn = false;
    std::optional<quint32> first, second;
    if (what == QStringLiteral("start") || what == QStringLiteral("stop")
        || what == QStringLiteral("ack") || what == QStringLiteral("clock-sync")) {
        if (!expect(0))
            return context.wrongUsage(what + QStringLiteral(" takes nothing more"), commandUsage);
    } else if (what == QStringLiteral("clock-set")) {
        if (expect(1))
            clockTime = QDateTime::fromString(
                    rest[0], TextFormats::shortDate + u' ' + TextFormats::shortTime);
        if (!clockTime || !clockTime->isValid() || clockTime->date().year() < 2000
            || clockTime->date().year() > 2099)
            return context.wrongUsage(
                    QStringLiteral("clock-set needs \"dd.MM.yyyy HH:mm:ss\" of 2000 to 2099"),
                    commandUsage);
    } else if (what == QStringLiteral("output")) {
        const QStringList names{QStringLiteral("work"), QStringLiteral("alarm"),
                                QStringLiteral("overload")};
        if (!expect(2) || !names.contains(rest[0])
            || (rest[1] != QStringLiteral("on") && rest[1] != QStringLiteral("off")))
            return context.wrongUsage(QStringLiteral("output needs work|alarm|overload and on|off"),
                                      commandUsage);
        output = static_cast<RelayOutput>(names.indexOf(rest[0]));
        outputOn = rest[1] == QStringLiteral("on");
    } else if (what == QStringLiteral("motor-resource")) {
        if (expect(2)) {
            first = parseCount(rest[0]);
            second = parseCount(rest[1]);
        }
        if (!first || !second)
            return context.wrongUsage(
                    QStringLiteral("motor-resource needs HOURS and MINUTES, whole numbers"),
                    commandUsage);
    } else if (what == QStringLiteral("serial")) {
        if (expect(1))
            first = parseCount(rest[0]);
        if (!first)
            return context.wrongUsage(QStringLiteral("serial needs a whole number"), commandUsage);
    } else {
        return context.wrongUsage(QStringLiteral("unknown command ") + what, commandUsage);
    }

    if (!context.openPort())
        return ExitStatus::LinkFailure;
    if (identifyAt(context, *address).outcome != IdentificationResult::Outcome::Identified)
        return ExitStatus::LinkFailure;
    RelaySession &session = context.session();
    Operator &op = context.messages();
    session.flags.startLimitView = false;

    if (what == QStringLiteral("start") || what == QStringLiteral("stop"))
        return finish(context,
                      switchOutput(session, op, RelayOutput::Work, what == QStringLiteral("start")),
                      false);
    if (what == QStringLiteral("ack")) {
        const std::optional<BusOutcome> outcome = acknowledgeAlarm(session, op);
        if (!outcome)
            return ExitStatus::Refused; // declined: nothing sent
        return finish(context, *outcome, false);
    }
    if (what == QStringLiteral("clock-sync"))
        return finish(context, setRelayClock(session, op, QDateTime::currentDateTime()), false);
    if (clockTime)
        return finish(context, setRelayClock(session, op, *clockTime), false);
    if (output) {
        const HandSwitchResult result = switchOutputByHand(session, op, *output, outputOn);
        // Kept back by the check: nothing was sent, and nothing is refreshed.
        if (result.check != OutputControlCheck::Allowed)
            return exitStatusOf(result.outcome);
        return finish(context, result.outcome, false);
    }
    if (what == QStringLiteral("motor-resource"))
        return finish(context, setMotorResource(session, op, *first, *second), true);
    return finish(context, setSerialNumber(session, op, *first), true);
}

} // namespace miv::cli
