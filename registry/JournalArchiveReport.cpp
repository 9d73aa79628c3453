#include "registry/JournalArchiveReport.h"

#include "core/FileReplacement.h"
#include "registry/RegistryStore.h"
#include "report/CsvLine.h"
#include "report/JournalReport.h"

namespace miv {

namespace JournalArchiveReport {

namespace {

// The columns of archivedEntryFields.
enum Field { Number, RelayDate, PcDate, Event, Details };

} // namespace

QList<NumberedEntry> inRange(const QList<ArchivedJournalEntry> &all, const QDateTime &since,
                             const QDateTime &until, Undated undated)
{
    QList<NumberedEntry> shown;
    for (qsizetype k = 0; k < all.size(); ++k) {
        const QDateTime &time = all[k].pcTime;
        const bool outside = time.isValid()
                ? (since.isValid() && time < since) || (until.isValid() && time >= until)
                : (since.isValid() || until.isValid()) && undated == Undated::Leave;
        if (outside)
            continue;
        shown.append({int(k + 1), all[k]});
    }
    return shown;
}

QString periodText(const Days &days)
{
    const auto day = [](const QDate &date) { return date.toString(QStringLiteral("dd.MM.yyyy")); };
    QStringList ends;
    if (days.first.isValid())
        ends << QStringLiteral("с ") + day(days.first);
    if (days.last.isValid())
        ends << QStringLiteral("по ") + day(days.last);
    return ends.isEmpty() ? QStringLiteral("все записи") : ends.join(u' ');
}

JournalReportLayout::Input reportInput(const RegistryRelay &relay,
                                       const QList<NumberedEntry> &entries, const Days &days,
                                       QChar decimalSeparator, const QDateTime &moment)
{
    JournalReportLayout::Input input = JournalReport::reportHeading(
            relay.deviceName.trimmed(), relay.factoryNumber, relay.softwareVersion, moment);
    input.kind = JournalReportLayout::Kind::Archive;
    input.title = QStringLiteral("Архив журнала событий");
    input.period = periodText(days);
    for (const NumberedEntry &numbered : entries) {
        const QStringList fields =
                archivedEntryFields(numbered.entry, numbered.number, decimalSeparator);
        input.journal.append({fields[RelayDate], fields[Event], fields[Details], fields[PcDate]});
    }
    return input;
}

QByteArray csvText(const QList<NumberedEntry> &entries, QChar decimalSeparator)
{
    QByteArray out("\xEF\xBB\xBF");
    out += csvLine(archivedEntryHeadings(), u';');
    for (const NumberedEntry &numbered : entries)
        out += csvLine(archivedEntryFields(numbered.entry, numbered.number, decimalSeparator),
                       u';');
    return out;
}

bool write(const QString &path, const RegistryRelay &relay, const QList<NumberedEntry> &entries,
           const Days &days, QChar decimalSeparator, const QDateTime &moment, QString *error)
{
    if (JournalReport::formatOf(path) == JournalReport::Format::Csv)
        return replaceFile(path, csvText(entries, decimalSeparator), error);
    return JournalReportLayout::build(reportInput(relay, entries, days, decimalSeparator, moment))
            .save(path, error);
}

} // namespace JournalArchiveReport

} // namespace miv
