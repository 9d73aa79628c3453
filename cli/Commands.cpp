#include "cli/Commands.h"

#include "cli/CliContext.h"
#include "link/BusTrace.h"

namespace miv::cli {

const QList<Command> &commands()
{
    static const QList<Command> table{
            {QStringLiteral("help"), QStringLiteral("help"), runHelp},
            {QStringLiteral("ports"), QStringLiteral("ports"), runPorts},
            {QStringLiteral("scan"), QStringLiteral("scan"), runScan},
            {QStringLiteral("info"), QStringLiteral("info ADDR"), runInfo},
            {QStringLiteral("config"),
             QStringLiteral(
                     "config read ADDR [--save FILE] | config read ADDRS --save-dir DIR | config write ADDRS --password PW --load FILE | config diff ADDR FILE"),
             runConfig},
            {QStringLiteral("find"), QStringLiteral("find [--addresses ADDRS]"), runFind},
            {QStringLiteral("password"), QStringLiteral("password ADDR --old PW --new PW"),
             runPassword},
            {QStringLiteral("journal"), QStringLiteral("journal ADDR [--xls FILE] [--csv FILE]"),
             runJournal},
            {QStringLiteral("timer"),
             QStringLiteral(
                     "timer read|write ADDR [--password PW] [--marks HH:MM,...] [--intervals on,off,...] [--timer on|off]"),
             runTimer},
            {QStringLiteral("audit"), QStringLiteral("audit [--since DATE]"), runAudit},
            {QStringLiteral("live"), QStringLiteral("live ADDR [--watch SECONDS] [--csv FILE]"),
             runLive},
            {QStringLiteral("overview"),
             QStringLiteral("overview [--addresses ADDRS] [--watch SECONDS] [--csv]"), runOverview},
            {QStringLiteral("command"),
             QStringLiteral(
                     "command ADDR start|stop|ack|clock-sync|clock-set \"dd.MM.yyyy HH:mm:ss\"|output work|alarm|overload on|off|motor-resource HOURS MINUTES|serial N"),
             runRelayCommand},
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

void printUsage(QTextStream &stream)
{
    stream << globalOptionsUsage() << "commands:\n";
    for (const Command &command : commands())
        stream << "  mivctl [OPTIONS] " << command.usage << '\n';
    stream.flush();
}

} // namespace

int runHelp(CliContext &context, const QStringList &arguments)
{
    if (!arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("help takes no arguments"),
                                  findCommand(QStringLiteral("help"))->usage);
    printUsage(context.out());
    return ExitStatus::Done;
}

int runCommandLine(const QStringList &arguments, const QString &frontIni, QTextStream &out,
                   QTextStream &err)
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

    enableBusTraceFromEnvironment();
    if (options->trace)
        enableBusTrace(true);
    CliContext context(*options, frontIni, out, err);
    const int status = command->run(context, options->commandArguments);
    out.flush();
    err.flush();
    return status;
}

} // namespace miv::cli
