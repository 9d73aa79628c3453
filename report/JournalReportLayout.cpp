#include "report/JournalReportLayout.h"

#include <algorithm>

namespace miv {

namespace JournalReportLayout {
namespace {

// Columns A-D and the sheet rows of the layout, counted from 0.
constexpr int colA = 0, colB = 1, colC = 2, colD = 3;
constexpr int dateRow = 0; // row 1
constexpr int deviceRow = 2; // row 3
constexpr int factoryNumberRow = 3; // row 4
constexpr int versionRow = 4; // row 5
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
    for (int row : {dateRow, deviceRow, factoryNumberRow, versionRow})
        sheet.merge({row, row, colA, colB});

    sheet.setText(titleRow, colA, input.title, titleFormat);
    sheet.merge({titleRow, titleRow, colA, colD});
    const QString headings[] = {QStringLiteral("n/n"), QStringLiteral("Дата"),
                                QStringLiteral("Событие"), QStringLiteral("Информация")};
    for (int column = colA; column <= colD; ++column)
        sheet.setText(headingRow, column, headings[column], headingFormat);

    const int rows = std::max(journalRows, int(input.journal.size()));
    const int lastRow = firstJournalRow + rows - 1; // row 109 for the relay's own journal
    for (int n = 1; n <= rows; ++n) {
        const int row = firstJournalRow + n - 1;
        sheet.setNumber(row, colA, n, bodyFormat);
        const JournalEntry entry =
                n <= input.journal.size() ? input.journal.at(n - 1) : JournalEntry();
        textOrBlank(sheet, row, colB, nonEmpty(entry.date), bodyFormat);
        textOrBlank(sheet, row, colC, nonEmpty(entry.event), bodyFormat);
        textOrBlank(sheet, row, colD, nonEmpty(entry.details), bodyFormat);
    }

    const int widths[] = {950, 4827, 13860, 17590};
    for (int column = colA; column <= colD; ++column)
        sheet.setColumnWidth(column, widths[column]);
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
    book.addDefinedName({QStringLiteral("__MAIN__"), 0, {0, lastRow, colA, colD}});
    return book;
}

} // namespace JournalReportLayout

} // namespace miv
