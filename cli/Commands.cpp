#include "cli/Commands.h"

#include "cli/CliContext.h"
#include "cli/CommandHelp.h"
#include "link/BusTrace.h"

namespace miv::cli {

const QList<Command> &commands()
{
    static const QList<Command> table{
            {QStringLiteral("help"), QStringLiteral("help [COMMAND]"), runHelp},
            {QStringLiteral("ports"), QStringLiteral("ports"), runPorts},
            {QStringLiteral("scan"), QStringLiteral("scan"), runScan},
            {QStringLiteral("info"), QStringLiteral("info ADDR"), runInfo},
            {QStringLiteral("interface"),
             QStringLiteral("interface ADDR [--baud N] [--parity P] [--stop-bits N]"),
             runInterface},
            {QStringLiteral("config"),
             QStringLiteral(
                     "config read ADDR [--save FILE] | config read ADDRS --save-dir DIR | config write ADDRS [--password-file FILE | --password PW] --load FILE | config write ADDR [--password-file FILE | --password PW] --approved | config diff ADDR FILE | config sheet ADDR [--xls F] [--pdf F] [--csv F]"),
             runConfig},
            {QStringLiteral("settings"),
             QStringLiteral(
                     "settings show|set|sheet FILE --type 4|6 [ROW=VALUE ...] [--xls F] [--pdf F] [--csv F]"),
             runSettings},
            {QStringLiteral("find"), QStringLiteral("find [--addresses ADDRS]"), runFind},
            {QStringLiteral("password"),
             QStringLiteral(
                     "password ADDR [--old-file FILE | --old PW] [--new-file FILE | --new PW]"),
             runPassword},
            {QStringLiteral("journal"), QStringLiteral("journal ADDR [--xls FILE] [--csv FILE]"),
             runJournal},
            {QStringLiteral("timer"),
             QStringLiteral(
                     "timer read|write ADDR [--password-file FILE | --password PW] [--marks HH:MM,...] [--intervals on,off,...] [--timer on|off]"),
             runTimer},
            {QStringLiteral("audit"),
             QStringLiteral("audit [--since DATE] | audit verify [--log FILE]"), runAudit},
            {QStringLiteral("live"), QStringLiteral("live ADDR [--watch SECONDS] [--csv FILE]"),
             runLive},
            {QStringLiteral("overview"),
             QStringLiteral("overview [--addresses ADDRS] [--watch SECONDS] [--csv]"), runOverview},
            {QStringLiteral("line"),
             QStringLiteral("line stats [--seconds N] [--addresses ADDRS] [--csv]"), runLine},
            {QStringLiteral("clock"),
             QStringLiteral("clock sync [--addresses ADDRS] [--max-offset SECONDS]"), runClock},
            {QStringLiteral("registry"),
             QStringLiteral(
                     "registry list [FACTORY] [--csv] | registry history FACTORY [--csv] | registry diff FACTORY ID ID | registry check [--addresses ADDRS] | registry approve FACTORY (--file FILE | --snapshot ID) [--note TEXT] | registry tag FACTORY TEXT | registry journal FACTORY [--since DATE] [--until DATE] [--csv] | registry events [--since DATE] [--until DATE] [--csv] | registry report FACTORY [--from ID] [--to ID] [--pdf F] [--xls F] [--csv F] | registry proposals [FACTORY] [--csv] | registry confirm ID | registry reject ID --reason TEXT | registry lock FACTORY [--note TEXT] | registry unlock FACTORY [--note TEXT] | registry roles --setup"),
             runRegistry},
            {QStringLiteral("command"),
             QStringLiteral(
                     "command ADDR start|stop|ack|clock-sync|clock-set \"dd.MM.yyyy HH:mm:ss\"|output work|alarm|overload on|off|motor-resource HOURS MINUTES|serial N"),
             runRelayCommand},
#ifdef MIV_WITH_PUBLISH
            {QStringLiteral("publish"),
             QStringLiteral(
                     "publish --broker HOST:PORT [--prefix P] [--line L] [--addresses LIST] [--interval SECONDS] [--journal-interval SECONDS] [--username NAME] [--password-file FILE] [--tls-ca FILE] [--tls-cert FILE --tls-key FILE] [--state-file FILE] [--keepalive SECONDS] [--discovery PREFIX|--no-discovery]"),
             runPublish},
#endif
    };
    return table;
}

const Command *findCommand(const QString &name)
{
    for (const Command &command : commands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

namespace {

const QString passwordUsage = QStringLiteral(
        "relay passwords (config write, timer write, password), the first given counts:\n"
        "  1. --password PW (--old PW, --new PW): every user of the machine can read it in the\n"
        "     process list and the shell keeps it in its history; kept for old scripts only\n"
        "  2. --password-file FILE (--old-file, --new-file): the first line of FILE\n"
        "  3. the environment: MIV_PASSWORD (the old one), MIV_NEW_PASSWORD (the new one)\n"
        "  4. asked on the terminal without echo when standard input is one (a new one twice)\n"
        "  prefer a file only you can read, or the environment\n");

void printUsage(QTextStream &stream)
{
    stream << globalOptionsUsage() << "commands:\n";
    for (const Command &command : commands())
        stream << "  mivctl [OPTIONS] " << command.usage << '\n';
    stream << passwordUsage;
    stream << "mivctl help COMMAND, or mivctl COMMAND --help, tells what a command does\n";
    stream.flush();
}

void printCommandHelp(QTextStream &stream, const Command &command)
{
    stream << "usage: mivctl [OPTIONS] " << command.usage << "\n\n"
           << commandHelp(command.name) << '\n';
    stream.flush();
}

} // namespace

int runHelp(CliContext &context, const QStringList &arguments)
{
    const QString &usage = findCommand(QStringLiteral("help"))->usage;
    if (arguments.size() > 1)
        return context.wrongUsage(QStringLiteral("help takes at most one command"), usage);
    if (arguments.isEmpty()) {
        printUsage(context.out());
        return ExitStatus::Done;
    }
    const Command *command = findCommand(arguments.first());
    if (!command)
        return context.wrongUsage(QStringLiteral("no such command: ") + arguments.first(), usage);
    printCommandHelp(context.out(), *command);
    return ExitStatus::Done;
}

int runCommandLine(const QStringList &arguments, const QString &frontIni, QTextStream &out,
                   QTextStream &err, Terminal *terminal)
{
    QString error;
    const std::optional<GlobalOptions> options = parseGlobalOptions(arguments, &error);
    if (!options || options->command.isEmpty()) {
        err << "mivctl: " << (options ? QStringLiteral("no command given") : error) << '\n'
            << "mivctl help lists the options and commands\n";
        return ExitStatus::WrongUsage;
    }
    const Command *command = findCommand(options->command);
    if (!command) {
        err << "mivctl: unknown command " << options->command << '\n'
            << "mivctl help lists the options and commands\n";
        return ExitStatus::WrongUsage;
    }
    // "--help" anywhere after the command asks for its help, before its own
    // arguments are parsed or anything is opened (so no tag or note reads "--help").
    if (options->commandArguments.contains(QLatin1String("--help"))) {
        printCommandHelp(out, *command);
        return ExitStatus::Done;
    }

    enableBusTraceFromEnvironment();
    if (options->trace)
        enableBusTrace(true);
    CliContext context(*options, frontIni, out, err);
    context.setTerminal(terminal);
    const int status = command->run(context, options->commandArguments);
    out.flush();
    err.flush();
    return status;
}

} // namespace miv::cli
