// mivctl journal ADDR [--xls FILE] [--csv FILE]
//
// Identifies the relay and reads its event journal as "Получить" on the
// journal tab does, then prints one line per event as the grid shows it:
//   n<TAB>date<TAB>event<TAB>details
// --xls writes the report workbook the window's "Отчёт" writes, --csv the
// rows as UTF-8 CSV with a header. A reading that fails prints the events
// read before it, writes no file and ends with exit 1; a file that cannot be
// written ends with exit 3 (the reason on stderr), told before the relay is
// read where it shows then (a missing folder, a folder not to be written).
// --xls and --csv naming one file (the CSV would silently replace the
// workbook) is wrong usage, told before anything is read.
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "core/JournalGrid.h"
#include "cli/SheetOutputs.h"
#include "device/JournalReader.h"
#include "report/JournalReport.h"

#include <QDateTime>

namespace miv::cli {

namespace {

const QString journalUsage = QStringLiteral("journal ADDR [--xls FILE] [--csv FILE]");

void printJournal(QTextStream &out, const JournalGrid &journal)
{
    for (int row = 0; row < journal.rowCount(); ++row) {
        if (journal.text(row, JournalGrid::Event).isEmpty())
            continue;
        out << journal.text(row, JournalGrid::Number) << '\t'
            << journal.text(row, JournalGrid::Date) << '\t' << journal.text(row, JournalGrid::Event)
            << '\t' << journal.text(row, JournalGrid::Details) << '\n';
    }
}

} // namespace

int runJournal(CliContext &context, const QStringList &arguments)
{
    if (arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("journal needs an address"), journalUsage);
    const auto address = parseRelayAddress(arguments[0]);
    if (!address)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0],
                                  journalUsage);
    QString xlsPath;
    QString csvPath;
    for (qsizetype i = 1; i < arguments.size(); i += 2) {
        const QString &name = arguments[i];
        QString *target = name == QStringLiteral("--xls") ? &xlsPath
                : name == QStringLiteral("--csv")         ? &csvPath
                                                          : nullptr;
        if (!target)
            return context.wrongUsage(QStringLiteral("unknown option ") + name, journalUsage);
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
            return context.wrongUsage(QStringLiteral("a file name is missing after ") + name,
                                      journalUsage);
        if (!target->isEmpty())
            return context.wrongUsage(name + QStringLiteral(" given twice"), journalUsage);
        *target = arguments[i + 1];
    }
    QList<NamedOutput> outputs;
    if (!xlsPath.isEmpty())
        outputs.append({QStringLiteral("--xls"), xlsPath});
    if (!csvPath.isEmpty())
        outputs.append({QStringLiteral("--csv"), csvPath});
    for (const NamedOutput &output : std::as_const(outputs))
        if (output.path == standardOutputName)
            return context.wrongUsage(output.option
                                              + QStringLiteral(" -: the journal's rows are printed "
                                                               "on standard output already"),
                                      journalUsage);
    if (const std::optional<QString> clash = clashingOutputs(outputs))
        return context.wrongUsage(*clash, journalUsage);
    // A file that cannot be written is told before the relay is read.
    if (const std::optional<QString> problem = unwritableOutput(outputs)) {
        context.err() << *problem << Qt::endl;
        return ExitStatus::Refused;
    }

    if (!context.openPort())
        return ExitStatus::LinkFailure;
    if (identifyAt(context, *address).outcome != IdentificationResult::Outcome::Identified)
        return ExitStatus::LinkFailure;
    RelaySession &session = context.session();
    const JournalReadResult result = readJournal(session, context.messages());
    printJournal(context.out(), session.journal);
    if (result.outcome != JournalReadResult::Outcome::Complete)
        return ExitStatus::LinkFailure;

    QString error;
    if (!xlsPath.isEmpty()
        && !JournalReport::writeWorkbook(xlsPath, session.device, session.journal,
                                         QDateTime::currentDateTime(), &error)) {
        context.err() << error << Qt::endl;
        return ExitStatus::Refused;
    }
    if (!csvPath.isEmpty() && !JournalReport::writeCsv(csvPath, session.journal, &error)) {
        context.err() << error << Qt::endl;
        return ExitStatus::Refused;
    }
    return ExitStatus::Done;
}

} // namespace miv::cli
