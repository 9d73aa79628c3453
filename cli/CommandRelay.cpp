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
#include "cli/RegistryLookup.h"
#include "core/Texts.h"
#include "core/TextFormats.h"
#include "device/CommandDispatch.h"
#include "cli/InterruptCatcher.h"
#include "device/OutputControl.h"
#include "device/ServiceFields.h"
#include "device/RelayCommands.h"

#include <QDateTime>

namespace miv::cli {

namespace {

const QString commandUsage = QStringLiteral(
        "command ADDR start|stop|ack|clock-sync|clock-set \"dd.MM.yyyy HH:mm:ss\"|output work|alarm|overload on|off"
        "|motor-resource HOURS MINUTES|serial N");

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

// The read after the command, as the window's; the command's own failure
// decides the status.
int finish(CliContext &context, RelayCommand command, BusOutcome outcome)
{
    int read = ExitStatus::Done;
    switch (readAfterCommand(command, outcome)) {
    case ReadAfterCommand::Nothing:
        break;
    case ReadAfterCommand::LiveValues:
        read = refreshAndPrintLive(context);
        break;
    case ReadAfterCommand::ServiceValues:
        read = printServiceValues(context);
        break;
    }
    return outcome != BusOutcome::Done ? exitStatusOf(outcome) : read;
}

// The command words and how many arguments follow each.
struct CommandWord
{
    QString word;
    RelayCommand command;
    int arguments;
};
const CommandWord commandWords[] = {
        {QStringLiteral("start"), RelayCommand::Start, 0},
        {QStringLiteral("stop"), RelayCommand::Stop, 0},
        {QStringLiteral("ack"), RelayCommand::Acknowledge, 0},
        {QStringLiteral("clock-sync"), RelayCommand::SyncClock, 0},
        {QStringLiteral("clock-set"), RelayCommand::SetClock, 1},
        {QStringLiteral("motor-resource"), RelayCommand::SetMotorResource, 2},
        {QStringLiteral("serial"), RelayCommand::SetSerialNumber, 1},
};

// The arguments of a command word, checked; the reason in *error otherwise.
std::optional<CommandArguments> parseArguments(RelayCommand command, const QStringList &rest,
                                               QString *error)
{
    CommandArguments arguments;
    switch (command) {
    case RelayCommand::SetClock:
        arguments.clock = QDateTime::fromString(
                rest[0], TextFormats::shortDate + u' ' + TextFormats::shortTime);
        if (!arguments.clock.isValid() || arguments.clock.date().year() < 2000
            || arguments.clock.date().year() > 2099) {
            *error = QStringLiteral("clock-set needs \"dd.MM.yyyy HH:mm:ss\" of 2000 to 2099");
            return std::nullopt;
        }
        break;
    case RelayCommand::SetMotorResource: {
        const auto hours = parseServiceNumber(rest[0]);
        const auto minutes = parseServiceNumber(rest[1]);
        if (!hours || !minutes) {
            *error = QStringLiteral("motor-resource needs HOURS and MINUTES, whole numbers");
            return std::nullopt;
        }
        arguments.hours = *hours;
        arguments.minutes = *minutes;
        break;
    }
    case RelayCommand::SetSerialNumber: {
        const auto number = parseServiceNumber(rest[0]);
        if (!number) {
            *error = QStringLiteral("serial needs a whole number");
            return std::nullopt;
        }
        arguments.serialNumber = *number;
        break;
    }
    default:
        break;
    }
    return arguments;
}

// "output work|alarm|overload on|off": the output and its state.
std::optional<std::pair<RelayOutput, bool>> parseOutput(const QStringList &rest)
{
    const QStringList names{QStringLiteral("work"), QStringLiteral("alarm"),
                            QStringLiteral("overload")};
    if (rest.size() != 2 || !names.contains(rest[0])
        || (rest[1] != QStringLiteral("on") && rest[1] != QStringLiteral("off")))
        return std::nullopt;
    return std::pair{static_cast<RelayOutput>(names.indexOf(rest[0])),
                     rest[1] == QStringLiteral("on")};
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

    // Everything is checked before the relay is asked anything.
    std::optional<std::pair<RelayOutput, bool>> output;
    const CommandWord *word = nullptr;
    CommandArguments commandArguments;
    if (what == QStringLiteral("output")) {
        output = parseOutput(rest);
        if (!output)
            return context.wrongUsage(QStringLiteral("output needs work|alarm|overload and on|off"),
                                      commandUsage);
    } else {
        for (const CommandWord &each : commandWords)
            if (each.word == what)
                word = &each;
        if (!word)
            return context.wrongUsage(QStringLiteral("unknown command ") + what, commandUsage);
        if (rest.size() != word->arguments)
            return context.wrongUsage(
                    word->arguments == 0
                            ? what + QStringLiteral(" takes nothing more")
                            : what + QStringLiteral(" takes %1 argument(s)").arg(word->arguments),
                    commandUsage);
        QString error;
        const std::optional<CommandArguments> parsed = parseArguments(word->command, rest, &error);
        if (!parsed)
            return context.wrongUsage(error, commandUsage);
        commandArguments = *parsed;
    }

    // Ctrl+C lets the write under way finish and be logged; nothing follows it.
    const InterruptCatcher interrupt;
    const int exitStatus = [&] {
        if (!context.openPort())
            return ExitStatus::LinkFailure;
        if (identifyAt(context, *address).outcome != IdentificationResult::Outcome::Identified)
            return ExitStatus::LinkFailure;
        RelaySession &session = context.session();
        Operator &op = context.messages();
        session.flags.startLimitView = false;
        if (word && word->command == RelayCommand::SetMotorResource)
            if (const auto refused = refuseWriteWhenLocked(context, session.device))
                return *refused;

        if (output) {
            const HandSwitchResult result =
                    switchOutputByHand(session, op, output->first, output->second);
            // Kept back by the check: nothing was sent, and nothing is read.
            if (result.check != OutputControlCheck::Allowed)
                return exitStatusOf(result.outcome);
            return finish(context, RelayCommand::Start, result.outcome);
        }
        const std::optional<BusOutcome> outcome =
                sendRelayCommand(session, op, word->command, commandArguments);
        if (!outcome)
            return ExitStatus::Refused; // "ack" declined: nothing sent
        return finish(context, word->command, *outcome);
    }();
    return interrupt.interrupted() ? ExitStatus::Interrupted : exitStatus;
}

} // namespace miv::cli
