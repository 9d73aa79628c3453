#pragma once

#include "report/JournalReportLayout.h"

#include <QByteArray>
#include <QDateTime>
#include <functional>
#include <QString>

namespace miv {

class JournalGrid;
class Operator;
struct CurrentDevice;
struct RelaySession;

// The report of "Отчёт": the identified relay and its journal as the journal
// grid shows it, written as an Excel 97-2003 workbook or as a CSV file.
namespace JournalReport {

// What the save dialog offers; a name without an extension gets ".xls".
inline const QString filter = QStringLiteral("Excel File (*.xls);;CSV (*.csv)");
inline const QString defaultSuffix = QStringLiteral("xls");

enum class Format { Xls, Csv };
// ".csv" in any case gives a CSV file; every other name a workbook.
Format formatOf(const QString &path);

// The workbook's heading: "date" from `moment`, "pu1" to "pu3" the relay's
// name, factory number and software version (as the identification shows it).
JournalReportLayout::Input reportHeading(const QString &deviceName, quint16 factoryNumber,
                                         quint16 softwareVersion, const QDateTime &moment);

// The workbook's values: "date" from `moment`, "pu1" the device name, "pu2"
// the factory number (a number), "pu3" the software-version text, and one
// journal row for every row of the grid (columns 1 to 3).
JournalReportLayout::Input reportInput(const CurrentDevice &device, const JournalGrid &journal,
                                       const QDateTime &moment);

// The journal as UTF-8 CSV (with a byte order mark, so that spreadsheets take
// it as UTF-8): the header "Номер,Дата события,Событие,Информация", then one
// line per grid row that holds an event; fields quoted as RFC 4180 asks
// (a field with a comma, a quote or a line break in double quotes, quotes
// doubled), lines ended by CR LF.
QByteArray csvText(const JournalGrid &journal);

// The workbook and the CSV file, each through a temporary file beside
// `path` as write() does.
bool writeWorkbook(const QString &path, const CurrentDevice &device, const JournalGrid &journal,
                   const QDateTime &moment, QString *error = nullptr);
bool writeCsv(const QString &path, const JournalGrid &journal, QString *error = nullptr);

// Writes the report in the format its name asks for, through a temporary
// file beside `path` that replaces an existing file only once the new one is
// complete: a failed write leaves the old file as it was. False with `error`
// naming the file and the reason.
bool write(const QString &path, const CurrentDevice &device, const JournalGrid &journal,
           const QDateTime &moment, QString *error = nullptr);

struct Outcome
{
    enum class Kind {
        Cancelled, // the save dialog was cancelled: nothing was written
        Failed, // the file could not be written; the operator was told
        Written,
    };
    Kind kind = Kind::Cancelled;
    QString path; // the file chosen
    bool open = false; // written, and the operator asked to open it
};

// A report's whole action below the window: the save dialog offering
// `fileFilter`, the file written by `writeFile` (false with the reason, which the
// operator is shown), then the question "Формирование файла завершено" /
// "Файл: "..."" / "Открыть файл?" (Yes, No). Opening the file is the
// window's.
using ReportWriter = std::function<bool(const QString &path, QString *error)>;
Outcome saveReport(Operator &op, const QString &fileFilter, const QString &suffix,
                   const ReportWriter &writeFile);

// The action "Отчёт": the journal's report written with the current local
// time, as saveReport() does.
Outcome makeReport(const RelaySession &session, Operator &op);

// The question asked after writing `path`.
QString finishedQuestion(const QString &path);

} // namespace JournalReport

} // namespace miv
