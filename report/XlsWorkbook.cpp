#include "report/XlsWorkbook.h"

#include "core/FileReplacement.h"
#include "report/CompoundFile.h"

#include <cmath>
#include <cstring>
#include <QHash>
#include <QtEndian>

namespace miv {

namespace {

// The largest record body BIFF8 allows; longer data goes on in CONTINUE records.
constexpr int maxRecordData = 8224;
constexpr int maxRows = 65536;
constexpr int maxColumns = 256;
constexpr int styleXfCount = 15; // XF 0-14 are styles, XF 15 on are cell formats
constexpr double cmPerInch = 2.54;
constexpr double headerFooterMarginInches = 0.3;
constexpr quint16 automaticColour = 64;

enum RecordId : quint16 {
    BOF = 0x0809,
    EOFRecord = 0x000A,
    CODEPAGE = 0x0042,
    WINDOW1 = 0x003D,
    FONT = 0x0031,
    XF = 0x00E0,
    STYLE = 0x0293,
    BOUNDSHEET = 0x0085,
    SUPBOOK = 0x01AE,
    EXTERNSHEET = 0x0017,
    NAME = 0x0018,
    SST = 0x00FC,
    CONTINUE = 0x003C,
    EXTSST = 0x00FF,
    HEADER = 0x0014,
    FOOTER = 0x0015,
    LEFTMARGIN = 0x0026,
    RIGHTMARGIN = 0x0027,
    TOPMARGIN = 0x0028,
    BOTTOMMARGIN = 0x0029,
    SETUP = 0x00A1,
    DEFCOLWIDTH = 0x0055,
    COLINFO = 0x007D,
    DIMENSIONS = 0x0200,
    ROW = 0x0208,
    LABELSST = 0x00FD,
    NUMBER = 0x0203,
    BLANK = 0x0201,
    WINDOW2 = 0x023E,
    MERGEDCELLS = 0x00E5,
};

// A record body under construction, little-endian throughout.
struct Body
{
    QByteArray bytes;

    Body &u8(int value)
    {
        bytes.append(char(quint8(value)));
        return *this;
    }
    Body &u16(int value)
    {
        char raw[2];
        qToLittleEndian(quint16(value), raw);
        bytes.append(raw, 2);
        return *this;
    }
    Body &u32(quint32 value)
    {
        char raw[4];
        qToLittleEndian(value, raw);
        bytes.append(raw, 4);
        return *this;
    }
    Body &f64(double value)
    {
        quint64 bits;
        std::memcpy(&bits, &value, sizeof bits);
        char raw[8];
        qToLittleEndian(bits, raw);
        bytes.append(raw, 8);
        return *this;
    }
    Body &utf16(QStringView text)
    {
        for (QChar c : text)
            u16(c.unicode());
        return *this;
    }
    // A string with an 8-bit length, always stored as UTF-16 (option byte 1).
    Body &shortString(const QString &text) { return u8(int(text.size())).u8(1).utf16(text); }
    // A string with a 16-bit length, always stored as UTF-16.
    Body &longString(const QString &text) { return u16(int(text.size())).u8(1).utf16(text); }
};

void putRecord(QByteArray &stream, quint16 id, const QByteArray &body)
{
    Q_ASSERT(body.size() <= maxRecordData);
    Body header;
    header.u16(id).u16(int(body.size()));
    stream += header.bytes;
    stream += body;
}

void putRecord(QByteArray &stream, quint16 id, const Body &body)
{
    putRecord(stream, id, body.bytes);
}

Body bof(int kind)
{
    // BIFF8, then the build and year Excel 97 writes, the file history flags, the lowest version.
    return std::move(
            Body().u16(0x0600).u16(kind).u16(0x0DBB).u16(0x07CC).u32(0x00000041).u32(0x00000006));
}

Body font(const XlsFont &f)
{
    Body body;
    // Bold twice over: the flag bit that older readers take and the weight.
    body.u16(int(std::lround(f.heightPoints * 20)))
            .u16(f.bold ? 0x0001 : 0)
            .u16(0x7FFF)
            .u16(f.bold ? 700 : 400);
    body.u16(0).u8(0).u8(0).u8(f.charset).u8(0).shortString(f.name);
    return body;
}

// An XF record for a cell format (XF 15 on) whose font record index is `fontIndex`.
Body cellXf(const XlsCellFormat &f, int fontIndex)
{
    const int horizontal = int(f.horizontal); // General 0, Left 1, Center 2, Right 3
    const int vertical = int(f.vertical); // Top 0, Center 1, Bottom 2
    quint32 border = 0;
    quint32 borderColours = 0;
    if (f.borderLeft)
        border |= 1u | (quint32(automaticColour) << 16);
    if (f.borderRight)
        border |= (1u << 4) | (quint32(automaticColour) << 23);
    if (f.borderTop) {
        border |= 1u << 8;
        borderColours |= automaticColour;
    }
    if (f.borderBottom) {
        border |= 1u << 12;
        borderColours |= quint32(automaticColour) << 7;
    }
    Body body;
    body.u16(fontIndex).u16(0).u16(0x0001); // general number format, locked, parent style XF 0
    body.u8(horizontal | (f.wrap ? 0x08 : 0) | (vertical << 4)).u8(0).u8(f.indent & 0x0F);
    body.u8(0xF8); // font, alignment, borders, pattern and protection are the cell's own
    body.u32(border).u32(borderColours).u16(0x20C0); // no fill: window text on window background
    return body;
}

Body styleXf(int index)
{
    Body body;
    body.u16(0).u16(0).u16(0xFFF5); // font 0, general, locked, a style with no parent
    body.u8(0x20).u8(0).u8(0).u8(index == 0 ? 0x00 : 0xF4);
    body.u32(0).u32(0).u16(0x20C0);
    return body;
}

// The record index of a font: the file has no font 4, so fonts after the
// four copies of the default are numbered from 5.
int fontRecordIndex(int font)
{
    return font == 0 ? 0 : font + 4;
}

bool validRange(const XlsRange &r)
{
    return r.firstRow >= 0 && r.firstRow <= r.lastRow && r.lastRow < maxRows && r.firstColumn >= 0
            && r.firstColumn <= r.lastColumn && r.lastColumn < maxColumns;
}

bool overlap(const XlsRange &a, const XlsRange &b)
{
    return a.firstRow <= b.lastRow && b.firstRow <= a.lastRow && a.firstColumn <= b.lastColumn
            && b.firstColumn <= a.lastColumn;
}

// Letters, digits, "_" and "." after a letter or "_" ; spreadsheets refuse the rest.
bool validDefinedName(const QString &name)
{
    if (name.isEmpty() || name.size() > 255 || !(name.front().isLetter() || name.front() == u'_'))
        return false;
    for (QChar c : name)
        if (!(c.isLetterOrNumber() || c == u'_' || c == u'.'))
            return false;
    return true;
}

bool validSheetName(const QString &name)
{
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    if (name.isEmpty() || name.size() > 31 || name.startsWith(u'\'') || name.endsWith(u'\''))
        return false;
    for (QChar c : name)
        if (forbidden.contains(c))
            return false;
    return true;
}

// The shared string table: every distinct text once, in the order first met.
struct SharedStrings
{
    QStringList strings;
    QHash<QString, int> index;
    quint32 references = 0;

    int add(const QString &text)
    {
        ++references;
        auto it = index.constFind(text);
        if (it != index.constEnd())
            return *it;
        index.insert(text, int(strings.size()));
        strings.append(text);
        return int(strings.size()) - 1;
    }
};

// SST with its CONTINUE records, then EXTSST. A string's 3-byte header is
// never split; when its characters are, the CONTINUE record goes on with an
// option byte of its own before the rest of the characters.
void putSharedStrings(QByteArray &stream, const SharedStrings &sst)
{
    const int perBucket = qMax(8, int(sst.strings.size()) / 128 + 1);
    Body extsst;
    extsst.u16(perBucket);

    quint16 id = SST;
    Body record;
    record.u32(sst.references).u32(quint32(sst.strings.size()));
    auto flush = [&]() {
        putRecord(stream, id, record);
        id = CONTINUE;
        record = Body();
    };
    for (int i = 0; i < sst.strings.size(); ++i) {
        const QString &text = sst.strings.at(i);
        const int firstChunk = text.isEmpty() ? 3 : 5; // the header and one character
        if (record.bytes.size() + firstChunk > maxRecordData)
            flush();
        if (i % perBucket == 0) {
            const qsizetype inRecord = 4 + record.bytes.size(); // counted from the record header
            extsst.u32(quint32(stream.size() + inRecord)).u16(int(inRecord)).u16(0);
        }
        record.u16(int(text.size())).u8(1);
        qsizetype done = 0;
        while (true) {
            const qsizetype room = (maxRecordData - record.bytes.size()) / 2;
            const qsizetype take = qMin(room, text.size() - done);
            record.utf16(QStringView(text).mid(done, take));
            done += take;
            if (done == text.size())
                break;
            flush();
            record.u8(1);
        }
    }
    flush();
    putRecord(stream, EXTSST, extsst);
}

Body pageMargin(double centimetres)
{
    return std::move(Body().f64(centimetres / cmPerInch));
}

Body optionalString(const QString &text)
{
    Body body;
    if (!text.isEmpty())
        body.longString(text);
    return body;
}

// The cells as written: the sheet's own, plus blanks in the first cell's
// format for the rest of each merged range.
std::map<std::pair<int, int>, XlsSheet::Cell> writtenCells(const XlsSheet &sheet)
{
    std::map<std::pair<int, int>, XlsSheet::Cell> cells = sheet.cells();
    for (const XlsRange &r : sheet.merges()) {
        const auto first = cells.find({r.firstRow, r.firstColumn});
        const int format = first == cells.end() ? 0 : first->second.format;
        for (int row = r.firstRow; row <= r.lastRow; ++row)
            for (int column = r.firstColumn; column <= r.lastColumn; ++column)
                cells.try_emplace({row, column}, XlsSheet::Cell{std::monostate(), format});
    }
    return cells;
}

void putSheet(QByteArray &stream, const XlsSheet &sheet, bool first, SharedStrings &sst)
{
    putRecord(stream, BOF, bof(0x0010));
    const XlsPageSetup &page = sheet.pageSetup();
    putRecord(stream, HEADER, optionalString(page.header));
    putRecord(stream, FOOTER, optionalString(page.footer));
    putRecord(stream, LEFTMARGIN, pageMargin(page.leftCm));
    putRecord(stream, RIGHTMARGIN, pageMargin(page.rightCm));
    putRecord(stream, TOPMARGIN, pageMargin(page.topCm));
    putRecord(stream, BOTTOMMARGIN, pageMargin(page.bottomCm));
    Body setup;
    setup.u16(page.paperSize).u16(page.scalePercent).u16(1).u16(1).u16(1);
    // Flags: rows then columns, the orientation bit; fNoPls clear so that paper, scale and
    // orientation count.
    setup.u16(page.orientation == XlsPageSetup::Orientation::Portrait ? 0x0002 : 0x0000);
    setup.u16(600).u16(600).f64(headerFooterMarginInches).f64(headerFooterMarginInches).u16(1);
    putRecord(stream, SETUP, setup);

    putRecord(stream, DEFCOLWIDTH, Body().u16(8));
    for (const auto &[column, width] : sheet.columnWidths())
        putRecord(stream, COLINFO,
                  Body().u16(column).u16(column).u16(width).u16(styleXfCount).u16(0).u16(0));

    const auto cells = writtenCells(sheet);
    // Per row: the first and one past the last column with a cell.
    std::map<int, std::pair<int, int>> rows;
    for (const auto &[where, cell] : cells) {
        auto [it, added] = rows.try_emplace(where.first, where.second, where.second + 1);
        if (!added)
            it->second.second = where.second + 1;
    }
    Body dimensions;
    if (cells.empty()) {
        dimensions.u32(0).u32(0).u16(0).u16(0).u16(0);
    } else {
        int firstColumn = maxColumns;
        int endColumn = 0;
        for (const auto &[row, span] : rows) {
            firstColumn = qMin(firstColumn, span.first);
            endColumn = qMax(endColumn, span.second);
        }
        dimensions.u32(quint32(rows.begin()->first)).u32(quint32(rows.rbegin()->first + 1));
        dimensions.u16(firstColumn).u16(endColumn).u16(0);
    }
    putRecord(stream, DIMENSIONS, dimensions);
    for (const auto &[row, height] : sheet.rowHeights())
        rows.try_emplace(row, 0, 0);

    // Blocks of 32 rows: the ROW records, then the cells of those rows.
    auto block = rows.begin();
    while (block != rows.end()) {
        const int blockIndex = block->first / 32;
        auto end = block;
        while (end != rows.end() && end->first / 32 == blockIndex)
            ++end;
        for (auto it = block; it != end; ++it) {
            const auto height = sheet.rowHeights().find(it->first);
            const bool custom = height != sheet.rowHeights().end();
            Body row;
            row.u16(it->first).u16(it->second.first).u16(it->second.second);
            row.u16(custom ? int(std::lround(height->second * 20)) : 255)
                    .u16(0)
                    .u16(0); // 255 twips: the default height
            row.u16(custom ? 0x0140 : 0x0100).u16(styleXfCount);
            putRecord(stream, ROW, row);
        }
        const auto firstCell = cells.lower_bound({blockIndex * 32, 0});
        const auto endCell = cells.lower_bound({blockIndex * 32 + 32, 0});
        for (auto it = firstCell; it != endCell; ++it) {
            const auto &[where, cell] = *it;
            Body body;
            body.u16(where.first).u16(where.second).u16(styleXfCount + cell.format);
            if (const QString *text = std::get_if<QString>(&cell.value)) {
                putRecord(stream, LABELSST, body.u32(quint32(sst.add(*text))));
            } else if (const double *number = std::get_if<double>(&cell.value)) {
                putRecord(stream, NUMBER, body.f64(*number));
            } else {
                putRecord(stream, BLANK, body);
            }
        }
        block = end;
    }

    Body window;
    window.u16(first ? 0x06B6 : 0x00B6)
            .u16(0)
            .u16(0)
            .u16(automaticColour)
            .u16(0)
            .u16(0)
            .u16(0)
            .u16(0)
            .u16(0);
    putRecord(stream, WINDOW2, window);
    constexpr int mergesPerRecord = 1026;
    for (qsizetype start = 0; start < sheet.merges().size(); start += mergesPerRecord) {
        const qsizetype count = qMin<qsizetype>(mergesPerRecord, sheet.merges().size() - start);
        Body merged;
        merged.u16(int(count));
        for (qsizetype i = start; i < start + count; ++i) {
            const XlsRange &r = sheet.merges().at(i);
            merged.u16(r.firstRow).u16(r.lastRow).u16(r.firstColumn).u16(r.lastColumn);
        }
        putRecord(stream, MERGEDCELLS, merged);
    }
    putRecord(stream, EOFRecord, Body());
}

} // namespace

void XlsSheet::setText(int row, int column, const QString &text, int format)
{
    m_cells[{row, column}] = Cell{text, format};
}

void XlsSheet::setNumber(int row, int column, double number, int format)
{
    m_cells[{row, column}] = Cell{number, format};
}

void XlsSheet::setBlank(int row, int column, int format)
{
    m_cells[{row, column}] = Cell{std::monostate(), format};
}

XlsWorkbook::XlsWorkbook(const XlsFont &defaultFont)
{
    m_fonts.append(defaultFont);
    m_formats.append(XlsCellFormat());
}

int XlsWorkbook::addFont(const XlsFont &font)
{
    m_fonts.append(font);
    return int(m_fonts.size()) - 1;
}

int XlsWorkbook::addFormat(const XlsCellFormat &format)
{
    m_formats.append(format);
    return int(m_formats.size()) - 1;
}

XlsSheet &XlsWorkbook::addSheet(const QString &name)
{
    m_sheets.append(XlsSheet(name));
    return m_sheets.last();
}

QString XlsWorkbook::problem() const
{
    for (qsizetype i = 0; i < m_fonts.size(); ++i) {
        const XlsFont &f = m_fonts.at(i);
        // Ranges written as "not inside" so that NaN, which compares false, is refused too.
        if (f.name.isEmpty() || f.name.size() > 255
            || !(f.heightPoints >= 1 && f.heightPoints <= 409))
            return QStringLiteral("Шрифт %1: имя или размер вне допустимого").arg(i);
    }
    // Font records: four copies of the default, then the rest; the XF font field is 16 bits.
    if (m_formats.size() + styleXfCount > 4050)
        return QStringLiteral("Форматов ячеек больше 4035");
    for (qsizetype i = 0; i < m_formats.size(); ++i) {
        const XlsCellFormat &f = m_formats.at(i);
        if (f.font < 0 || f.font >= m_fonts.size() || f.indent < 0 || f.indent > 15)
            return QStringLiteral("Формат %1: нет такого шрифта или отступ не от 0 до 15").arg(i);
    }
    if (m_sheets.isEmpty())
        return QStringLiteral("В книге нет листов");
    for (qsizetype i = 0; i < m_sheets.size(); ++i) {
        const XlsSheet &sheet = m_sheets.at(i);
        if (!validSheetName(sheet.name()))
            return QStringLiteral("Недопустимое имя листа \"%1\"").arg(sheet.name());
        for (qsizetype j = 0; j < i; ++j)
            if (m_sheets.at(j).name().compare(sheet.name(), Qt::CaseInsensitive) == 0)
                return QStringLiteral("Два листа с именем \"%1\"").arg(sheet.name());
        const QString where = QStringLiteral("Лист \"%1\": ").arg(sheet.name());
        for (const auto &[cell, content] : sheet.cells()) {
            if (cell.first < 0 || cell.first >= maxRows || cell.second < 0
                || cell.second >= maxColumns)
                return where
                        + QStringLiteral("ячейка %1, %2 вне листа")
                                  .arg(cell.first)
                                  .arg(cell.second);
            if (content.format < 0 || content.format >= m_formats.size())
                return where
                        + QStringLiteral("ячейка %1, %2: нет формата %3")
                                  .arg(cell.first)
                                  .arg(cell.second)
                                  .arg(content.format);
            if (const QString *text = std::get_if<QString>(&content.value);
                text && text->size() > 32767)
                return where
                        + QStringLiteral("ячейка %1, %2: текст длиннее 32767 символов")
                                  .arg(cell.first)
                                  .arg(cell.second);
            if (const double *number = std::get_if<double>(&content.value);
                number && !std::isfinite(*number))
                return where
                        + QStringLiteral("ячейка %1, %2: число не конечно")
                                  .arg(cell.first)
                                  .arg(cell.second);
        }
        const QList<XlsRange> &merges = sheet.merges();
        qint64 mergedCells = 0;
        for (qsizetype m = 0; m < merges.size(); ++m) {
            const XlsRange &r = merges.at(m);
            if (!validRange(r))
                return where + QStringLiteral("объединение вне листа");
            for (qsizetype other = 0; other < m; ++other)
                if (overlap(r, merges.at(other)))
                    return where + QStringLiteral("объединения перекрываются");
            mergedCells += qint64(r.lastRow - r.firstRow + 1) * (r.lastColumn - r.firstColumn + 1);
        }
        // Each merged cell is written as a blank cell of ten bytes: checked
        // here, before millions of them are made only to be refused.
        if (mergedCells * 10 > CompoundFile::maximumStreamSize())
            return where + QStringLiteral("объединённых ячеек больше, чем вмещает файл");
        for (const auto &[column, width] : sheet.columnWidths())
            if (column < 0 || column >= maxColumns || width < 0 || width > 65535)
                return where + QStringLiteral("ширина столбца %1 вне допустимого").arg(column);
        for (const auto &[row, height] : sheet.rowHeights())
            if (row < 0 || row >= maxRows || !(height >= 0 && height <= 409))
                return where + QStringLiteral("высота строки %1 вне допустимого").arg(row);
        const XlsPageSetup &page = sheet.pageSetup();
        const auto validMargin = [](double cm) { return std::isfinite(cm) && cm >= 0; };
        if (page.scalePercent < 10 || page.scalePercent > 400 || page.header.size() > 255
            || page.footer.size() > 255 || !validMargin(page.leftCm) || !validMargin(page.rightCm)
            || !validMargin(page.topCm) || !validMargin(page.bottomCm) || page.paperSize < 0
            || page.paperSize > 0xFFFF)
            return where + QStringLiteral("параметры страницы вне допустимого");
    }
    for (const XlsDefinedName &n : m_names)
        if (!validDefinedName(n.name) || n.sheet < 0 || n.sheet >= m_sheets.size()
            || !validRange(n.range))
            return QStringLiteral("Недопустимое имя \"%1\"").arg(n.name);
    return QString();
}

QByteArray XlsWorkbook::toBiff8(QString *error) const
{
    const QString wrong = problem();
    if (!wrong.isEmpty()) {
        if (error)
            *error = wrong;
        return QByteArray();
    }

    // The sheets first: they fill the string table the workbook globals hold.
    SharedStrings sst;
    QList<QByteArray> sheetStreams;
    for (qsizetype i = 0; i < m_sheets.size(); ++i) {
        QByteArray sheetStream;
        putSheet(sheetStream, m_sheets.at(i), i == 0, sst);
        sheetStreams.append(sheetStream);
    }

    QByteArray stream;
    putRecord(stream, BOF, bof(0x0005));
    putRecord(stream, CODEPAGE, Body().u16(1200)); // UTF-16
    putRecord(stream, WINDOW1,
              Body().u16(0).u16(0).u16(16000).u16(9000).u16(0x0038).u16(0).u16(0).u16(1).u16(600));
    for (int copy = 0; copy < 4; ++copy)
        putRecord(stream, FONT, font(m_fonts.first()));
    for (qsizetype i = 1; i < m_fonts.size(); ++i)
        putRecord(stream, FONT, font(m_fonts.at(i)));
    for (int i = 0; i < styleXfCount; ++i)
        putRecord(stream, XF, styleXf(i));
    for (const XlsCellFormat &f : m_formats)
        putRecord(stream, XF, cellXf(f, fontRecordIndex(f.font)));
    putRecord(stream, STYLE,
              Body().u16(0x8000).u8(0).u8(0xFF)); // the built-in style Normal on XF 0

    QList<qsizetype> sheetOffsetFields;
    for (const XlsSheet &sheet : m_sheets) {
        sheetOffsetFields.append(stream.size() + 4);
        putRecord(stream, BOUNDSHEET, Body().u32(0).u16(0).shortString(sheet.name()));
    }
    if (!m_names.isEmpty()) {
        // The names refer to sheets through this workbook's own entry: one reference per sheet.
        putRecord(stream, SUPBOOK, Body().u16(int(m_sheets.size())).u16(0x0401));
        Body references;
        references.u16(int(m_sheets.size()));
        for (qsizetype i = 0; i < m_sheets.size(); ++i)
            references.u16(0).u16(int(i)).u16(int(i));
        putRecord(stream, EXTERNSHEET, references);
        for (const XlsDefinedName &n : m_names) {
            Body name;
            name.u16(0).u8(0).u8(int(n.name.size())).u16(11).u16(0).u16(0).u8(0).u8(0).u8(0).u8(0);
            name.u8(1).utf16(n.name);
            // tArea3d: an absolute area on the sheet of reference n.sheet.
            name.u8(0x3B).u16(n.sheet).u16(n.range.firstRow).u16(n.range.lastRow);
            name.u16(n.range.firstColumn).u16(n.range.lastColumn);
            putRecord(stream, NAME, name);
        }
    }
    putSharedStrings(stream, sst);
    putRecord(stream, EOFRecord, Body());

    for (qsizetype i = 0; i < sheetStreams.size(); ++i) {
        qToLittleEndian(quint32(stream.size()), stream.data() + sheetOffsetFields.at(i));
        stream += sheetStreams.at(i);
    }
    return CompoundFile::singleStream(QStringLiteral("Workbook"), stream, error);
}

bool XlsWorkbook::save(const QString &path, QString *error) const
{
    QString reason;
    const QByteArray bytes = toBiff8(&reason);
    if (bytes.isEmpty()) {
        if (error)
            *error = fileWriteError(path, reason);
        return false;
    }
    return replaceFile(path, bytes, error);
}

} // namespace miv
