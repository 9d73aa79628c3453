// The report's workbook writer, fed what it may be given: the first byte
// picks one of
//   0  the journal report: relay name, factory number and software version,
//      the moment, and journal entries made from raw reply strings as the
//      journal reader decodes them; the CSV file of the same journal grid;
//   1  a workbook built through the writer's own interface with any fonts,
//      formats, sheets, cells (texts as raw UTF-16, numbers as raw doubles),
//      merges, sizes, page setups and names;
//   2  the compound file alone, with any stream name and size.
// A workbook either writes a whole file or says why it cannot; the report
// of any journal always can.
#include "core/JournalGrid.h"
#include "core/Windows1251.h"
#include "device/JournalReader.h"
#include "FuzzInput.h"
#include "report/CompoundFile.h"
#include "report/JournalReport.h"
#include "report/JournalReportLayout.h"
#include "report/XlsWorkbook.h"

#include <cmath>
#include <cstring>

using namespace miv;

namespace {

QString utf16(const QByteArray &bytes)
{
    return QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
}

double rawDouble(FuzzInput &input)
{
    const QByteArray bytes = input.bytes(8).leftJustified(8, '\0');
    double value = 0;
    std::memcpy(&value, bytes.constData(), sizeof value);
    return value;
}

int smallNumber(FuzzInput &input)
{
    // Mostly near the valid range, now and then far outside it.
    const quint8 kind = input.byte();
    const int value = input.word();
    return kind < 200 ? value % 300 : kind < 250 ? value : -value;
}

// A whole file, or a reason.
void checkWritten(const QByteArray &file, const QString &error)
{
    if (file.isEmpty()) {
        FUZZ_EXPECT(!error.isEmpty());
        return;
    }
    FUZZ_EXPECT(error.isEmpty());
    FUZZ_EXPECT(file.size() % 512 == 0 && file.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"));
}

void journalReport(FuzzInput &input)
{
    JournalReportLayout::Input report;
    const quint8 present = input.byte();
    if (present & 1)
        report.deviceName = Windows1251::decode(input.bytes(10));
    if (present & 2)
        report.factoryNumber = input.word();
    if (present & 4)
        report.softwareVersion = Windows1251::decode(input.shortBytes());
    if (present & 8) {
        const quint64 high = input.word();
        const quint64 middle = input.word();
        const quint64 low = input.word();
        const qint64 msecs = qint64(high << 32 | middle << 16 | low) * 1000;
        report.date = JournalReportLayout::dateText(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC));
    }
    JournalGrid grid;
    int row = 0;
    while (!input.atEnd() && row < 2 * JournalReportLayout::journalRows) {
        const ReplyString reply = input.shortBytes();
        const QChar separator = (row % 2) ? u'.' : u',';
        const JournalReportLayout::JournalEntry entry{
                journalDateText(reply), QString::number(journalEventCode(reply)),
                journalDetailsText(reply, separator), QString()};
        report.journal.append(entry);
        grid.setRow(row, QString::number(row + 1), entry.date, entry.event, entry.details);
        ++row;
    }
    QString error;
    const QByteArray file = JournalReportLayout::build(report).toBiff8(&error);
    FUZZ_EXPECT(!file.isEmpty());
    checkWritten(file, error);
    FUZZ_EXPECT(JournalReport::csvText(grid).startsWith("\xEF\xBB\xBF"));
}

XlsCellFormat formatFrom(FuzzInput &input)
{
    XlsCellFormat format;
    format.font = smallNumber(input) % 8;
    const quint8 bits = input.byte();
    format.horizontal = XlsCellFormat::Horizontal(bits & 3);
    format.vertical = XlsCellFormat::Vertical((bits >> 2) % 3);
    format.wrap = bits & 16;
    format.borderLeft = bits & 32;
    format.borderTop = bits & 64;
    format.borderBottom = format.borderRight = bits & 128;
    format.indent = smallNumber(input) % 20;
    return format;
}

XlsRange rangeFrom(FuzzInput &input)
{
    return {smallNumber(input), smallNumber(input), smallNumber(input) % 260,
            smallNumber(input) % 260};
}

// A size or number that is no finite number, which no file can hold.
bool holdsNonFinite(const XlsWorkbook &book)
{
    for (const XlsFont &font : book.fonts())
        if (!std::isfinite(font.heightPoints))
            return true;
    for (const XlsSheet &sheet : book.sheets()) {
        for (const auto &entry : sheet.cells())
            if (const double *number = std::get_if<double>(&entry.second.value);
                number && !std::isfinite(*number))
                return true;
        for (const auto &entry : sheet.rowHeights())
            if (!std::isfinite(entry.second))
                return true;
        const XlsPageSetup &page = sheet.pageSetup();
        for (double margin : {page.leftCm, page.rightCm, page.topCm, page.bottomCm})
            if (!std::isfinite(margin))
                return true;
    }
    return false;
}

void anyWorkbook(FuzzInput &input)
{
    XlsWorkbook book;

    while (!input.atEnd()) {
        const quint8 step = input.byte() % 12;
        XlsSheet *sheet =
                book.sheets().isEmpty() ? nullptr : &book.sheet(int(book.sheets().size() - 1));
        switch (step) {
        case 0:
            book.addFont({utf16(input.shortBytes()), rawDouble(input), input.flag(), input.byte()});
            break;
        case 1:
            book.addFormat(formatFrom(input));
            break;
        case 2:
            if (book.sheets().size() < 8)
                book.addSheet(utf16(input.shortBytes()));
            break;
        case 3:
        case 4:
        case 5: {
            // Read in this order on every compiler: arguments would be read in any.
            const int row = smallNumber(input);
            const int column = smallNumber(input) % 260;
            const QString text = step == 3 ? utf16(input.shortBytes()) : QString();
            const double number = step == 4 ? rawDouble(input) : 0;
            const int format = smallNumber(input) % 8;
            if (!sheet)
                break;
            if (step == 3)
                sheet->setText(row, column, text, format);
            else if (step == 4)
                sheet->setNumber(row, column, number, format);
            else
                sheet->setBlank(row, column, format);
            break;
        }
        case 6:
            if (sheet)
                sheet->merge(rangeFrom(input));
            break;
        case 7: {
            const int column = smallNumber(input) % 260;
            const int width = smallNumber(input) * 64;
            if (sheet)
                sheet->setColumnWidth(column, width);
            break;
        }
        case 8: {
            const int row = smallNumber(input);
            const double height = rawDouble(input);
            if (sheet)
                sheet->setRowHeight(row, height);
            break;
        }
        case 9:
            if (sheet) {
                XlsPageSetup &page = sheet->pageSetup();
                page.paperSize = smallNumber(input);
                page.orientation = input.flag() ? XlsPageSetup::Orientation::Landscape
                                                : XlsPageSetup::Orientation::Portrait;
                page.scalePercent = smallNumber(input) * 2;
                page.leftCm = rawDouble(input);
                page.topCm = rawDouble(input);
                page.header = utf16(input.shortBytes());
                page.footer = utf16(input.shortBytes());
            }
            break;
        case 10:
            book.addDefinedName(
                    {utf16(input.shortBytes()), smallNumber(input) % 10, rangeFrom(input)});
            break;
        case 11: { // a long text, past what a cell holds
            const int row = smallNumber(input);
            const QString text(input.word(), QChar(u'Ж'));
            if (sheet)
                sheet->setText(row, 0, text, 0);
            break;
        }
        }
    }
    const QString problem = book.problem();
    QString error;
    const QByteArray file = book.toBiff8(&error);
    checkWritten(file, error);
    if (!problem.isEmpty())
        FUZZ_EXPECT(file.isEmpty() && error.contains(problem));
    if (holdsNonFinite(book))
        FUZZ_EXPECT(!problem.isEmpty());
}

void compoundFile(FuzzInput &input)
{
    const QString name = utf16(input.shortBytes());
    const quint8 kind = input.byte();
    // Now and then a stream about as large as the container can hold.
    const qint64 size = kind == 255 ? CompoundFile::maximumStreamSize() - 512 + input.word() % 1024
                                    : input.word();
    QString error;
    const QByteArray file = CompoundFile::singleStream(name, QByteArray(size, char(kind)), &error);
    checkWritten(file, error);
    if (!file.isEmpty())
        FUZZ_EXPECT(file.size() >= 512 + std::max<qint64>(size, 4096));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    switch (input.byte() % 3) {
    case 0:
        journalReport(input);
        break;
    case 1:
        anyWorkbook(input);
        break;
    case 2:
        compoundFile(input);
        break;
    }
    return 0;
}
