#include "report/JournalReportLayout.h"

#include <algorithm>

namespace miv {

namespace JournalReportLayout {
namespace {

// Columns A-D and the sheet rows of the layout, counted from 0.
constexpr int colA = 0, colB = 1, colC = 2;
constexpr int dateRow = 0; // row 1
constexpr int deviceRow = 2; // row 3
constexpr int factoryNumberRow = 3; // row 4
constexpr int versionRow = 4; // row 5
constexpr int periodRow = 5; // row 6, the archive's
constexpr int titleRow = 7; // row 8
constexpr int headingRow = 8; // row 9
constexpr int firstJournalRow = 9; // row 10

void textOrBlank(XlsSheet &sheet, int row, int column, const std::optional<QString> &text,
                 int format)
{
    if (text)
        sheet.setText(row, column, *text, format);
    else
        sheet.setBlank(row, column, format);
}

// A journal cell with no text is an empty cell, as a tag without a value
// becomes, rather than a text cell holding nothing.
std::optional<QString> nonEmpty(const QString &text)
{
    return text.isEmpty() ? std::nullopt : std::optional(text);
}

// A column of the journal table: its heading, its width (in 1/256 of a
// character) and the entry's text it shows; the first column numbers the rows.
struct Column
{
    QString heading;
    int width;
    QString JournalEntry::*text;
};

QList<Column> columnsOf(Kind kind)
{
    if (kind == Kind::Archive)
        return {{QStringLiteral("№ п/п"), 1300, nullptr},
                {QStringLiteral("Дата"), 4827, &JournalEntry::date},
                {QStringLiteral("Время ПК"), 4827, &JournalEntry::pcTime},
                {QStringLiteral("Событие"), 11000, &JournalEntry::event},
                {QStringLiteral("Информация"), 15500, &JournalEntry::details}};
    return {{QStringLiteral("n/n"), 950, nullptr},
            {QStringLiteral("Дата"), 4827, &JournalEntry::date},
            {QStringLiteral("Событие"), 13860, &JournalEntry::event},
            {QStringLiteral("Информация"), 17590, &JournalEntry::details}};
}

} // namespace

QString dateText(const QDateTime &moment)
{
    const QString date = moment.toString(QStringLiteral("dd.MM.yyyy"));
    if (moment.time() == QTime(0, 0))
        return date;
    return date + u' ' + moment.toString(QStringLiteral("HH:mm:ss"));
}

XlsWorkbook build(const Input &input)
{
    XlsWorkbook book(XlsFont{QStringLiteral("Arial Cyr"), 10, false, 204});
    const int boldFont = book.addFont(XlsFont{QStringLiteral("Arial Cyr"), 10, true, 204});

    using H = XlsCellFormat::Horizontal;
    using V = XlsCellFormat::Vertical;
    XlsCellFormat plain;
    plain.wrap = true;
    XlsCellFormat value = plain;
    value.horizontal = H::Left;
    value.indent = 1;
    XlsCellFormat title;
    title.font = boldFont;
    title.horizontal = H::Center;
    title.vertical = V::Center;
    title.withThinBorders();
    XlsCellFormat heading = title;
    heading.font = 0;
    heading.wrap = true;
    XlsCellFormat body;
    body.vertical = V::Center;
    body.wrap = true;
    body.withThinBorders();
    const int plainFormat = book.addFormat(plain);
    const int valueFormat = book.addFormat(value);
    const int titleFormat = book.addFormat(title);
    const int headingFormat = book.addFormat(heading);
    const int bodyFormat = book.addFormat(body);

    XlsSheet &sheet = book.addSheet(QStringLiteral("Лист1"));
    textOrBlank(sheet, dateRow, colA, input.date, plainFormat);
    sheet.setText(deviceRow, colA, QStringLiteral("Устройство"), plainFormat);
    textOrBlank(sheet, deviceRow, colC, input.deviceName, valueFormat);
    sheet.setText(factoryNumberRow, colA, QStringLiteral("Заводской №"), plainFormat);
    if (input.factoryNumber)
        sheet.setNumber(factoryNumberRow, colC, *input.factoryNumber, valueFormat);
    else
        sheet.setBlank(factoryNumberRow, colC, valueFormat);
    sheet.setText(versionRow, colA, QStringLiteral("Версия ПО "), plainFormat);
    textOrBlank(sheet, versionRow, colC, input.softwareVersion, valueFormat);
    QList<int> labelRows{dateRow, deviceRow, factoryNumberRow, versionRow};
    if (input.kind == Kind::Archive) {
        sheet.setText(periodRow, colA, QStringLiteral("Период (время ПК)"), plainFormat);
        sheet.setText(periodRow, colC, input.period, valueFormat);
        labelRows << periodRow;
    }
    for (int row : labelRows)
        sheet.merge({row, row, colA, colB});

    const QList<Column> columns = columnsOf(input.kind);
    const int lastColumn = int(columns.size()) - 1;
    sheet.setText(titleRow, colA, input.title, titleFormat);
    sheet.merge({titleRow, titleRow, colA, lastColumn});
    for (int column = colA; column <= lastColumn; ++column)
        sheet.setText(headingRow, column, columns[column].heading, headingFormat);

    // The relay's journal keeps the template's numbered rows; the archive
    // numbers only the entries it holds.
    const int entries = int(input.journal.size());
    const int rows = input.kind == Kind::Archive ? entries : std::max(journalRows, entries);
    // Row 109 for the relay's own journal; the headings' for an archive of no entry.
    const int lastRow = std::max(headingRow, firstJournalRow + rows - 1);
    for (int n = 1; n <= rows; ++n) {
        const int row = firstJournalRow + n - 1;
        sheet.setNumber(row, colA, n, bodyFormat);
        const JournalEntry entry = n <= entries ? input.journal.at(n - 1) : JournalEntry();
        for (int column = colB; column <= lastColumn; ++column)
            textOrBlank(sheet, row, column, nonEmpty(entry.*columns[column].text), bodyFormat);
    }

    for (int column = colA; column <= lastColumn; ++column)
        sheet.setColumnWidth(column, columns[column].width);
    for (int row = 0; row <= lastRow; ++row)
        sheet.setRowHeight(row, row < titleRow ? 15.75 : 30);

    XlsPageSetup &page = sheet.pageSetup();
    page.paperSize = XlsPageSetup::paperA4;
    page.orientation = XlsPageSetup::Orientation::Landscape;
    page.scalePercent = 100;
    page.leftCm = page.rightCm = 0.5;
    page.topCm = 1;
    page.bottomCm = 1.5;
    page.footer = QStringLiteral("Страница &P из &N");

    book.addSheet(QStringLiteral("Лист2"));
    book.addSheet(QStringLiteral("Лист3"));
    book.addDefinedName({QStringLiteral("__MAIN__"), 0, {0, lastRow, colA, lastColumn}});
    return book;
}

} // namespace JournalReportLayout

} // namespace miv
