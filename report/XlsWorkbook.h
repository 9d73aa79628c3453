#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <map>
#include <utility>
#include <variant>

namespace miv {

// An Excel 97-2003 workbook (BIFF8 in an OLE2 compound file, ".xls") held in
// memory and written in one go. It knows what the report needs: text and
// number cells, fonts, cell formats with alignment, wrap, indent and thin
// borders, merged ranges, column widths, row heights, page setup with a
// footer, and defined names. Rows and columns count from 0 (A1 is 0, 0).
// Every text is written as UTF-16, so Cyrillic needs no code page.

struct XlsFont
{
    QString name = QStringLiteral("Arial");
    double heightPoints = 10;
    bool bold = false;
    quint8 charset = 204; // 204: Cyrillic; 0: ANSI; 1: the system default
};

struct XlsCellFormat
{
    enum class Horizontal { General, Left, Center, Right };
    enum class Vertical { Top, Center, Bottom };

    int font = 0; // index into XlsWorkbook::fonts()
    Horizontal horizontal = Horizontal::General;
    Vertical vertical = Vertical::Bottom;
    bool wrap = false;
    int indent = 0; // 0-15 character widths; Excel honours it for left or right alignment
    // Thin borders, one flag per side.
    bool borderLeft = false;
    bool borderRight = false;
    bool borderTop = false;
    bool borderBottom = false;

    XlsCellFormat &withThinBorders()
    {
        borderLeft = borderRight = borderTop = borderBottom = true;
        return *this;
    }
};

// A rectangle of cells, first and last inclusive.
struct XlsRange
{
    int firstRow = 0;
    int lastRow = 0;
    int firstColumn = 0;
    int lastColumn = 0;
};

struct XlsPageSetup
{
    enum class Orientation { Portrait, Landscape };
    static constexpr int paperA4 = 9; // the paper size code of A4

    int paperSize = paperA4;
    Orientation orientation = Orientation::Portrait;
    int scalePercent = 100; // 10-400
    // Margins in centimetres (the file keeps inches).
    double leftCm = 1.9;
    double rightCm = 1.9;
    double topCm = 2.5;
    double bottomCm = 2.5;
    // Header and footer in the spreadsheet's code language ("&P" the page,
    // "&N" the page count); at most 255 characters, empty for none.
    QString header;
    QString footer;
};

class XlsSheet
{
public:
    // A cell is empty (formatted, no value), a text or a number.
    using Value = std::variant<std::monostate, QString, double>;
    struct Cell
    {
        Value value;
        int format = 0; // index into XlsWorkbook::formats()
    };

    explicit XlsSheet(const QString &name) : m_name(name) { }

    const QString &name() const { return m_name; }

    // Setting a cell twice keeps the last value and format.
    void setText(int row, int column, const QString &text, int format = 0);
    void setNumber(int row, int column, double number, int format = 0);
    void setBlank(int row, int column, int format = 0);

    // The cells of a merged range that have no cell of their own take the
    // first cell's format when written, so borders run round the whole range.
    void merge(const XlsRange &range) { m_merges.append(range); }

    // Width in 1/256 of the width of the default font's "0", as Excel stores it.
    void setColumnWidth(int column, int width) { m_columnWidths[column] = width; }
    // Height in points.
    void setRowHeight(int row, double points) { m_rowHeights[row] = points; }

    XlsPageSetup &pageSetup() { return m_pageSetup; }
    const XlsPageSetup &pageSetup() const { return m_pageSetup; }

    // Cells by (row, column), in the order they are written.
    const std::map<std::pair<int, int>, Cell> &cells() const { return m_cells; }
    const QList<XlsRange> &merges() const { return m_merges; }
    const std::map<int, int> &columnWidths() const { return m_columnWidths; }
    const std::map<int, double> &rowHeights() const { return m_rowHeights; }

private:
    QString m_name;
    std::map<std::pair<int, int>, Cell> m_cells;
    QList<XlsRange> m_merges;
    std::map<int, int> m_columnWidths;
    std::map<int, double> m_rowHeights;
    XlsPageSetup m_pageSetup;
};

struct XlsDefinedName
{
    QString name;
    int sheet = 0; // the sheet the range lies on
    XlsRange range;
};

class XlsWorkbook
{
public:
    // Font 0 is the workbook's default font, format 0 the default cell
    // format (font 0, no alignment, no borders).
    explicit XlsWorkbook(const XlsFont &defaultFont = XlsFont());

    int addFont(const XlsFont &font);
    int addFormat(const XlsCellFormat &format);
    XlsSheet &addSheet(const QString &name);
    // A workbook-wide name for a range (absolute references).
    void addDefinedName(const XlsDefinedName &name) { m_names.append(name); }

    const QList<XlsFont> &fonts() const { return m_fonts; }
    const QList<XlsCellFormat> &formats() const { return m_formats; }
    const QList<XlsSheet> &sheets() const { return m_sheets; }
    XlsSheet &sheet(int index) { return m_sheets[index]; }
    const QList<XlsDefinedName> &definedNames() const { return m_names; }

    // What keeps the workbook from being written (an index out of range, a
    // cell beyond 65536 rows or 256 columns, a bad sheet name, ...), empty
    // when there is nothing.
    QString problem() const;

    // The whole .xls file. Empty with `error` set when problem() is not
    // empty or the workbook is too large for the container.
    QByteArray toBiff8(QString *error = nullptr) const;

    // Writes the file through a temporary file beside `path` that replaces it
    // only when everything was written, so a failed save leaves an existing
    // file as it was. False with `error` naming the file and the reason.
    bool save(const QString &path, QString *error = nullptr) const;

private:
    QList<XlsFont> m_fonts;
    QList<XlsCellFormat> m_formats;
    QList<XlsSheet> m_sheets;
    QList<XlsDefinedName> m_names;
};

} // namespace miv
