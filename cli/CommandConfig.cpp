// mivctl config read ADDR [--save FILE]
// mivctl config read ADDRS --save-dir DIR
// mivctl config write ADDR [--password PW | --password-file FILE] --load FILE
// mivctl config write ADDRS [--password PW | --password-file FILE] --load FILE
//
// ADDRS is a list of addresses and ranges ("1,6,17", "1-32", "1,3-5"). With
// several addresses (or --save-dir) each relay is worked on by itself on a
// fresh session and gives one summary line
//   ADDR<TAB>saved|written|refused|no link<TAB>reason
// the exit status 0 only when every relay was done, else 1 when any had no
// link, else 3. "read --save-dir" saves each relay's settings to
// DIR/relay-ADDR.miv (the folder made when missing). "write" refuses a relay
// whose password, file or check fails before anything is sent to it.
//
// "read" prints the grid as 34 lines row<TAB>name<TAB>value (the value as the
// column "Значение" shows it); --save also writes the settings file as the
// window's save does (a file that cannot be written: exit 3).
//
// "write" does what the window does from the grid: the password is taken
// from its sources (PasswordSource.h: the option, the file, MIV_PASSWORD, the
// terminal) before anything is read, the relay is identified and read, the
// password is checked as the prompt checks it (wrong: exit 3),
// the settings file is loaded into the grid (any value not taken, or a file
// that cannot be read: exit 3, nothing written), then the marked rows and
// switch words are written. It prints one line per row sent:
//   written<TAB>row<TAB>name<TAB>value        the relay took it
//   refused<TAB>row<TAB>name<TAB>value        the relay refused it (exit 3)
//   unchanged<TAB>row<TAB>name<TAB>value      the relay holds it already
//   switched-off<TAB>row<TAB>name<TAB>value   its function is off: left as it is
// then, for a type-6 relay, the file's timer (writeFileTimer: written, or
// unchanged, each mark and switch as written|unchanged<TAB>timer<TAB>key<TAB>
// value, or "left<TAB>timer" for a file without one), and then the grid read
// back as "read" prints it. A relay that stops answering ends it with exit 1;
// a marked row that holds no valid value stops it before anything is sent,
// with exit 3. Ctrl+C or SIGTERM lets the exchange under way finish, sends
// nothing more and ends with 130 (what was written and what was not on stderr).
#include "access/PasswordAccess.h"
#include "cli/AddressList.h"
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "cli/InterruptCatcher.h"
#include "cli/RegistryLookup.h"
#include "config/ConfigReader.h"
#include "config/ConfigWriter.h"
#include "config/RelayBatch.h"
#include "config/SettingsAssignment.h"
#include "config/SettingsFile.h"
#include "core/ConfigGrid.h"
#include "core/FileErrorReason.h"
#include "core/ParameterCatalogue.h"
#include "core/TimerSchedule.h"
#include "core/AuditLog.h"
#include "core/ProgramVersion.h"
#include "registry/ChangeControl.h"
#include "registry/RegistryViews.h"
#include "registry/SettingsContent.h"

#include <functional>
#include <QDir>
#include <map>
#include <optional>

namespace miv::cli {

namespace {

const QString configUsage =
        QStringLiteral("config read ADDR [--save FILE] | config read ADDRS --save-dir DIR | "
                       "config write ADDRS [--password-file FILE | --password PW] --load FILE | "
                       "config write ADDR [--password-file FILE | --password PW] --approved | "
                       "config diff ADDR FILE | config sheet ADDR [--xls F] [--pdf F] [--csv F]");

// What the command works on besides the context: the data module's share.
// The grid as 34 lines: row, name, value as column "Значение" shows it.
void printGrid(QTextStream &out, const ConfigGrid &grid)
{
    for (int row = 0; row < ConfigRow::count; ++row)
        out << row << '\t' << grid.text(row, ConfigGrid::Name) << '\t'
            << grid.text(row, ConfigGrid::Value) << '\n';
}

// "--name value" pairs after the address; nullopt (with the problem) for an
// unknown name, a repeated one or a missing value.
std::optional<std::map<QString, QString>> parseOptions(const QStringList &options,
                                                       const QStringList &known, QString *problem)
{
    std::map<QString, QString> values;
    for (qsizetype i = 0; i < options.size(); i += 2) {
        const QString &name = options[i];
        if (!known.contains(name)) {
            *problem = QStringLiteral("unknown option ") + argumentForMessage(name);
            return std::nullopt;
        }
        if (i + 1 >= options.size()) {
            *problem = QStringLiteral("a value is missing after ") + name;
            return std::nullopt;
        }
        if (!values.emplace(name, options[i + 1]).second) {
            *problem = name + QStringLiteral(" given twice");
            return std::nullopt;
        }
    }
    return values;
}

// The exit status of a command that worked on several relays.
int batchStatus(const QList<RelayOutcome> &outcomes)
{
    switch (worstVerdict(outcomes)) {
    case RelayOutcome::Verdict::Done:
        return ExitStatus::Done;
    case RelayOutcome::Verdict::Refused:
        return ExitStatus::Refused;
    case RelayOutcome::Verdict::NoLink:
        return ExitStatus::LinkFailure;
    case RelayOutcome::Verdict::Stopped:
        return ExitStatus::Interrupted;
    }
    return ExitStatus::LinkFailure;
}

// Runs `step` on each address, each on a fresh session, one summary line as each ends.
int runBatch(CliContext &context, const QList<quint8> &addresses, const QString &doneWord,
             const std::function<RelayOutcome(RelaySession &, quint8)> &step)
{
    if (!context.openPort())
        return ExitStatus::LinkFailure;
    const QList<RelayOutcome> outcomes = runOnRelays(
            addresses, [&context]() -> RelaySession & { return context.startFreshSession(); }, step,
            [&context, &doneWord](const RelayOutcome &outcome) {
                context.out() << summaryLine(outcome, doneWord) << Qt::endl;
            });
    return batchStatus(outcomes);
}

int readConfigs(CliContext &context, const QList<quint8> &addresses, const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        context.err() << QStringLiteral("Не удалось создать папку %1: %2")
                                 .arg(folder, folderErrorReason(folder, lastSystemError()))
                      << Qt::endl;
        return ExitStatus::Refused;
    }
    const QDir dir(folder);
    return runBatch(context, addresses, QStringLiteral("saved"),
                    [&](RelaySession &session, quint8 address) {
                        return saveSettingsFileOf(
                                session, context.messages(), address,
                                dir.filePath(QStringLiteral("relay-%1.miv").arg(address)));
                    });
}

int readConfig(CliContext &context, const QStringList &arguments)
{
    if (arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("config read needs an address"), configUsage);
    const auto addresses = parseAddressList(arguments[0]);
    if (!addresses)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0],
                                  configUsage);
    QString problem;
    const auto options = parseOptions(
            arguments.mid(1), {QStringLiteral("--save"), QStringLiteral("--save-dir")}, &problem);
    if (!options)
        return context.wrongUsage(problem, configUsage);
    const auto saveDir = options->find(QStringLiteral("--save-dir"));
    if (saveDir != options->end()) {
        if (options->count(QStringLiteral("--save")))
            return context.wrongUsage(QStringLiteral("--save and --save-dir exclude each other"),
                                      configUsage);
        return readConfigs(context, *addresses, saveDir->second);
    }
    if (addresses->size() != 1)
        return context.wrongUsage(QStringLiteral("config read of several relays needs --save-dir"),
                                  configUsage);
    const auto address = std::optional<quint8>(addresses->first());

    RelaySession &session = context.session();
    if (const auto status = connectAndRead(context, *address))
        return *status;
    printGrid(context.out(), session.configGrid);
    if (const auto save = options->find(QStringLiteral("--save")); save != options->end())
        if (!SettingsFile::save(save->second, session.configGrid, session.timer,
                                context.messages()))
            return ExitStatus::Refused;
    return ExitStatus::Done;
}

// One line per part of the file's timer: "written", "unchanged" or "left".
void printTimer(QTextStream &out, const QString &verdict, const TimerSchedule &timer)
{
    for (int mark = 1; mark <= TimerSchedule::markCount; ++mark) {
        const TimerMark &at = timer.marks[size_t(mark - 1)];
        out << verdict << "\ttimer\t" << SettingsFile::markKey(mark) << '\t'
            << (at.given ? at.time.toString(QStringLiteral("HH:mm")) : QString()) << '\n';
    }
    for (int button = 1; button <= TimerSchedule::buttonCount; ++button)
        out << verdict << "\ttimer\t"
            << (button < TimerSchedule::buttonCount ? SettingsFile::intervalKey(button)
                                                    : SettingsFile::timerKey)
            << '\t' << timer.buttons[size_t(button - 1)] << '\n';
}

// One line per row the write sent, with the value as it was sent.
void printSent(QTextStream &out, const QString &verdict, const QList<int> &rows,
               const RelaySession &session, const std::map<int, QString> &sentTexts)
{
    for (int row : rows)
        out << verdict << '\t' << row << '\t' << session.catalogue.record(row).name << '\t'
            << sentTexts.at(row) << '\n';
}

// "config write" of one relay, its password given.
int writeOneRelay(CliContext &context, quint8 address, const QString &file)
{
    RelaySession &session = context.session();
    if (const auto status = connectAndRead(context, address))
        return *status;
    if (const auto refused = refuseWriteWhenLocked(context, session.device))
        return *refused;

    // The same comparison as the prompt's; "Ошибка ввода пароля!" on stderr.
    if (PasswordAccess::unlock(context.messages(), session.device, session.flags)
        != PasswordAccess::Unlock::Unlocked)
        return ExitStatus::Refused;

    const SettingsFile::LoadResult loaded = SettingsFile::load(file, session, context.messages());
    if (!loaded.complete())
        return ExitStatus::Refused;

    // The texts as loaded: the re-read after the write replaces them. Rows 1
    // and 2 may go out unmarked (a new ratio), a disabled row with its real value.
    std::map<int, QString> sentTexts;
    for (int row = 0; row <= ConfigRow::lastSwitch; ++row) {
        const QString saved = session.configGrid.text(row, ConfigGrid::SavedText);
        sentTexts[row] = saved.isEmpty() ? session.configGrid.text(row, ConfigGrid::Value) : saved;
    }
    const TimerSchedule fromFile = session.timer;
    const ConfigWriteResult result = writeConfiguration(session, context.messages());
    if (result.outcome == ConfigWriteResult::Outcome::Refused)
        return ExitStatus::Refused;
    printSent(context.out(), QStringLiteral("written"), result.writtenRows, session, sentTexts);
    if (result.outcome == ConfigWriteResult::Outcome::LinkFailed)
        return ExitStatus::LinkFailure;
    printSent(context.out(), QStringLiteral("refused"), result.refusedRows, session, sentTexts);
    printSent(context.out(), QStringLiteral("unchanged"), result.unchangedRows, session, sentTexts);
    printSent(context.out(), QStringLiteral("switched-off"), result.switchedOffRows, session,
              sentTexts);
    if (!result.readBack)
        return ExitStatus::LinkFailure;
    switch (writeFileTimer(session, context.messages(), fromFile, loaded.timerGiven)) {
    case FileTimer::NoTimer:
        break;
    case FileTimer::NotInFile:
        context.out() << "left\ttimer\t\t" << QStringLiteral("в файле нет таймера") << '\n';
        break;
    case FileTimer::Unchanged:
        printTimer(context.out(), QStringLiteral("unchanged"), session.timer);
        break;
    case FileTimer::Written:
        printTimer(context.out(), QStringLiteral("written"), session.timer);
        break;
    case FileTimer::Failed:
        // What was written and what was not is on stderr.
        return ExitStatus::LinkFailure;
    }
    printGrid(context.out(), session.configGrid);
    return result.refusedRows.isEmpty() ? ExitStatus::Done : ExitStatus::Refused;
}

// The relay on record that the session identified; nullopt with the reason
// on stderr.
std::optional<RegistryRelay> relayOnRecord(CliContext &context, RegistryStore &store,
                                           const CurrentDevice &device)
{
    const auto relays = store.relays(device.factoryNumber);
    if (!relays) {
        context.err() << store.error() << Qt::endl;
        return std::nullopt;
    }
    for (const RegistryRelay &relay : *relays)
        if (relay.typeCode == device.typeCode)
            return relay;
    context.err() << RegistryViews::notOnRecordText(QString::number(device.factoryNumber))
                  << Qt::endl;
    return std::nullopt;
}

// The approved settings as the grid's values, each item the relay's type has
// (row 8 is never written, row 31 only by a relay with a timer).
QList<SettingsAssignment::Assignment> approvedAssignments(const SettingsRegisters &approved,
                                                          const CurrentDevice &device)
{
    QList<SettingsAssignment::Assignment> assignments;
    for (const SettingsItem &item : SettingsContent::items(approved, device.typeCode, u'.')) {
        if (item.text.isEmpty() || item.row == 8 || (item.row == 31 && !device.hasTimer()))
            continue;
        assignments.append({item.row >= 0 ? QString::number(item.row) : item.name, item.text});
    }
    return assignments;
}

// "config write ADDR --approved": exactly the relay's approved settings. The
// read-back is recorded as left; when it holds the approved settings the
// change is signed applied and verified against the approval ("выполнено").
// A relay in service takes this write.
int writeApproved(CliContext &context, quint8 address)
{
    RelaySession &session = context.session();
    if (const auto status = connectAndRead(context, address))
        return *status;
    RegistryStore *store = openStore(context, RegisterUse::Record);
    const std::optional<RegistryRelay> relay =
            store ? relayOnRecord(context, *store, session.device) : std::nullopt;
    if (!relay)
        return ExitStatus::Refused;
    const auto approved = store->approvedSettings(relay->id);
    const auto approvals = store->approvals(relay->id);
    if (!approved || !approvals) {
        context.err() << store->error() << Qt::endl;
        return ExitStatus::Refused;
    }
    if (!approved->has_value() || approvals->isEmpty()) {
        context.err()
                << QStringLiteral("У реле №%1 нет утверждённых уставок").arg(relay->factoryNumber)
                << Qt::endl;
        return ExitStatus::Refused;
    }
    if (PasswordAccess::unlock(context.messages(), session.device, session.flags)
        != PasswordAccess::Unlock::Unlocked)
        return ExitStatus::Refused;
    const SettingsAssignment::Result applied = SettingsAssignment::apply(
            session, approvedAssignments((*approved)->registers, session.device));
    for (const QString &refusal : applied.refusals)
        context.err() << refusal << Qt::endl;
    if (!applied.done())
        return ExitStatus::Refused;
    const TimerSchedule timer = session.timer;
    const ConfigWriteResult result = writeConfiguration(session, context.messages());
    if (result.outcome == ConfigWriteResult::Outcome::Refused)
        return ExitStatus::Refused;
    if (result.outcome == ConfigWriteResult::Outcome::LinkFailed || !result.readBack
        || (session.device.hasTimer()
            && writeFileTimer(session, context.messages(), timer, true) == FileTimer::Failed))
        return ExitStatus::LinkFailure;
    printGrid(context.out(), session.configGrid);
    const std::optional<RegistryRelay> left = relayOnRecord(context, *store, session.device);
    if (!left)
        return ExitStatus::Refused;
    if (left->approval != RecordOutcome::Approval::Same)
        return ExitStatus::Different; // what differs is on stderr, from the read-back
    RecordingContext recording;
    recording.user = AuditLog::systemUserName();
    recording.programVersion = programVersion();
    ChangeControl control(*store);
    for (SignoffMeaning meaning : {SignoffMeaning::Applied, SignoffMeaning::Verified})
        if (!control.sign(relay->id, meaning, approvals->back().id, {}, recording)) {
            context.err() << control.error() << Qt::endl;
            return ExitStatus::Refused;
        }
    context.err() << QStringLiteral("Реле №%1 оставлено с утверждёнными уставками: выполнено")
                             .arg(relay->factoryNumber)
                  << Qt::endl;
    return ExitStatus::Done;
}

int writeConfig(CliContext &context, const QStringList &arguments)
{
    if (arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("config write needs an address"), configUsage);
    const auto addresses = parseAddressList(arguments[0]);
    if (!addresses)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0],
                                  configUsage);
    QString problem;
    QStringList rest = arguments.mid(1);
    const bool approved = rest.removeAll(QStringLiteral("--approved")) > 0;
    const auto options = parseOptions(rest,
                                      {QStringLiteral("--password"),
                                       QStringLiteral("--password-file"), QStringLiteral("--load")},
                                      &problem);
    if (!options)
        return context.wrongUsage(problem, configUsage);
    if (approved == (options->count(QStringLiteral("--load")) > 0))
        return context.wrongUsage(QStringLiteral("config write needs --load or --approved"),
                                  configUsage);
    if (approved && addresses->size() > 1)
        return context.wrongUsage(QStringLiteral("config write --approved takes one address"),
                                  configUsage);
    const auto option = [&options](const QString &name) -> std::optional<QString> {
        const auto found = options->find(name);
        return found == options->end() ? std::nullopt : std::optional<QString>(found->second);
    };
    int refusal = ExitStatus::Done;
    const std::optional<PasswordChoice> password =
            context.password(relayPasswordSources(option(QStringLiteral("--password")),
                                                  option(QStringLiteral("--password-file"))),
                             configUsage, &refusal);
    if (!password)
        return refusal;
    context.console().setPassword(password->password);

    // Ctrl+C lets the write under way finish and be logged; nothing follows it.
    const InterruptCatcher interrupt;
    if (approved) {
        const int status = writeApproved(context, addresses->first());
        return interrupt.interrupted() ? ExitStatus::Interrupted : status;
    }
    const int exitStatus = addresses->size() > 1
            ? runBatch(context, *addresses, QStringLiteral("written"),
                       [&](RelaySession &session, quint8 address) {
                           return writeSettingsFileTo(session, context.messages(), address,
                                                      options->at(QStringLiteral("--load")));
                       })
            : writeOneRelay(context, addresses->first(), options->at(QStringLiteral("--load")));
    return interrupt.interrupted() ? ExitStatus::Interrupted : exitStatus;
}

} // namespace

int runConfig(CliContext &context, const QStringList &arguments)
{
    const QString action = arguments.value(0);
    if (action == QStringLiteral("read"))
        return readConfig(context, arguments.mid(1));
    if (action == QStringLiteral("write"))
        return writeConfig(context, arguments.mid(1));
    if (action == QStringLiteral("diff"))
        return diffConfig(context, arguments.mid(1));
    if (action == QStringLiteral("sheet"))
        return sheetConfig(context, arguments.mid(1));
    return context.wrongUsage(QStringLiteral("config needs read, write, diff or sheet"),
                              configUsage);
}

} // namespace miv::cli
