#pragma once

#include "registry/JournalStore.h"
#include "report/JournalReportLayout.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace miv {

struct RegistryRelay;

// A relay's archived journal as the window's "Архив..." and `mivctl registry
// journal` show it, and its report: the journal report's workbook laid out
// for the archive (JournalReportLayout::Kind::Archive: a numbered row per
// entry, the PC's time beside the relay's, the period), or CSV with the
// archive's columns.
namespace JournalArchiveReport {

// An archived entry with its number: its place among all the relay's
// entries on record (from 1), whatever range is shown.
struct NumberedEntry
{
    int number = 0;
    ArchivedJournalEntry entry;
};

// The entries of `all` (a relay's, in its order) whose time on the PC's clock
// falls from `since` up to, not including, `until`; either may be invalid
// (open). With a range, an entry that holds no date cannot be placed in it:
// it is left out, or kept with `undated` Keep.
enum class Undated { Leave, Keep };
QList<NumberedEntry> inRange(const QList<ArchivedJournalEntry> &all, const QDateTime &since,
                             const QDateTime &until, Undated undated = Undated::Leave);

// The days of the PC's clock the entries were chosen from, both included;
// an invalid one leaves that end open.
struct Days
{
    QDate first;
    QDate last;
};
// "с 01.03.2024 по 05.03.2024", one end alone, or "все записи".
QString periodText(const Days &days);

// The workbook's values: the relay's identity from the register (its name
// without the blanks that pad it to ten characters), the date of the report
// from `moment`, the period, and one journal row per entry with its date on
// the relay's clock and on the PC's.
JournalReportLayout::Input reportInput(const RegistryRelay &relay,
                                       const QList<NumberedEntry> &entries, const Days &days,
                                       QChar decimalSeparator, const QDateTime &moment);

// UTF-8 CSV with a byte order mark under the archive's headings
// (archivedEntryHeadings), lines ended by CR LF; fields separated by ";", as
// the program's other CSV files for a spreadsheet, since the details hold
// decimal commas.
QByteArray csvText(const QList<NumberedEntry> &entries, QChar decimalSeparator);

// Writes the workbook, or the CSV file when the name ends in ".csv", through
// a temporary file beside `path`. False with `error` naming the file and the
// reason.
bool write(const QString &path, const RegistryRelay &relay, const QList<NumberedEntry> &entries,
           const Days &days, QChar decimalSeparator, const QDateTime &moment, QString *error);

} // namespace JournalArchiveReport

} // namespace miv
