#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace miv::cli {

class CliContext;
class Terminal;

namespace ExitStatus {
inline constexpr int Done = 0;
inline constexpr int LinkFailure = 1; // the message is on stderr
inline constexpr int WrongUsage = 2;
inline constexpr int Refused = 3; // wrong password, invalid input file, validation
inline constexpr int Different = 4; // config diff: the relay and the file differ; a broken chain
inline constexpr int HintGiven = 4; // line stats: a relay's figures point at a cause
// find stopped by Ctrl+C: 128 + SIGINT, what the shell reports for a program
// that Ctrl+C ended, so that a script tells it from "nothing found" (1).
inline constexpr int Interrupted = 130;
} // namespace ExitStatus

// One mivctl command. A new command lives in its own cli/Command<Name>.cpp,
// is declared below and gets one line in the table of Commands.cpp.
struct Command
{
    QString name;
    QString usage; // what follows "mivctl [OPTIONS] ", as "info ADDR"
    int (*run)(CliContext &context, const QStringList &arguments);
};

const QList<Command> &commands();
const Command *findCommand(const QString &name);

// The whole of mivctl after the program name: options, command, its arguments.
// `terminal` is where passwords are asked when no other source gives one
// (null: nobody to ask).
int runCommandLine(const QStringList &arguments, const QString &frontIni, QTextStream &out,
                   QTextStream &err, Terminal *terminal = nullptr);

// The commands.
int runHelp(CliContext &context, const QStringList &arguments);
int runPorts(CliContext &context, const QStringList &arguments);
int runScan(CliContext &context, const QStringList &arguments);
int runInfo(CliContext &context, const QStringList &arguments);
int runInterface(CliContext &context, const QStringList &arguments);
int runConfig(CliContext &context, const QStringList &arguments);
int runTimer(CliContext &context, const QStringList &arguments);
int runPassword(CliContext &context, const QStringList &arguments);
int runLive(CliContext &context, const QStringList &arguments);
int runRelayCommand(CliContext &context, const QStringList &arguments);
int runJournal(CliContext &context, const QStringList &arguments);
int runAudit(CliContext &context, const QStringList &arguments);
// "config diff", called by runConfig.
int diffConfig(CliContext &context, const QStringList &arguments);
int runFind(CliContext &context, const QStringList &arguments);
int runPublish(CliContext &context, const QStringList &arguments);
int runSettings(CliContext &context, const QStringList &arguments);
// "config sheet", called by runConfig.
int sheetConfig(CliContext &context, const QStringList &arguments);
int runOverview(CliContext &context, const QStringList &arguments);
int runLine(CliContext &context, const QStringList &arguments);
int runClock(CliContext &context, const QStringList &arguments);
int runRegistry(CliContext &context, const QStringList &arguments);
// "registry journal", "registry events" and "registry report", called by runRegistry.
int registryJournal(CliContext &context, const QStringList &arguments, const QString &usage);
int registryEvents(CliContext &context, const QStringList &arguments, const QString &usage);
int registryReport(CliContext &context, const QStringList &arguments, const QString &usage);
// "registry roles" and the steps of change control (CommandRegistryChange.cpp).
int registryRoles(CliContext &context, const QStringList &arguments, const QString &usage);
// "registry proposals|confirm|reject|lock|unlock"; `step` is the subcommand.
int registryChangeStep(CliContext &context, const QString &step, const QStringList &arguments,
                       const QString &usage);

} // namespace miv::cli
