#pragma once

#include "report/XlsWorkbook.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace miv {

// The report of a relay: its name, factory number and software version and
// its event journal, under the date and time of the report, laid out on the
// first of three sheets as the report template has it. A value that is not
// set leaves its cell empty (formatted, with its borders).
namespace JournalReportLayout {

struct JournalEntry
{
    QString date; // "Дата события"
    QString event; // "Событие"
    QString details; // "Информация"
    QString pcTime; // "Время ПК": the archive's report only
};

// The relay's journal as the report template lays it out, or the journal
// archive of the register: "№ п/п" over the numbers, a column "Время ПК"
// after "Дата", the period of the PC's time the entries were chosen by
// (row 6), and exactly one numbered row per entry.
enum class Kind { RelayJournal, Archive };

struct Input
{
    Kind kind = Kind::RelayJournal;
    std::optional<QString> date; // "date": see dateText()
    std::optional<QString> deviceName; // "pu1"
    std::optional<double> factoryNumber; // "pu2", written as a number
    std::optional<QString> softwareVersion; // "pu3"
    QString period; // the archive's: "с 01.03.2024 по 05.03.2024"
    // Entry n - 1 fills journal row n (spreadsheet row 9 + n). The relay's
    // journal has journalRows numbered rows, or one per entry when there are
    // more; the rows no entry fills stay empty, and so does every cell of an
    // entry whose text is empty.
    QList<JournalEntry> journal;
    QString title = QStringLiteral("Журнал событий"); // above the table
};

constexpr int journalRows = 100;

// "dd.MM.yyyy HH:mm:ss", or only the date when the time reads 00:00:00.
QString dateText(const QDateTime &moment);

XlsWorkbook build(const Input &input);

} // namespace JournalReportLayout

} // namespace miv
