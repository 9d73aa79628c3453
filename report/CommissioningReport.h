#pragma once

#include "report/SettingsSheet.h"
#include "report/XlsWorkbook.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv {

// The commissioning report: what a visit to a relay hands over. For every
// setting the value approved for the relay, the value found on arrival and
// the value left on departure, the rows the visit changed and the rows left
// otherwise than approved marked; the relay's identity, tag and software
// version; the journal entries recorded during the visit; lines for who set
// the relay up and who checked it. The document is what every format shows;
// the workbook and CSV are made here with the settings sheet's writers'
// parts, the PDF by CommissioningReportPdf (it needs QtGui).
namespace CommissioningReport {

inline const QString title = QStringLiteral("Протокол наладки реле");
inline const QString journalTitle = QStringLiteral("События за время наладки");
inline const QString noJournal = QStringLiteral("Событий не записано");
inline const QString changedMark = QStringLiteral("изменено");
inline const QString notApprovedMark = QStringLiteral("не как утверждено");

struct Row
{
    int row = 0; // grid row 0-31; -1 for an item of the timer schedule
    QString name;
    // The values as the grid shows them, a row switched off as the settings
    // sheet does, "[фукнк. откл.] (VALUE)".
    QString approved; // empty when nothing was approved
    QString asFound;
    QString asLeft;
    bool changed = false; // as left differs from as found
    bool differsFromApproval = false; // as left differs from the approved value

    // The row's number as the grid, the relay's menu and the settings sheet
    // show it, "01" to "32"; none for the timer schedule.
    QString menuNumber() const
    {
        return row < 0 ? QString() : QStringLiteral("%1").arg(row + 1, 2, 10, QLatin1Char('0'));
    }
};

struct Document
{
    QString title;
    QList<SettingsSheet::Field> header; // the relay, its tag, version, the visit
    QList<Row> rows;
    QList<QStringList> journal; // the entries' fields, as journalHeadings() names them
    QStringList signatures; // "Настроил", "Проверил"
};

// "№", "Параметр", "Утверждено", "До наладки", "После наладки", "Отметки".
QStringList rowHeadings();
// The row's cells in the order of rowHeadings(); the marks joined by ", ".
QStringList rowCells(const Row &row);
// The journal table's headings: "Время ПК", "Дата события", "Событие", "Информация".
QStringList journalHeadings();

// UTF-8 CSV with a byte order mark, fields separated by ";", quoted as RFC
// 4180 asks, lines ended by CR LF.
QByteArray csvText(const Document &document);
// One sheet of an Excel 97 workbook, A4 landscape, the page numbers in the
// footer; the values that are numbers stored as numbers, as the settings
// sheet's workbook stores them.
XlsWorkbook workbook(const Document &document);

// Each written through a temporary file beside `path` that replaces an
// existing file only once complete. False with `error` naming the file.
bool writeCsv(const QString &path, const Document &document, QString *error = nullptr);
bool writeWorkbook(const QString &path, const Document &document, QString *error = nullptr);

} // namespace CommissioningReport

} // namespace miv
