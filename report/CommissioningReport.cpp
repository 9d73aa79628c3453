#include "report/CommissioningReport.h"

#include "core/FileReplacement.h"
#include "report/CsvLine.h"

#include <algorithm>
#include <array>

namespace miv {

namespace CommissioningReport {

QStringList rowHeadings()
{
    return {QStringLiteral("№"),
            QStringLiteral("Параметр"),
            QStringLiteral("Утверждено"),
            QStringLiteral("До наладки"),
            QStringLiteral("После наладки"),
            QStringLiteral("Отметки")};
}

QStringList rowCells(const Row &row)
{
    QStringList marks;
    if (row.changed)
        marks << changedMark;
    if (row.differsFromApproval)
        marks << notApprovedMark;
    return {row.menuNumber(), row.name,   row.approved,
            row.asFound,      row.asLeft, marks.join(QStringLiteral(", "))};
}

QStringList journalHeadings()
{
    return {QStringLiteral("Время ПК"), QStringLiteral("Дата события"), QStringLiteral("Событие"),
            QStringLiteral("Информация")};
}

QByteArray csvText(const Document &document)
{
    QByteArray out("\xEF\xBB\xBF");
    const auto line = [&out](const QStringList &fields) { out += csvLine(fields, u';'); };
    line({document.title});
    for (const SettingsSheet::Field &field : document.header)
        line({field.label, field.value});
    out += "\r\n";
    line(rowHeadings());
    for (const Row &row : document.rows)
        line(rowCells(row));
    out += "\r\n";
    line({journalTitle});
    if (document.journal.isEmpty())
        line({noJournal});
    else
        line(journalHeadings());
    for (const QStringList &entry : document.journal)
        line(entry);
    out += "\r\n";
    for (const QString &role : document.signatures) {
        QStringList fields{role};
        for (const QString &part : SettingsSheet::signatureParts())
            fields << part + u':';
        line(fields);
    }
    return out;
}

namespace {

constexpr int columnCount = 6;
constexpr int letterWidth = 243, padding = 256, narrowest = 4, widest = 60;

} // namespace

XlsWorkbook workbook(const Document &document)
{
    XlsWorkbook book(XlsFont{QStringLiteral("Arial"), 10, false, 204});
    XlsSheet &sheet = book.addSheet(QStringLiteral("Протокол"));
    const int bold = book.addFont(XlsFont{QStringLiteral("Arial"), 10, true, 204});
    const int titleFont = book.addFont(XlsFont{QStringLiteral("Arial"), 12, true, 204});
    XlsCellFormat plainFormat;
    plainFormat.vertical = XlsCellFormat::Vertical::Center;
    XlsCellFormat titleFormat = plainFormat;
    titleFormat.font = titleFont;
    XlsCellFormat cellFormat = plainFormat;
    cellFormat.withThinBorders();
    XlsCellFormat headingFormat = cellFormat;
    headingFormat.font = bold;
    headingFormat.horizontal = XlsCellFormat::Horizontal::Center;
    XlsCellFormat markedFormat = cellFormat;
    markedFormat.font = bold;
    XlsCellFormat lineFormat = plainFormat;
    lineFormat.borderBottom = true;
    const int plain = book.addFormat(plainFormat);
    const int titleStyle = book.addFormat(titleFormat);
    const int cell = book.addFormat(cellFormat);
    const int heading = book.addFormat(headingFormat);
    const int marked = book.addFormat(markedFormat);
    const int underline = book.addFormat(lineFormat);

    std::array<int, columnCount> widths{};
    widths.fill(narrowest);
    int row = 0;
    const auto put = [&](int column, const QString &text, int format) {
        sheet.setText(row, column, text, format);
        widths[size_t(column)] = std::max(widths[size_t(column)], int(text.size()));
    };
    // A value as the settings sheet keeps it: a number of a grid row as a
    // number, so that the workbook can reckon with it; a row switched off, a
    // switch or a time mark as its text.
    const auto putValue = [&](int column, bool gridRow, const QString &text, int format) {
        const std::optional<double> number =
                gridRow ? SettingsSheet::numberOf(text, u',') : std::nullopt;
        if (!number)
            return put(column, text, format);
        sheet.setNumber(row, column, *number, format);
        widths[size_t(column)] = std::max(widths[size_t(column)], int(text.size()));
    };
    const auto merged = [&](int first, int last, const QString &text, int format) {
        sheet.setText(row, first, text, format);
        sheet.merge({row, row, first, last});
    };

    merged(0, columnCount - 1, document.title, titleStyle);
    row += 2;
    for (const SettingsSheet::Field &field : document.header) {
        merged(0, 1, field.label, plain);
        merged(2, columnCount - 1, field.value, plain);
        ++row;
    }
    ++row;
    const QStringList headings = rowHeadings();
    for (int column = 0; column < columnCount; ++column)
        put(column, headings[column], heading);
    ++row;
    for (const Row &line : document.rows) {
        const QStringList cells = rowCells(line);
        const bool markedRow = line.changed || line.differsFromApproval;
        // The grid's number as a number, as the settings sheet's workbook keeps it.
        if (line.row >= 0)
            sheet.setNumber(row, 0, line.row + 1, cell);
        else
            put(0, QString(), cell);
        const int format = markedRow ? marked : cell;
        put(1, cells[1], format);
        for (int column = 2; column <= 4; ++column)
            putValue(column, line.row >= 0, cells[column], format);
        put(5, cells[5], format);
        ++row;
    }
    ++row;
    merged(0, columnCount - 1, journalTitle, heading);
    ++row;
    if (document.journal.isEmpty()) {
        merged(0, columnCount - 1, noJournal, plain);
        ++row;
    } else {
        const QStringList journalColumns = journalHeadings();
        // Time, relay date, event over two columns, details over two.
        const int first[] = {0, 1, 2, 4}, last[] = {0, 1, 3, 5};
        for (int k = 0; k < 4; ++k)
            merged(first[k], last[k], journalColumns[k], heading);
        ++row;
        for (const QStringList &entry : document.journal) {
            for (int k = 0; k < 4; ++k)
                merged(first[k], last[k], entry.value(k), cell);
            ++row;
        }
    }
    for (const QString &role : document.signatures) {
        ++row;
        merged(0, 1, role, heading);
        for (const QString &part : SettingsSheet::signatureParts()) {
            put(2, part, plain);
            sheet.setBlank(row, 3, underline);
            ++row;
        }
    }
    for (int column = 0; column < columnCount; ++column)
        sheet.setColumnWidth(column,
                             std::min(widths[size_t(column)], widest) * letterWidth + padding);
    XlsPageSetup &page = sheet.pageSetup();
    page.paperSize = XlsPageSetup::paperA4;
    page.orientation = XlsPageSetup::Orientation::Landscape;
    page.leftCm = page.rightCm = 1;
    page.topCm = 1.5;
    page.bottomCm = 2;
    page.footer = QStringLiteral("Страница &P из &N");
    return book;
}

bool writeCsv(const QString &path, const Document &document, QString *error)
{
    return replaceFile(path, csvText(document), error);
}

bool writeWorkbook(const QString &path, const Document &document, QString *error)
{
    return workbook(document).save(path, error);
}

} // namespace CommissioningReport

} // namespace miv
