#include "report/SettingsSheet.h"

#include <algorithm>
#include <array>

namespace miv {

namespace SettingsSheet {
namespace {

constexpr int colA = 0, colB = 1, colC = 2, colD = 3, columnCount = 4;
// A column is as wide as its longest text, within these bounds (Arial's
// Cyrillic letters are a little narrower than its "0", the unit of a
// width); the signature lines need some room. Sized so, the four columns of
// a sheet fit the width of an A4 page.
constexpr int letterWidth = 243, padding = 256;
constexpr int narrowest = 4, widest = 80, signatureLine = 16;

// Lays the document out row by row and remembers how wide each column's
// texts are; merged cells do not widen a column.
class Layout
{
public:
    explicit Layout(XlsWorkbook &book) : m_sheet(book.addSheet(QStringLiteral("Лист настроек")))
    {
        const int bold = book.addFont(XlsFont{QStringLiteral("Arial"), 10, true, 204});
        const int titleFont = book.addFont(XlsFont{QStringLiteral("Arial"), 12, true, 204});
        XlsCellFormat plain;
        plain.vertical = XlsCellFormat::Vertical::Center;
        XlsCellFormat title = plain;
        title.font = titleFont;
        XlsCellFormat cell = plain;
        cell.withThinBorders();
        XlsCellFormat heading = cell;
        heading.font = bold;
        heading.horizontal = XlsCellFormat::Horizontal::Center;
        XlsCellFormat number = cell;
        number.horizontal = XlsCellFormat::Horizontal::Center;
        XlsCellFormat role = plain;
        role.font = bold;
        XlsCellFormat line = plain;
        line.borderBottom = true;
        m_plain = book.addFormat(plain);
        m_title = book.addFormat(title);
        m_cell = book.addFormat(cell);
        m_heading = book.addFormat(heading);
        m_number = book.addFormat(number);
        m_role = book.addFormat(role);
        m_line = book.addFormat(line);
        m_widest.fill(narrowest);
    }

    XlsSheet &sheet() { return m_sheet; }

    void text(int column, const QString &value, int format)
    {
        m_sheet.setText(m_row, column, value, format);
        widen(column, value);
    }
    void number(int column, double value, int format, const QString &shown)
    {
        m_sheet.setNumber(m_row, column, value, format);
        widen(column, shown);
    }
    void blank(int column, int format) { m_sheet.setBlank(m_row, column, format); }
    // A text over columns first..last of the current row.
    void merged(int first, int last, const QString &value, int format)
    {
        m_sheet.setText(m_row, first, value, format);
        m_sheet.merge({m_row, m_row, first, last});
    }
    void next(int rows = 1) { m_row += rows; }

    void fields(const QList<Field> &fields, int format)
    {
        for (const Field &field : fields) {
            merged(colA, colB, field.label, format);
            merged(colC, colD, field.value, format);
            next();
        }
    }

    void sizeColumns()
    {
        m_widest[colD] = std::max(m_widest[colD], signatureLine);
        for (int column = 0; column < columnCount; ++column)
            m_sheet.setColumnWidth(
                    column, std::min(m_widest[size_t(column)], widest) * letterWidth + padding);
    }

    int m_plain = 0, m_title = 0, m_cell = 0, m_heading = 0, m_number = 0, m_role = 0, m_line = 0;

private:
    void widen(int column, const QString &value)
    {
        m_widest[size_t(column)] = std::max(m_widest[size_t(column)], int(value.size()));
    }

    XlsSheet &m_sheet;
    int m_row = 0;
    std::array<int, columnCount> m_widest{};
};

void parameterTable(Layout &layout, const Document &document)
{
    const QStringList headings = parameterHeadings();
    for (int column = colA; column <= colD; ++column)
        layout.text(column, headings[column], layout.m_heading);
    layout.next();
    for (const ParameterLine &line : document.parameters) {
        layout.number(colA, line.row + 1, layout.m_number, line.menuNumber());
        layout.text(colB, line.name, layout.m_cell);
        // A number as a number, so that the workbook can reckon with it.
        if (line.number)
            layout.number(colC, *line.number, layout.m_cell, line.value);
        else
            layout.text(colC, line.value, layout.m_cell);
        layout.text(colD, line.range, layout.m_cell);
        layout.next();
    }
}

} // namespace

XlsWorkbook workbook(const Document &document)
{
    XlsWorkbook book(XlsFont{QStringLiteral("Arial"), 10, false, 204});
    Layout layout(book);
    layout.merged(colA, colD, document.title, layout.m_title);
    layout.next();
    layout.fields(document.header, layout.m_plain);
    layout.next();
    parameterTable(layout, document);
    if (!document.timer.isEmpty()) {
        layout.next();
        layout.merged(colA, colD, timerTitle, layout.m_heading);
        layout.next();
        layout.fields(document.timer, layout.m_cell);
    }
    for (const QString &role : document.signatures) {
        layout.next();
        layout.merged(colA, colB, role, layout.m_role);
        for (const QString &part : signatureParts()) {
            layout.text(colC, part, layout.m_plain);
            layout.blank(colD, layout.m_line);
            layout.next();
        }
    }
    layout.sizeColumns();

    XlsPageSetup &page = layout.sheet().pageSetup();
    page.paperSize = XlsPageSetup::paperA4;
    page.orientation = XlsPageSetup::Orientation::Portrait;
    page.leftCm = page.rightCm = 1;
    page.topCm = 1.5;
    page.bottomCm = 2;
    page.footer = QStringLiteral("Страница &P из &N");
    return book;
}

bool writeWorkbook(const QString &path, const Document &document, QString *error)
{
    return workbook(document).save(path, error);
}

} // namespace SettingsSheet

} // namespace miv
