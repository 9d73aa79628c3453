// mivctl registry journal FACTORY [--since DATE] [--until DATE] [--csv]
//        registry events [--since DATE] [--until DATE] [--csv]
//        registry report FACTORY [--from ID] [--to ID] --pdf F | --xls F | --csv F
//
// The journal archive and the commissioning report of the relay register
// (registry/JournalStore.h, registry/CommissioningReportBuilder.h), called
// by `registry` (CommandRegistry.cpp).
//
// journal: the relay's archived entries in the order it wrote them, one a
//   line: N<TAB>relay date<TAB>PC date<TAB>event<TAB>details, the dates as
//   the journal grid writes them; --since and --until (cli/DateBound.h; a
//   day or a minute given to --until up to its end) on the PC's time, read
//   from the register by that range; --csv as CSV under a header line.
// events: every relay's entries in one order, of the PC's time: PC date,
//   factory number, tag, relay date, event, details; the same options.
// report: the commissioning report of a visit in each format given (at
//   least one); --from and --to name its as-found snapshot and a later
//   as-left one of the relay (registry history); one of them alone, the
//   other is that day's; by default the first as-found and the last as-left
//   after it of the latest day that has both. Exit 2 for snapshots that are
//   no visit, the visits on record named; 3 when the relay has none.
#include "cli/CliContext.h"
#include "cli/RegistryLookup.h"
#include "cli/Commands.h"
#include "cli/DateBound.h"
#include "cli/SheetOutputs.h"
#include "cli/SheetPdfDrawing.h"
#include "core/FileReplacement.h"
#include "core/ValueFormat.h"
#include "registry/CommissioningReportBuilder.h"
#include "registry/JournalStore.h"
#include "registry/RegistryStore.h"
#include "registry/RegistryViews.h"
#include "report/CsvLine.h"

#include <QCoreApplication>

namespace miv::cli {

namespace {

struct ListOptions
{
    QString relay;
    QDateTime since;
    QDateTime until;
    bool csv = false;
};

// The options; nullopt with the problem in *problem.
std::optional<ListOptions> parseList(const QStringList &arguments, bool withRelay, QString *problem)
{
    ListOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--csv")) {
            options.csv = true;
        } else if (argument == QLatin1String("--since") || argument == QLatin1String("--until")) {
            const bool end = argument == QLatin1String("--until");
            const std::optional<QDateTime> date = i + 1 < arguments.size()
                    ? parseDateBound(arguments[i + 1], end ? DateBound::Until : DateBound::Since)
                    : std::nullopt;
            if (!date) {
                *problem = argument
                        + QStringLiteral(" needs a date: yyyy-MM-dd, dd.MM.yyyy or "
                                         "yyyy-MM-ddTHH:mm");
                return std::nullopt;
            }
            (end ? options.until : options.since) = *date;
            ++i;
        } else if (withRelay && options.relay.isEmpty() && !argument.startsWith(u'-')) {
            options.relay = argument;
        } else {
            *problem = QStringLiteral("unknown option ") + argument;
            return std::nullopt;
        }
    }
    if (withRelay && options.relay.isEmpty()) {
        *problem = QStringLiteral("a factory number is needed");
        return std::nullopt;
    }
    // A range that holds no time is a mistake, never an empty list.
    if (options.since.isValid() && options.until.isValid() && options.since >= options.until) {
        *problem = QStringLiteral("--since %1 comes after --until %2: the range holds no time")
                           .arg(arguments[arguments.lastIndexOf(QStringLiteral("--since")) + 1],
                                arguments[arguments.lastIndexOf(QStringLiteral("--until")) + 1]);
        return std::nullopt;
    }
    return options;
}

void printFields(CliContext &context, const QStringList &fields, bool csv)
{
    if (csv)
        context.out() << QString::fromUtf8(csvLine(fields, u',', "\n"));
    else
        context.out() << fields.join(u'\t') << '\n';
}

} // namespace

int registryJournal(CliContext &context, const QStringList &arguments, const QString &usage)
{
    QString problem;
    const std::optional<ListOptions> options = parseList(arguments, true, &problem);
    if (!options)
        return context.wrongUsage(QStringLiteral("registry journal: ") + problem, usage);
    int status = ExitStatus::Refused;
    const std::optional<RelayInRegister> opened =
            openRelay(context, options->relay, RegisterUse::Read, usage, &status);
    if (!opened)
        return status;
    RegistryStore *store = opened->store;
    const RegistryRelay &relay = opened->relay;
    JournalStore journal(*store);
    // Numbered from the first entry on record, whatever the range shows.
    const auto entries = journal.relayEntries(relay.id, options->since, options->until);
    if (!entries) {
        context.err() << journal.error() << Qt::endl;
        return ExitStatus::Refused;
    }
    const QChar separator = systemDecimalSeparator();
    if (options->csv)
        printFields(context, archivedEntryHeadings(), true);
    for (const ArchivedJournalEntry &entry : *entries)
        printFields(context, archivedEntryFields(entry, entry.number, separator), options->csv);
    context.out().flush();
    return ExitStatus::Done;
}

int registryEvents(CliContext &context, const QStringList &arguments, const QString &usage)
{
    QString problem;
    const std::optional<ListOptions> options = parseList(arguments, false, &problem);
    if (!options)
        return context.wrongUsage(QStringLiteral("registry events: ") + problem, usage);
    RegistryStore *store = openStore(context, RegisterUse::Read);
    if (!store)
        return ExitStatus::Refused;
    JournalStore journal(*store);
    const auto entries = journal.lineEntries(options->since, options->until);
    if (!entries) {
        context.err() << journal.error() << Qt::endl;
        return ExitStatus::Refused;
    }
    const QChar separator = systemDecimalSeparator();
    if (options->csv)
        printFields(context, lineEventHeadings(), true);
    for (const ArchivedJournalEntry &entry : *entries)
        printFields(context, lineEventFields(entry, separator), options->csv);
    context.out().flush();
    return ExitStatus::Done;
}

int registryReport(CliContext &context, const QStringList &arguments, const QString &usage)
{
    if (arguments.isEmpty() || arguments[0].startsWith(u'-'))
        return context.wrongUsage(QStringLiteral("registry report needs a factory number"), usage);
    ReportVisit visit;
    QStringList outputOptions;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &name = arguments[i];
        if (name != QLatin1String("--from") && name != QLatin1String("--to")) {
            outputOptions << name;
            continue;
        }
        bool ok = false;
        const qint64 id = i + 1 < arguments.size() ? arguments[i + 1].toLongLong(&ok) : 0;
        if (!ok || id <= 0)
            return context.wrongUsage(name + QStringLiteral(" needs a snapshot number"), usage);
        (name == QLatin1String("--from") ? visit.fromSnapshot : visit.toSnapshot) = id;
        ++i;
    }
    QString problem;
    const std::optional<SheetOutputs> outputs = parseSheetOutputs(outputOptions, &problem);
    if (!outputs)
        return context.wrongUsage(QStringLiteral("registry report: ") + problem, usage);
    int status = ExitStatus::Refused;
    const std::optional<RelayInRegister> opened =
            openRelay(context, arguments[0], RegisterUse::Read, usage, &status);
    if (!opened)
        return status;
    RegistryStore *store = opened->store;
    const RegistryRelay &relay = opened->relay;
    JournalStore journal(*store);
    QString error;
    ReportRefusal refusal{};
    const std::optional<CommissioningReport::Document> document =
            buildCommissioningReport(*store, journal, relay, visit, systemDecimalSeparator(),
                                     QDateTime::currentDateTime(), &error, &refusal);
    if (!document && refusal == ReportRefusal::NotAVisit)
        return context.wrongUsage(error, usage);
    if (!document) {
        context.err() << error << Qt::endl;
        return ExitStatus::Refused;
    }
    return writeOutputs(
            context, *outputs,
            [&document](OutputFormat format, QString *reason) -> std::optional<QByteArray> {
                switch (format) {
                case OutputFormat::Pdf:
                    return drawCommissioningReportPdf(*document, reason);
                case OutputFormat::Csv:
                    return CommissioningReport::csvText(*document);
                case OutputFormat::Xls:
                    break;
                }
                return CommissioningReport::workbook(*document).toBiff8(reason);
            });
}

} // namespace miv::cli
