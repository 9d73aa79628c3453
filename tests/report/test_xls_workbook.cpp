// The report workbook as an independent reader (xlrd) sees it: cells, fonts,
// formats, merges, sizes, page setup, sheets and names; the container limits;
// workbooks that cannot be written; saving that fails. The report of a
// journal read from a simulated relay, and its CSV file.
#include "config/ConfigReader.h"
#include "core/ConfigGrid.h"
#include "device/JournalReader.h"
#include "report/CommissioningReportPdf.h"
#include "report/CompoundFile.h"
#include "report/JournalReport.h"
#include "report/JournalReportLayout.h"
#include "report/SettingsSheetExport.h"
#include "support/RelayLineFixture.h"
#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/Superuser.h"

#include <cmath>
#include <algorithm>
#include <gtest/gtest.h>
#include <QFile>
#include <QFileDevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace miv;

namespace {

// The xlrd dump of a file; an empty object (after a test failure) when it could not be read.
QJsonObject readBack(const QString &path)
{
    const ProgramResult run = runProgram(QStringLiteral("/usr/bin/python3"),
                                         {QStringLiteral(MIV_READ_XLS_SCRIPT), path});
    EXPECT_TRUE(run.finished && run.exitCode == 0) << qPrintable(run.standardError);
    return QJsonDocument::fromJson(run.standardOutput.toUtf8()).object();
}

enum class Look { Plain, Value, Title, Heading, Body };

struct ExpectedCell
{
    int row;
    int column;
    QString type; // "text", "number" or "blank"
    QJsonValue value;
    Look look;
};

// What each look reads back as: bold, horizontal, vertical, wrap, indent, borders (thin = 1).
QJsonObject lookOf(Look look)
{
    struct Row
    {
        Look look;
        bool bold;
        const char *horizontal;
        const char *vertical;
        bool wrap;
        int indent;
        int border;
    };
    static const Row rows[] = {
            {Look::Plain, false, "general", "bottom", true, 0, 0},
            {Look::Value, false, "left", "bottom", true, 1, 0},
            {Look::Title, true, "center", "center", false, 0, 1},
            {Look::Heading, false, "center", "center", true, 0, 1},
            {Look::Body, false, "general", "center", true, 0, 1},
    };
    for (const Row &r : rows)
        if (r.look == look)
            return {{"font", QJsonArray{"Arial Cyr", 200, r.bold, r.bold ? 700 : 400, 204}},
                    {"h", r.horizontal},
                    {"v", r.vertical},
                    {"wrap", r.wrap},
                    {"indent", r.indent},
                    {"borders", QJsonArray{r.border, r.border, r.border, r.border}}};
    return {};
}

// `longDetails` > 0: the first entry's details are a text of that many
// characters, longer than a record holds.
JournalReportLayout::Input reportInput(int entries, bool identity, int longDetails = 0)
{
    JournalReportLayout::Input input;
    if (identity) {
        input.date = QStringLiteral("05.03.2024 14:07:09");
        input.deviceName = QStringLiteral("МИВ-06    ");
        input.factoryNumber = 40817;
        input.softwareVersion = QStringLiteral("2.03 от 12.2008");
    }
    // Long, distinct texts: a full journal takes the string table over one record.
    for (int n = 1; n <= entries; ++n)
        input.journal.append({QStringLiteral("%1.03.2024 10:%2:00").arg(n % 28 + 1).arg(n % 60),
                              QStringLiteral("Отключение по перегрузке, запись %1").arg(n),
                              QStringLiteral("Ток фазы А %1 А превысил уставку перегрузки на %2 %")
                                      .arg(n * 3)
                                      .arg(n)});
    if (longDetails > 0 && entries > 0) {
        QString &details = input.journal.first().details;
        while (details.size() < longDetails)
            details += QStringLiteral(" Ua = %1 В").arg(details.size());
        details.truncate(longDetails);
    }
    // More entries than the relay's ring: the archive's report.
    if (entries > 100)
        input.title = QStringLiteral("Архив журнала событий");
    return input;
}

QList<ExpectedCell> expectedCells(const JournalReportLayout::Input &in)
{
    // An empty text is an empty cell, as a tag without a value is.
    auto textOrBlank = [](int row, int column, const std::optional<QString> &text, Look look) {
        return text && !text->isEmpty() ? ExpectedCell{row, column, "text", *text, look}
                                        : ExpectedCell{row, column, "blank", "", look};
    };
    QList<ExpectedCell> cells = {
            textOrBlank(0, 0, in.date, Look::Plain),
            {0, 1, "blank", "", Look::Plain},
            {2, 0, "text", "Устройство", Look::Plain},
            {2, 1, "blank", "", Look::Plain},
            textOrBlank(2, 2, in.deviceName, Look::Value),
            {3, 0, "text", "Заводской №", Look::Plain},
            {3, 1, "blank", "", Look::Plain},
            in.factoryNumber ? ExpectedCell{3, 2, "number", *in.factoryNumber, Look::Value}
                             : ExpectedCell{3, 2, "blank", "", Look::Value},
            {4, 0, "text", "Версия ПО ", Look::Plain},
            {4, 1, "blank", "", Look::Plain},
            textOrBlank(4, 2, in.softwareVersion, Look::Value),
            {7, 0, "text", in.title, Look::Title},
            {7, 1, "blank", "", Look::Title},
            {7, 2, "blank", "", Look::Title},
            {7, 3, "blank", "", Look::Title},
            {8, 0, "text", "n/n", Look::Heading},
            {8, 1, "text", "Дата", Look::Heading},
            {8, 2, "text", "Событие", Look::Heading},
            {8, 3, "text", "Информация", Look::Heading},
    };
    for (int n = 1; n <= std::max(100, int(in.journal.size())); ++n) {
        const int row = 8 + n;
        cells.append({row, 0, "number", n, Look::Body});
        const bool set = n <= in.journal.size();
        const auto entry = set ? in.journal.at(n - 1) : JournalReportLayout::JournalEntry();
        cells.append(
                textOrBlank(row, 1, set ? std::optional(entry.date) : std::nullopt, Look::Body));
        cells.append(
                textOrBlank(row, 2, set ? std::optional(entry.event) : std::nullopt, Look::Body));
        cells.append(
                textOrBlank(row, 3, set ? std::optional(entry.details) : std::nullopt, Look::Body));
    }
    return cells;
}

// Every cell of the first sheet, with its text or number, type and look.
void expectCells(const QJsonObject &sheet, const QList<ExpectedCell> &expected)
{
    std::map<std::pair<int, int>, QJsonObject> written;
    for (const QJsonValue &cell : sheet["cells"].toArray())
        written[{cell["row"].toInt(), cell["col"].toInt()}] = cell.toObject();
    EXPECT_EQ(written.size(), size_t(expected.size()));
    for (const ExpectedCell &e : expected) {
        SCOPED_TRACE(testing::Message() << "row " << e.row + 1 << " column " << e.column + 1);
        const auto it = written.find({e.row, e.column});
        ASSERT_NE(it, written.end());
        QJsonObject want = lookOf(e.look);
        want["row"] = e.row;
        want["col"] = e.column;
        want["type"] = e.type;
        want["value"] = e.value;
        EXPECT_EQ(it->second, want)
                << QJsonDocument(it->second).toJson(QJsonDocument::Compact).constData();
    }
}

TEST(JournalReport, readsBackWithTheReportLayout)
{
    struct Case
    {
        int entries;
        bool identity;
        int minContinues; // CONTINUE records of the string table at least
        int longDetails = 0; // characters of a text longer than a record, 0 for none
    };
    const Case cases[] = {{0, true, 0},   {12, true, 0}, {100, true, 2},
                          {250, true, 2}, {0, false, 0}, {3, true, 2, 10000}};
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.entries << " entries, identity " << c.identity);
        const JournalReportLayout::Input input = reportInput(c.entries, c.identity, c.longDetails);
        const QString path =
                dir.filePath(QStringLiteral("report%1-%2.xls").arg(c.entries).arg(c.identity));
        QString error;
        ASSERT_TRUE(JournalReportLayout::build(input).save(path, &error)) << qPrintable(error);
        const QJsonObject book = readBack(path);
        EXPECT_EQ(book["warnings"].toString(), QString());
        EXPECT_TRUE(book["extsst_ok"].toBool());
        EXPECT_GE(book["sst_continues"].toInt(), c.minContinues);
        // A stricter reader refuses a record body over the format's limit.
        EXPECT_LE(book["longest_record"].toInt(), 8224);

        const int lastRow = 8 + std::max(100, c.entries); // the numbered rows grow past 100
        const QJsonArray sheets = book["sheets"].toArray();
        ASSERT_EQ(sheets.size(), 3);
        const QStringList names = {"Лист1", "Лист2", "Лист3"};
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(sheets[i]["name"].toString(), names[i]);
        EXPECT_TRUE(sheets[1]["cells"].toArray().isEmpty());
        EXPECT_TRUE(sheets[2]["cells"].toArray().isEmpty());
        EXPECT_EQ(book["names"].toArray(),
                  (QJsonArray{QJsonObject{{"name", "__MAIN__"},
                                          {"scope", -1},
                                          {"sheet", 0},
                                          {"range", QJsonArray{0, lastRow, 0, 3}}}}));

        const QJsonObject first = sheets[0].toObject();
        EXPECT_EQ(
                first["merges"].toArray(),
                (QJsonArray{QJsonArray{0, 0, 0, 1}, QJsonArray{2, 2, 0, 1}, QJsonArray{3, 3, 0, 1},
                            QJsonArray{4, 4, 0, 1}, QJsonArray{7, 7, 0, 3}}));
        EXPECT_EQ(first["widths"].toObject(),
                  (QJsonObject{{"0", 950}, {"1", 4827}, {"2", 13860}, {"3", 17590}}));
        QJsonObject heights;
        for (int row = 0; row <= lastRow; ++row)
            heights[QString::number(row)] = row < 7 ? 315 : 600; // twips: 15.75 and 30 points
        EXPECT_EQ(first["heights"].toObject(), heights);
        EXPECT_EQ(first["page"].toObject(),
                  (QJsonObject{{"footer", "Страница &P из &N"},
                               {"paper", 9},
                               {"scale", 100},
                               {"landscape", true},
                               {"settings_valid", true},
                               {"left_cm", 0.5},
                               {"right_cm", 0.5},
                               {"top_cm", 1.0},
                               {"bottom_cm", 1.5}}));

        expectCells(first, expectedCells(input));
    }
}

TEST(JournalReport, dateTextLeavesOutMidnight)
{
    EXPECT_EQ(JournalReportLayout::dateText(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9))),
              QStringLiteral("05.03.2024 14:07:09"));
    EXPECT_EQ(JournalReportLayout::dateText(QDateTime(QDate(2024, 3, 5), QTime(0, 0))),
              QStringLiteral("05.03.2024"));
    EXPECT_EQ(JournalReportLayout::dateText(QDateTime(QDate(2024, 3, 5), QTime(0, 0, 1))),
              QStringLiteral("05.03.2024 00:00:01"));
}

TEST(XlsWorkbook, refusesWhatTheFileCannotHold)
{
    struct Case
    {
        const char *what;
        void (*spoil)(XlsWorkbook &);
    };
    const Case cases[] = {
            {"sheet name with a slash", [](XlsWorkbook &b) { b.addSheet("a/b"); }},
            {"sheet name of 32 letters", [](XlsWorkbook &b) { b.addSheet(QString(32, u'я')); }},
            {"same sheet name in another case", [](XlsWorkbook &b) { b.addSheet("лист1"); }},
            {"unknown cell format", [](XlsWorkbook &b) { b.sheet(0).setText(0, 0, "x", 99); }},
            {"row beyond 65536", [](XlsWorkbook &b) { b.sheet(0).setNumber(65536, 0, 1); }},
            {"column beyond 256", [](XlsWorkbook &b) { b.sheet(0).setBlank(0, 256); }},
            {"format with an unknown font",
             [](XlsWorkbook &b) { b.addFormat(XlsCellFormat{.font = 7}); }},
            {"merge turned round",
             [](XlsWorkbook &b) {
                 b.sheet(0).merge({3, 2, 0, 1});
             }},
            {"merge of more cells than the file holds",
             [](XlsWorkbook &b) {
                 b.sheet(0).merge({0, 65535, 0, 255});
             }},
            {"overlapping merges",
             [](XlsWorkbook &b) {
                 b.sheet(0).merge({0, 1, 0, 1});
                 b.sheet(0).merge({1, 1, 1, 2});
             }},
            {"name with a blank",
             [](XlsWorkbook &b) {
                 b.addDefinedName({"a b", 0, {0, 0, 0, 0}});
             }},
            {"name on a missing sheet",
             [](XlsWorkbook &b) {
                 b.addDefinedName({"x", 1, {0, 0, 0, 0}});
             }},
            {"footer over 255 characters",
             [](XlsWorkbook &b) { b.sheet(0).pageSetup().footer = QString(256, u'x'); }},
            // Sizes and numbers that are no finite number.
            {"font size NaN",
             [](XlsWorkbook &b) {
                 b.addFont({"Arial", std::nan("")});
             }},
            {"row height NaN", [](XlsWorkbook &b) { b.sheet(0).setRowHeight(0, std::nan("")); }},
            {"infinite margin", [](XlsWorkbook &b) { b.sheet(0).pageSetup().leftCm = HUGE_VAL; }},
            {"infinite number", [](XlsWorkbook &b) { b.sheet(0).setNumber(0, 0, -HUGE_VAL); }},
    };
    for (const Case &c : cases) {
        XlsWorkbook book;
        book.addSheet("Лист1");
        ASSERT_FALSE(book.toBiff8().isEmpty());
        c.spoil(book);
        QString error;
        EXPECT_TRUE(book.toBiff8(&error).isEmpty()) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
    }
    QString error;
    EXPECT_TRUE(XlsWorkbook().toBiff8(&error).isEmpty()) << "no sheets";
}

TEST(CompoundFile, holdsStreamsUpToTheHeaderFatLimit)
{
    const qint64 limit = CompoundFile::maximumStreamSize();
    const QByteArray atLimit = CompoundFile::singleStream("Workbook", QByteArray(limit, 'x'));
    ASSERT_FALSE(atLimit.isEmpty());
    // Header, stream, one directory sector, 109 FAT sectors: nothing is left unused.
    EXPECT_EQ(atLimit.size(), 512 + limit + 512 + 109 * 512);
    QString error;
    EXPECT_TRUE(
            CompoundFile::singleStream("Workbook", QByteArray(limit + 1, 'x'), &error).isEmpty());
    EXPECT_TRUE(error.contains("Workbook")) << qPrintable(error);
    // A short stream is padded to the 4096-byte cutoff: header, 8 stream sectors, directory, FAT.
    EXPECT_EQ(CompoundFile::singleStream("Workbook", QByteArray(10, 'x')).size(), 512 * 11);
}

TEST(XlsWorkbook, failedSaveLeavesTheExistingFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("old.xls");
    const QByteArray old = "earlier report";
    auto writeOld = [&]() {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    };
    auto contents = [&]() {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    writeOld();

    XlsWorkbook unwritable; // no sheets
    QString error;
    EXPECT_FALSE(unwritable.save(path, &error));
    EXPECT_TRUE(error.contains(path)) << qPrintable(error);
    EXPECT_EQ(contents(), old);

    const QString missing = dir.filePath("no such folder/report.xls");
    const XlsWorkbook report = JournalReportLayout::build({});
    error.clear();
    EXPECT_FALSE(report.save(missing, &error));
    EXPECT_TRUE(error.contains(missing)) << qPrintable(error);
    EXPECT_TRUE(error.endsWith(QStringLiteral(": нет такой папки"))) << qPrintable(error);

    if (!runsAsSuperuser()) { // the superuser writes into read-only folders
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        error.clear();
        EXPECT_FALSE(report.save(path, &error));
        EXPECT_TRUE(error.contains(path)) << qPrintable(error);
        EXPECT_TRUE(error.endsWith(QStringLiteral(": нет прав доступа"))) << qPrintable(error);
        EXPECT_EQ(contents(), old);
        QFile::setPermissions(dir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                      | QFileDevice::ExeOwner);
    }

    ASSERT_TRUE(report.save(path, &error)) << qPrintable(error);
    EXPECT_TRUE(contents().startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"));
}

// The journal read from a simulated relay through the reading of "Получить",
// written as "Отчёт" writes it, and read back by xlrd.
class JournalReportFromRelay : public RelayLineFixture
{ };

TEST_F(JournalReportFromRelay, workbookHoldsTheRelayAndItsJournalAsTheGridShowsIt)
{
    select(1, 4);
    device.deviceName = QStringLiteral("МИВ-04    ");
    device.factoryNumber = 1001;
    device.softwareVersion = 2332;
    const QDateTime moment(QDate(2024, 3, 5), QTime(14, 7, 9));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const int beforeFirstReading = -1;
    for (int entries : {beforeFirstReading, 0, 12, 100}) {
        SCOPED_TRACE(testing::Message() << entries << " entries");
        session.journal.setRowCount(100);
        fillJournalNumbers(session.journal);
        if (entries != beforeFirstReading) {
            relay().setJournalLength(entries);
            ASSERT_EQ(readJournal(session, op).outcome, JournalReadResult::Outcome::Complete);
        }
        const QString path = dir.filePath(QStringLiteral("journal%1.xls").arg(entries));
        QString error;
        ASSERT_TRUE(JournalReport::writeWorkbook(path, device, session.journal, moment, &error))
                << qPrintable(error);

        JournalReportLayout::Input expected;
        expected.date = QStringLiteral("05.03.2024 14:07:09");
        expected.deviceName = QStringLiteral("МИВ-04    ");
        expected.factoryNumber = 1001;
        expected.softwareVersion = QStringLiteral("v1 от 4.7.2008");
        for (int row = 0; row < entries; ++row) {
            const JournalReportLayout::JournalEntry entry{
                    session.journal.text(row, JournalGrid::Date),
                    session.journal.text(row, JournalGrid::Event),
                    session.journal.text(row, JournalGrid::Details)};
            ASSERT_FALSE(entry.date.isEmpty() || entry.event.isEmpty()) << "row " << row;
            expected.journal.append(entry);
        }
        const QJsonObject book = readBack(path);
        EXPECT_EQ(book["warnings"].toString(), QString());
        ASSERT_EQ(book["sheets"].toArray().size(), 3);
        expectCells(book["sheets"].toArray()[0].toObject(), expectedCells(expected));
    }
}

TEST(JournalCsv, headerAndEventRowsQuotedAsRfc4180Asks)
{
    JournalGrid journal;
    fillJournalNumbers(journal);
    journal.setRow(0, "1", "2009.11.05 08:04:00", "Включениие питания реле", "");
    journal.setRow(1, "2", "2009.11.05 08:05:00", "Превышения напряжения",
                   "Ia = 12,3 А, Ib = 0,0 А");
    journal.setRow(2, "3", "2009.11.05 08:06:00", "Вход \"ПУСК\"", "строка 1\r\nстрока 2");
    journal.setRowCount(4); // row 3 keeps only its "#": no event, no line
    const QByteArray expected =
            "\xEF\xBB\xBF"
            "Номер,Дата события,Событие,Информация\r\n"
            "1,2009.11.05 08:04:00,Включениие питания реле,\r\n"
            "2,2009.11.05 08:05:00,Превышения напряжения,\"Ia = 12,3 А, Ib = 0,0 А\"\r\n"
            "3,2009.11.05 08:06:00,\"Вход \"\"ПУСК\"\"\",\"строка 1\r\nстрока 2\"\r\n";
    EXPECT_EQ(JournalReport::csvText(journal), expected);

    // The name chooses the format; a failed write keeps the file there was.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(JournalReport::formatOf("a/report.CSV"), JournalReport::Format::Csv);
    EXPECT_EQ(JournalReport::formatOf("a/report.xls"), JournalReport::Format::Xls);
    EXPECT_EQ(JournalReport::formatOf("a/report"), JournalReport::Format::Xls);
    const QString path = dir.filePath("journal.csv");
    QString error;
    ASSERT_TRUE(JournalReport::write(path, CurrentDevice(), journal, QDateTime::currentDateTime(),
                                     &error));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected);
    EXPECT_FALSE(JournalReport::write(dir.filePath("missing/journal.csv"), CurrentDevice(), journal,
                                      {}, &error));
    EXPECT_TRUE(error.contains("missing/journal.csv")) << qPrintable(error);
}

// The settings sheet of a type-6 relay as read, in each format through a
// reader of its own: xlrd, Python's csv module, poppler's pdftotext and pdffonts.
class SettingsSheetFromRelay : public RelayLineFixture
{ };

TEST_F(SettingsSheetFromRelay, everyFormatReadsBackWithTheGridsTexts)
{
    device.deviceName = QStringLiteral("МИВ-06    ");
    device.factoryNumber = 1006;
    device.softwareVersion = 2332;
    select(6, 6);
    EXPECT_FALSE(SettingsSheet::available(session)); // nothing read yet
    ASSERT_EQ(readConfiguration(session, op), ConfigReadResult::Complete);
    ASSERT_TRUE(SettingsSheet::available(session));
    SettingsSheet::Document document = SettingsSheet::build(
            session, QStringLiteral("/dev/ttyUSB0"), QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
    // A name whose letters a font would join ("ffl"), as a held file's name is.
    document.header.append({QStringLiteral("Файл"), QStringLiteral("offline6.miv")});

    // Rows 01-33 as the grid and the relay's menu number them, with the
    // values as the grid shows them (a disabled row's kept value beside its
    // mark) and the range at each row's resolution.
    using Line = QStringList;
    const auto shown = [&](int row) {
        const SettingsSheet::ParameterLine &p = document.parameters.at(row);
        return Line{p.menuNumber(), p.name, p.value, p.range};
    };
    ASSERT_EQ(document.parameters.size(), 33); // never the password
    EXPECT_EQ(shown(0), (Line{"01", "Коэффициент трансформации", "10", "1 … 200"}));
    EXPECT_EQ(shown(1), (Line{"02", "Номинальный ток электродвигателя, А", "25,0", "10,0 … 50,0"}));
    const QString keptAside = session.configGrid.text(2, ConfigGrid::SavedText);
    ASSERT_FALSE(keptAside.isEmpty());
    EXPECT_EQ(shown(2),
              (Line{"03", "Номинальный ток 2-й ступени , А",
                    QStringLiteral("[фукнк. откл.] (%1)").arg(keptAside), "10,0 … 50,0"}));
    EXPECT_EQ(shown(31),
              (Line{"32", "Алгоритм накачки/выкачки резервуара", "вкл.", "вкл. / откл."}));
    EXPECT_EQ(shown(32), (Line{"33", "Моторесурс", "1234 ч. 5 мин.", ""}));
    EXPECT_EQ(document.parameters.at(1).number, 25.0);
    EXPECT_EQ(document.parameters.at(2).number, std::nullopt);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString xls = dir.filePath("sheet.xls"), csv = dir.filePath("sheet.csv"),
                  pdf = dir.filePath("sheet.pdf");
    using SettingsSheetExport::Format;
    for (const auto &[path, format] :
         {std::pair{xls, Format::Xls}, {csv, Format::Csv}, {pdf, Format::Pdf}}) {
        QString error;
        ASSERT_TRUE(SettingsSheetExport::write(path, format, document, &error))
                << qPrintable(error);
    }

    // The workbook: one sheet, the header merged, each row in its four bordered cells.
    const QJsonObject book = readBack(xls);
    EXPECT_EQ(book["warnings"].toString(), QString());
    ASSERT_EQ(book["sheets"].toArray().size(), 1);
    const QJsonObject sheet = book["sheets"].toArray()[0].toObject();
    std::map<std::pair<int, int>, QJsonObject> cells;
    for (const QJsonValue &cell : sheet["cells"].toArray())
        cells[{cell["row"].toInt(), cell["col"].toInt()}] = cell.toObject();
    const auto at = [&cells](int row, int column) { return cells[std::pair(row, column)]; };
    EXPECT_EQ(at(0, 0)["value"].toString(), QStringLiteral("Лист настроек"));
    EXPECT_EQ(at(3, 0)["value"].toString(), QStringLiteral("Заводской №"));
    EXPECT_EQ(at(3, 2)["value"].toString(), QStringLiteral("1006"));
    EXPECT_TRUE(sheet["merges"].toArray().contains(QJsonArray{3, 3, 0, 1}));
    const int firstRow = 10; // after the title, seven header rows, a blank row, the headings
    for (int row = 0; row <= 32; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(at(firstRow + row, 0)["value"].toDouble(), row + 1);
        // A number is stored as a number, every other value as its text.
        if (const std::optional<double> number = document.parameters.at(row).number)
            EXPECT_EQ(at(firstRow + row, 2)["value"].toDouble(), *number);
        else
            EXPECT_EQ(at(firstRow + row, 2)["value"].toString(), shown(row)[2]);
        for (int column : {1, 3})
            EXPECT_EQ(at(firstRow + row, column)["value"].toString(), shown(row)[column]);
        EXPECT_EQ(at(firstRow + row, 1)["borders"], (QJsonArray{1, 1, 1, 1}));
    }
    const int longestName = int(shown(28)[1].size()); // "Функция импульсного режима ..."
    EXPECT_GE(sheet["widths"]["1"].toInt(), longestName * 230); // nine tenths of a "0" a letter
    EXPECT_LT(sheet["widths"]["2"].toInt(), sheet["widths"]["1"].toInt() / 2);
    EXPECT_EQ(sheet["page"]["footer"].toString(), QStringLiteral("Страница &P из &N"));

    // The CSV: UTF-8 with its mark, ";" between the fields.
    const ProgramResult parsed = runProgram(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral(
                     "import csv, json, sys\n"
                     "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                     "    print(json.dumps(list(csv.reader(f, delimiter=';')), ensure_ascii=False))"),
             csv});
    ASSERT_EQ(parsed.exitCode, 0) << qPrintable(parsed.standardError);
    const QJsonArray rows = QJsonDocument::fromJson(parsed.standardOutput.toUtf8()).array();
    EXPECT_EQ(rows[0], QJsonArray{"Лист настроек"});
    for (const QJsonArray &want :
         {QJsonArray{"Адрес", "6"}, QJsonArray{"Порт", "/dev/ttyUSB0"},
          QJsonArray::fromStringList(shown(1)), QJsonArray{"Метка1", "06:30"},
          QJsonArray{"Таймер", "вкл."}, QJsonArray{"Проверил", "ФИО:", "Подпись:", "Дата:"}})
        EXPECT_TRUE(rows.contains(want)) << QJsonDocument(want).toJson().constData();

    // The PDF: its text read back, every font embedded.
    const ProgramResult text = runProgram(QStringLiteral("pdftotext"),
                                          {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_EQ(text.exitCode, 0) << qPrintable(text.standardError);
    for (const char *want :
         {"Лист настроек", "Заводской №: 1006", "Версия ПО: v1 от 4.7.2008",
          "Функция импульсного режима реле перегрузки КЗ", "10,0 … 50,0", "1234 ч. 5 мин.",
          "Метка1", "06:30", "Настроил:", "Проверил:", "Страница 1 из 1", "offline6.miv"})
        EXPECT_TRUE(text.standardOutput.contains(QString::fromUtf8(want))) << want;
    EXPECT_FALSE(text.standardOutput.contains(QStringLiteral("Пароль")));
    const ProgramResult fonts = runProgram(QStringLiteral("pdffonts"), {pdf});
    const QStringList fontLines = fonts.standardOutput.split(u'\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(fontLines.isEmpty()) << qPrintable(fonts.standardOutput);
    for (const QString &font : fontLines)
        EXPECT_TRUE(font.contains(QStringLiteral(" yes "))) << qPrintable(font);

    // The window's "Лист настроек...": a name without extension is a workbook, then the question.
    op.answerFileName(dir.filePath("window"));
    op.answer(Operator::Answer::No);
    const JournalReport::Outcome outcome = SettingsSheetExport::makeSheet(session, op);
    EXPECT_EQ(outcome.kind, JournalReport::Outcome::Kind::Written);
    EXPECT_FALSE(outcome.open);
    EXPECT_EQ(op.shownTexts().last(), JournalReport::finishedQuestion(dir.filePath("window.xls")));
    EXPECT_TRUE(readBack(dir.filePath("window.xls"))["sheets"].toArray().size() == 1);
}

// The commissioning report in its three formats, each read back by a reader
// of its own: a changed row and a row left otherwise than approved marked,
// the journal of the visit, the two signature lines.
TEST(CommissioningReport, everyFormatReadsBackWithItsMarks)
{
    CommissioningReport::Document document;
    document.title = CommissioningReport::title;
    document.header = {{"Заводской №", "1006"},
                       {"Метка", "Насос Н-3, ячейка 12"},
                       {"Версия ПО", "v1 от 4.7.2008"}};
    document.rows = {
            {0, "Коэффициент трансформации", "10", "10", "10", false, false},
            {1, "Номинальный ток электродвигателя, А", "25,0", "25,0", "30,0", true, true},
            {5, "Время пуска, с", "12", "10", "12", true, false},
            {4, "Время срабатывания, с", "5,0", "5,0", "[фукнк. откл.] (5,0)", false, true}};
    document.journal = {{"2026.02.03 04:05:07", "2026.02.03 04:05:06", "Включение питания", ""}};
    document.signatures = {"Настроил", "Проверил"};
    QTemporaryDir dir;
    const QString xls = dir.filePath("report.xls"), csv = dir.filePath("report.csv"),
                  pdf = dir.filePath("report.pdf");
    QString error;
    ASSERT_TRUE(CommissioningReport::writeWorkbook(xls, document, &error)) << qPrintable(error);
    ASSERT_TRUE(CommissioningReport::writeCsv(csv, document, &error)) << qPrintable(error);
    ASSERT_TRUE(CommissioningReportPdf::write(pdf, document, &error)) << qPrintable(error);

    const QJsonObject sheet = readBack(xls)["sheets"].toArray()[0].toObject();
    QList<QJsonArray> rows; // each row's values (a number or a text), by column
    for (const QJsonValue &cell : sheet["cells"].toArray()) {
        const int row = cell["row"].toInt();
        while (rows.size() <= row)
            rows << QJsonArray();
        QJsonArray &texts = rows[row];
        while (texts.size() <= cell["col"].toInt())
            texts.append(QString());
        texts[cell["col"].toInt()] = cell["value"];
    }
    const QJsonArray headings = QJsonArray::fromStringList(CommissioningReport::rowHeadings());
    EXPECT_TRUE(rows.contains(headings));
    // Numbers as numbers, a row switched off as its text, as the settings sheet keeps them.
    EXPECT_TRUE(rows.contains(QJsonArray{2, "Номинальный ток электродвигателя, А", 25, 25, 30,
                                         "изменено, не как утверждено"}));
    EXPECT_TRUE(rows.contains(QJsonArray{1, "Коэффициент трансформации", 10, 10, 10, ""}));
    EXPECT_TRUE(rows.contains(QJsonArray{5, "Время срабатывания, с", 5, 5, "[фукнк. откл.] (5,0)",
                                         "не как утверждено"}));
    EXPECT_EQ(sheet["page"]["footer"].toString(), QStringLiteral("Страница &P из &N"));

    const ProgramResult parsed = runProgram(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral(
                     "import csv, json, sys\n"
                     "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                     "    print(json.dumps(list(csv.reader(f, delimiter=';')), ensure_ascii=False))"),
             csv});
    ASSERT_EQ(parsed.exitCode, 0) << qPrintable(parsed.standardError);
    const QJsonArray lines = QJsonDocument::fromJson(parsed.standardOutput.toUtf8()).array();
    for (const QJsonArray &want :
         {QJsonArray{"Протокол наладки реле"}, QJsonArray{"Метка", "Насос Н-3, ячейка 12"},
          headings, QJsonArray{"06", "Время пуска, с", "12", "10", "12", "изменено"},
          QJsonArray{"2026.02.03 04:05:07", "2026.02.03 04:05:06", "Включение питания", ""},
          QJsonArray{"Настроил", "ФИО:", "Подпись:", "Дата:"}})
        EXPECT_TRUE(lines.contains(want)) << QJsonDocument(want).toJson().constData();

    const ProgramResult text = runProgram(QStringLiteral("pdftotext"),
                                          {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_EQ(text.exitCode, 0) << qPrintable(text.standardError);
    for (const char *want : {"Протокол наладки реле", "Метка: Насос Н-3, ячейка 12",
                             "После наладки", "изменено,", "утверждено", "События за время наладки",
                             "Включение питания", "Проверил:", "Страница 1 из 1"})
        EXPECT_TRUE(text.standardOutput.contains(QString::fromUtf8(want))) << want;
}

} // namespace
