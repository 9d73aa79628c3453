#pragma once

#include "report/XlsWorkbook.h"

#include <optional>
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv {

struct RelaySession;

// The settings sheet: a commissioning record of one relay's settings, from a
// relay as read or from a settings file held with no relay. The document is
// what every format shows; the workbook and CSV are made here, the PDF by
// SettingsSheetPdf (it needs QtGui).
namespace SettingsSheet {

inline const QString title = QStringLiteral("Лист настроек");

struct Field
{
    QString label;
    QString value;
};

// One parameter row of the grid.
struct ParameterLine
{
    int row = 0;
    QString name;
    QString value; // as the grid shows it; a disabled row "[фукнк. откл.] (VALUE)",
                   // with the value it keeps aside
    QString range; // "1 … 200", "вкл. / откл."; empty for a row without limits
    std::optional<double> number = std::nullopt; // the value where it is a number

    // The row's number as the grid and the relay's menu show it: "01" to "33".
    QString menuNumber() const
    {
        return QStringLiteral("%1").arg(row + 1, 2, 10, QLatin1Char('0'));
    }
};

struct Document
{
    QString title;
    QList<Field> header; // the date and time, then the relay or the file
    QList<ParameterLine> parameters; // rows 0-32 (never the password)
    QList<Field> timer; // type 6: the five marks, the six intervals, "Таймер"
    QStringList signatures; // "Настроил", "Проверил": name, signature, date below each
};

// Column headings of the parameter table and the title of the timer part.
QStringList parameterHeadings();
inline const QString timerTitle = QStringLiteral("Управление по таймеру");
// What each signature line asks for, in order.
QStringList signatureParts();

// A row switched off as the sheet shows it: "[фукнк. откл.] (VALUE)", with
// the value the row keeps.
QString disabledValueText(const QString &kept);
// A value text the grid writes ("25,0", "-3", by `decimalSeparator` or a
// point) as the number the workbook stores; nullopt for any other text.
std::optional<double> numberOf(const QString &text, QChar decimalSeparator);

// Whether the session holds what a sheet is made of: a relay's
// configuration read into the grid, or a settings file.
bool available(const RelaySession &session);

// The document of the session at `moment`: the relay's type name, factory
// number, software version, address and `portName`, or the file's name.
Document build(const RelaySession &session, const QString &portName, const QDateTime &moment);

// The document as UTF-8 CSV with a byte order mark, fields separated by ";"
// (the values hold commas), quoted as RFC 4180 asks, lines ended by CR LF.
QByteArray csvText(const Document &document);

// The document on one sheet of an Excel 97 workbook: header rows merged,
// the tables with thin borders, columns sized to their text, A4 with the
// page numbers in the footer.
XlsWorkbook workbook(const Document &document);

// Each written through a temporary file beside `path` that replaces an
// existing file only once complete. False with `error` naming the file.
bool writeCsv(const QString &path, const Document &document, QString *error = nullptr);
bool writeWorkbook(const QString &path, const Document &document, QString *error = nullptr);

} // namespace SettingsSheet

} // namespace miv
