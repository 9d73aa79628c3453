// mivctl registry list [FACTORY] [--csv]
//        registry history FACTORY [--csv]
//        registry diff FACTORY ID ID
//        registry check [--addresses ADDRS]
//        registry approve FACTORY (--file FILE | --snapshot ID) [--note TEXT]
//        registry tag FACTORY TEXT
//        registry journal|events|report (see CommandRegistryArchive.cpp)
//
// The relay register (see registry/RegistryStore.h): where it is kept, the
// global option --registry says. FACTORY is a factory number, or
// "FACTORY:TYPE" where relays of both types share it.
//
// list: one line per relay on record, TAB-separated (--csv: CSV under a
//   header line): FACTORY TYPE NAME TAG LAST_SEEN PORT ADDR VERSION APPROVAL,
//   APPROVAL "approved", "differs" or "none" for the last settings seen. A
//   backslash, tab or line break in a field is written \\, \t, \n, \r (the
//   history likewise).
// history: one line per snapshot, oldest first: ID TIME KIND USER PORT ADDR
//   VERSION APPROVAL NOTE CHANGES, KIND "as-found", "as-left" or "approved",
//   CHANGES the items changed against the snapshot before.
// diff: as config diff, one line per item the two snapshots hold
//   differently, row<TAB>name<TAB>first<TAB>second (row "timer" for the
//   timer schedule); exit 4 when they differ.
// check: reads every relay of the line (scanned first) or those listed,
//   records each as found and compares it with its approved settings; the
//   lines of registry/RegistryCheck.h. Exit 4 when a relay differs, has no
//   approval, is silent or was replaced.
// approve: the settings of a settings file (complete for the relay's type)
//   or of a snapshot of that relay become its approved settings; the
//   approval before stays in the history.
// tag: sets the relay's free-text tag ("" clears it).
//
// Every registry command: exit 2 for wrong usage (a FACTORY that is no
// factory number or names two relays, a snapshot number that is none of the
// relay's), 3 with the reason on stderr for a relay not on record (its
// number named) or a register that cannot be used; 1 is a link failure.
#include "cli/AddressList.h"
#include "cli/CliContext.h"
#include "cli/RegistryLookup.h"
#include "cli/Commands.h"
#include "cli/TabSeparated.h"
#include "core/AuditLog.h"
#include "core/ProgramVersion.h"
#include "device/Discovery.h"
#include "registry/RegistryCheck.h"
#include "registry/RegistryViews.h"
#include "registry/SettingsContent.h"
#include "registry/SettingsSource.h"
#include "report/CsvLine.h"

#include <QFileInfo>

namespace miv::cli {

namespace {

const QString registryUsage = QStringLiteral(
        "registry list [FACTORY] [--csv] | registry history FACTORY [--csv] | "
        "registry diff FACTORY ID ID | registry check [--addresses ADDRS] | "
        "registry approve FACTORY (--file FILE | --snapshot ID) [--note TEXT] | "
        "registry tag FACTORY TEXT | "
        "registry journal FACTORY [--since DATE] [--until DATE] [--csv] | "
        "registry events [--since DATE] [--until DATE] [--csv] | "
        "registry report FACTORY [--from ID] [--to ID] [--pdf F] [--xls F] [--csv F]");

void printRow(CliContext &context, const QStringList &fields, bool csv)
{
    if (csv)
        context.out() << QString::fromUtf8(csvLine(fields, u',', "\n"));
    else
        context.out() << tabSeparatedLine(fields) << '\n';
}

// Takes "--csv" out of the arguments; whether it was there.
bool takeCsv(QStringList &arguments)
{
    return arguments.removeAll(QStringLiteral("--csv")) > 0;
}

int list(CliContext &context, QStringList arguments)
{
    const bool csv = takeCsv(arguments);
    if (arguments.size() > 1)
        return context.wrongUsage(QStringLiteral("registry list takes one factory number at most"),
                                  registryUsage);
    std::optional<RegistryViews::RelayKey> key;
    if (!arguments.isEmpty()) {
        key = RegistryViews::parseRelayKey(arguments[0]);
        if (!key)
            return context.wrongUsage(QStringLiteral("not a factory number: ") + arguments[0],
                                      registryUsage);
    }
    RegistryStore *store = openStore(context, RegisterUse::Read);
    if (!store)
        return ExitStatus::Refused;
    auto relays = store->relays(key ? std::optional<quint16>(key->factoryNumber) : std::nullopt);
    if (!relays) {
        context.err() << store->error() << Qt::endl;
        return ExitStatus::Refused;
    }
    if (key) {
        *relays = RegistryViews::relaysOf(*relays, *key);
        if (relays->isEmpty()) {
            context.err() << RegistryViews::notOnRecordText(arguments[0]) << Qt::endl;
            return ExitStatus::Refused;
        }
    }
    if (csv)
        printRow(context, RegistryViews::relayListHeader(), true);
    for (const RegistryRelay &relay : *relays)
        printRow(context, RegistryViews::relayListFields(relay), csv);
    return ExitStatus::Done;
}

int history(CliContext &context, QStringList arguments)
{
    const bool csv = takeCsv(arguments);
    if (arguments.size() != 1)
        return context.wrongUsage(QStringLiteral("registry history needs a factory number"),
                                  registryUsage);
    int status = ExitStatus::Refused;
    const std::optional<RelayInRegister> opened =
            openRelay(context, arguments[0], RegisterUse::Read, registryUsage, &status);
    if (!opened)
        return status;
    RegistryStore *store = opened->store;
    const RegistryRelay &relay = opened->relay;
    const auto snapshots = store->history(relay.id);
    if (!snapshots) {
        context.err() << store->error() << Qt::endl;
        return ExitStatus::Refused;
    }
    if (csv)
        printRow(context, RegistryViews::historyHeader(), true);
    for (const auto &entry :
         RegistryViews::withChanges(*snapshots, context.session().decimalSeparator))
        printRow(context, RegistryViews::historyFields(entry), csv);
    return ExitStatus::Done;
}

std::optional<qint64> snapshotNumber(const QString &text)
{
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    return ok && id > 0 ? std::optional<qint64>(id) : std::nullopt;
}

// The snapshot `text` names, which must be the relay's; nullopt told on
// stderr with the exit status in *status: wrong usage for a text that is no
// snapshot of the relay, refused for a register that cannot be read.
std::optional<RegistrySnapshot> snapshotOf(CliContext &context, RegistryStore &store,
                                           const RegistryRelay &relay, const QString &text,
                                           int *status)
{
    const auto id = snapshotNumber(text);
    if (!id) {
        *status =
                context.wrongUsage(QStringLiteral("not a snapshot number: ") + text, registryUsage);
        return std::nullopt;
    }
    const auto history = store.history(relay.id);
    if (!history) {
        context.err() << store.error() << Qt::endl;
        *status = ExitStatus::Refused;
        return std::nullopt;
    }
    for (const RegistrySnapshot &snapshot : *history)
        if (snapshot.id == *id)
            return snapshot;
    *status = context.wrongUsage(
            QStringLiteral("У реле №%1 нет записи настроек №%2").arg(relay.factoryNumber).arg(*id),
            registryUsage);
    return std::nullopt;
}

int diff(CliContext &context, const QStringList &arguments)
{
    if (arguments.size() != 3)
        return context.wrongUsage(
                QStringLiteral("registry diff needs a factory number and two snapshot numbers"),
                registryUsage);
    int status = ExitStatus::Refused;
    const std::optional<RelayInRegister> opened =
            openRelay(context, arguments[0], RegisterUse::Read, registryUsage, &status);
    if (!opened)
        return status;
    RegistryStore *store = opened->store;
    const RegistryRelay &relay = opened->relay;
    const auto first = snapshotOf(context, *store, relay, arguments[1], &status);
    const auto second =
            first ? snapshotOf(context, *store, relay, arguments[2], &status) : std::nullopt;
    if (!first || !second)
        return status;
    const QList<SettingsChange> changes =
            SettingsContent::changes(first->registers, second->registers, first->typeCode,
                                     context.session().decimalSeparator);
    for (const SettingsChange &change : changes)
        context.out() << (change.row < 0 ? QStringLiteral("timer") : QString::number(change.row))
                      << '\t' << change.name << '\t' << change.before << '\t' << change.after
                      << '\n';
    return changes.isEmpty() ? ExitStatus::Done : ExitStatus::Different;
}

int check(CliContext &context, const QStringList &arguments)
{
    std::optional<QList<quint8>> addresses;
    if (!arguments.isEmpty()) {
        if (arguments.size() != 2 || arguments[0] != QStringLiteral("--addresses"))
            return context.wrongUsage(QStringLiteral("registry check takes --addresses ADDRS only"),
                                      registryUsage);
        addresses = parseAddressList(arguments[1]);
        if (!addresses)
            return context.wrongUsage(QStringLiteral("not a list of relay addresses: ")
                                              + arguments[1],
                                      registryUsage);
    }
    RegistryStore *store = openStore(context, RegisterUse::Record);
    if (!store)
        return ExitStatus::Refused;
    if (!context.openPort())
        return ExitStatus::LinkFailure;
    // The relays the register saw last on this port that the scan does not
    // find are listed as silent.
    QList<RelayCheck> missing;
    if (!addresses) {
        const DiscoveryResult scan = scanBus(context.session(), context.messages());
        if (scan.portLost)
            return ExitStatus::LinkFailure;
        addresses = scan.answering;
        if (addresses->isEmpty()) {
            context.err() << "mivctl: no relay answered the scan" << Qt::endl;
            return ExitStatus::LinkFailure;
        }
        const auto known = store->relays();
        for (const RegistryRelay &relay : known.value_or(QList<RegistryRelay>{}))
            if (relay.lastPort == context.settings().portName
                && !addresses->contains(quint8(relay.lastAddress)))
                missing.append({quint8(relay.lastAddress),
                                RelayCheck::Result::Silent,
                                relay.factoryNumber,
                                relay.typeCode,
                                relay.tag,
                                {},
                                {},
                                {}});
    }
    bool attention = false;
    for (quint8 address : std::as_const(*addresses)) {
        RelaySession &session = context.startFreshSession();
        const RelayCheck checked = checkRelay(session, context.messages(), address);
        for (const QString &line : checkLines(checked))
            context.out() << line << '\n';
        context.out().flush();
        attention = attention || checked.needsAttention();
        if (!session.portHeldOpenNow())
            return ExitStatus::LinkFailure;
    }
    for (const RelayCheck &silent : std::as_const(missing))
        for (const QString &line : checkLines(silent))
            context.out() << line << '\n';
    attention = attention || !missing.isEmpty();
    return attention ? ExitStatus::Different : ExitStatus::Done;
}

int approve(CliContext &context, const QStringList &arguments)
{
    if (arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("registry approve needs a factory number"),
                                  registryUsage);
    QString file;
    QString snapshotText;
    QString note;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &name = arguments[i];
        if (name != QLatin1String("--file") && name != QLatin1String("--snapshot")
            && name != QLatin1String("--note"))
            return context.wrongUsage(QStringLiteral("unknown option ") + name, registryUsage);
        if (++i >= arguments.size())
            return context.wrongUsage(QStringLiteral("a value is missing after ") + name,
                                      registryUsage);
        (name == QLatin1String("--file")               ? file
                 : name == QLatin1String("--snapshot") ? snapshotText
                                                       : note) = arguments[i];
    }
    if (file.isEmpty() == snapshotText.isEmpty())
        return context.wrongUsage(QStringLiteral("registry approve needs --file or --snapshot"),
                                  registryUsage);
    int status = ExitStatus::Refused;
    const std::optional<RelayInRegister> opened =
            openRelay(context, arguments[0], RegisterUse::Record, registryUsage, &status);
    if (!opened)
        return status;
    RegistryStore *store = opened->store;
    const RegistryRelay &relay = opened->relay;
    SettingsRegisters registers;
    QString source;
    if (!file.isEmpty()) {
        QString error;
        const auto fromFile = SettingsContent::fromSettingsFile(file, relay.typeCode, &error);
        if (!fromFile) {
            context.err() << error << Qt::endl;
            return ExitStatus::Refused;
        }
        registers = *fromFile;
        source = QFileInfo(file).fileName();
    } else {
        const auto snapshot = snapshotOf(context, *store, relay, snapshotText, &status);
        if (!snapshot)
            return status;
        registers = snapshot->registers;
        source = QStringLiteral("snapshot %1").arg(snapshot->id);
    }
    RecordingContext recording;
    recording.user = AuditLog::systemUserName();
    recording.programVersion = programVersion();
    if (!store->approve(relay.id, registers, source, note, recording)) {
        context.err() << store->error() << Qt::endl;
        return ExitStatus::Refused;
    }
    context.out() << QStringLiteral("Уставки реле №%1 утверждены (%2)")
                             .arg(relay.factoryNumber)
                             .arg(source)
                  << '\n';
    return ExitStatus::Done;
}

int tag(CliContext &context, const QStringList &arguments)
{
    if (arguments.size() != 2)
        return context.wrongUsage(QStringLiteral("registry tag needs a factory number and a text"),
                                  registryUsage);
    int status = ExitStatus::Refused;
    const std::optional<RelayInRegister> opened =
            openRelay(context, arguments[0], RegisterUse::Record, registryUsage, &status);
    if (!opened)
        return status;
    RegistryStore *store = opened->store;
    const RegistryRelay &relay = opened->relay;
    if (!store->setTag(relay.id, arguments[1].trimmed())) {
        context.err() << store->error() << Qt::endl;
        return ExitStatus::Refused;
    }
    return ExitStatus::Done;
}

} // namespace

int runRegistry(CliContext &context, const QStringList &arguments)
{
    const QString sub = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    if (sub == QLatin1String("list"))
        return list(context, rest);
    if (sub == QLatin1String("history"))
        return history(context, rest);
    if (sub == QLatin1String("diff"))
        return diff(context, rest);
    if (sub == QLatin1String("check"))
        return check(context, rest);
    if (sub == QLatin1String("approve"))
        return approve(context, rest);
    if (sub == QLatin1String("tag"))
        return tag(context, rest);
    if (sub == QLatin1String("journal"))
        return registryJournal(context, rest, registryUsage);
    if (sub == QLatin1String("events"))
        return registryEvents(context, rest, registryUsage);
    if (sub == QLatin1String("report"))
        return registryReport(context, rest, registryUsage);
    return context.wrongUsage(sub.isEmpty() ? QStringLiteral("registry needs a subcommand")
                                            : QStringLiteral("unknown subcommand ") + sub,
                              registryUsage);
}

} // namespace miv::cli
