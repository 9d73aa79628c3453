#include "EditFixture.h"
#include "config/ConfigWriter.h"
#include "core/Texts.h"

using namespace miv;

namespace {

const QString on = QStringLiteral("вкл.");
const QString off = QStringLiteral("откл.");

class ConfigWriterTest : public EditFixture
{
protected:
    ConfigWriteResult write() { return writeConfiguration(session, op); }
};

TEST_F(ConfigWriterTest, oneNumericRowIsWrittenAloneThenLockedAndReadBack)
{
    readRelay();
    set(5, QStringLiteral("40"));
    const ConfigWriteResult result = write();

    EXPECT_EQ(result.outcome, ConfigWriteResult::Outcome::Written);
    EXPECT_EQ(writes(), QList<Write>({{0x55, 40}}));
    EXPECT_EQ(result.writtenRows, QList<int>{5});
    EXPECT_TRUE(result.needsTabRefresh());
    EXPECT_TRUE(result.readBack);
    EXPECT_TRUE(markedRows().isEmpty());
    EXPECT_FALSE(flags.unwrittenChanges);
    EXPECT_TRUE(flags.editingLocked);
    EXPECT_EQ(relay().registerValue(0x55), 40);
    EXPECT_GT(readRequests(), 0); // the grid shows what the relay holds now
    EXPECT_EQ(grid.text(5, ConfigGrid::Value), QStringLiteral("40"));
    EXPECT_TRUE(op.shown().isEmpty());
}

TEST_F(ConfigWriterTest, rowsAtTheirStepsGoOutAsRawValues)
{
    relay().setRegister(0x50, 2); // ratio 2: rows 1 and 2 at ".01"
    relay().setRegister(0x53, 30);
    relay().setRegister(0x55, 20);
    readRelay();
    ASSERT_EQ(catalogue.step(1), QStringLiteral(".01"));
    set(1, QStringLiteral("4,75"));
    set(3, QStringLiteral("2,5"));
    set(5, QStringLiteral("30"));

    EXPECT_EQ(write().outcome, ConfigWriteResult::Outcome::Written);
    EXPECT_EQ(writes(), QList<Write>({{0x51, 475}, {0x53, 25}, {0x55, 30}}));
    EXPECT_EQ(grid.text(1, ConfigGrid::Value), QStringLiteral("4,75"));
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), QStringLiteral("2,5"));
}

TEST_F(ConfigWriterTest, switchWordsCarryEveryRowOfTheirGroup)
{
    const struct
    {
        const char *name;
        quint8 address;
        int type;
        QList<QPair<int, QString>> changes;
        QList<Write> expected;
    } cases[] = {
            // 0x17 at start: rows 23, 24, 25, 27 on. Row 24 alone off keeps the others.
            {"row 24 alone", 1, 4, {{24, off}}, {{0x80, 0x15}}},
            {"row 26 on", 1, 4, {{26, on}}, {{0x80, 0x37}}},
            // Type 4: row 31 shows the disabled text and goes out as 0.
            {"rows 29 and 30 on type 4", 1, 4, {{29, on}, {30, off}}, {{0x81, 0x04}}},
            {"row 31 on type 6", 6, 6, {{31, off}}, {{0x81, 0x02}}},
            {"both words, 0x80 first", 1, 4, {{30, off}, {28, on}}, {{0x80, 0x1F}, {0x81, 0x00}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        select(c.address, c.type);
        relay().setRegister(0x80, 0x17);
        relay().setRegister(0x81, c.type == 6 ? 0x03 : 0x02);
        readRelay();
        for (const auto &[row, text] : c.changes)
            set(row, text);
        EXPECT_EQ(write().outcome, ConfigWriteResult::Outcome::Written);
        EXPECT_EQ(writes(), c.expected);
        EXPECT_TRUE(markedRows().isEmpty());
        for (const Write &w : c.expected)
            EXPECT_EQ(relay().registerValue(w.reg), w.value);
    }
}

TEST_F(ConfigWriterTest, failureAtRowSevenStopsThereAndKeepsTheRestMarked)
{
    select(6, 6);
    relay().setRegister(0x80, 0x3F); // every function on: no row is disabled
    relay().setRegister(0x81, 0x07);
    readRelay();
    forgetRelayValues();
    for (int row = 0; row <= ConfigRow::lastSwitch; ++row)
        set(row, grid.text(row, ConfigGrid::Value));
    stopAnsweringAfter(7); // rows 0-6 are answered, row 7 is not

    const ConfigWriteResult result = write();
    EXPECT_EQ(result.outcome, ConfigWriteResult::Outcome::LinkFailed);
    EXPECT_FALSE(result.needsTabRefresh());
    QList<Write> expected;
    for (int reg = 0x50; reg <= 0x57; ++reg)
        expected.append({reg, relay().registerValue(reg)});
    EXPECT_EQ(writes(), expected);
    EXPECT_EQ(line.requests().size(), 8); // nothing after the silent write, no re-read
    QList<int> stillMarked;
    for (int row = 7; row <= ConfigRow::lastSwitch; ++row)
        stillMarked.append(row);
    EXPECT_EQ(markedRows(), stillMarked);
    EXPECT_EQ(result.writtenRows, QList<int>({0, 1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(flags.editingLocked);
    EXPECT_TRUE(flags.unwrittenChanges);
    // One message; row 7 (its answer lost) is never among the rows written.
    ASSERT_EQ(op.shownTexts().size(), 1);
    const QStringList parts = op.shownTexts()[0].split(QStringLiteral("Записаны:"));
    ASSERT_EQ(parts.size(), 2) << op.shownTexts()[0].toStdString();
    EXPECT_TRUE(parts[0].startsWith(QStringLiteral("Запись прервана")));
    EXPECT_TRUE(parts[1].endsWith(Texts::linkError));
    EXPECT_TRUE(parts[0].contains(grid.text(7, ConfigGrid::Name)));
    EXPECT_FALSE(parts[1].contains(grid.text(7, ConfigGrid::Name)));
    EXPECT_TRUE(parts[1].contains(grid.text(6, ConfigGrid::Name)));
}

TEST_F(ConfigWriterTest, valuesTheRelayReportedAreNeverCheckedNorSent)
{
    const struct
    {
        const char *name;
        QList<QPair<int, quint16>> relayHolds; // register, value before the read
        QList<int> untouched; // marked with what the read showed
        QPair<int, QString> change;
        QList<Write> expected;
    } cases[] = {
            {"row 8 away from its catalogue value", {{0x58, 230}}, {8}, {5, "40"}, {{0x55, 40}}},
            // A ratio written alone once: row 1 stayed outside its band.
            {"row 1 outside the ratio's band",
             {{0x50, 200}, {0x51, 150}},
             {1},
             {5, "35"},
             {{0x55, 35}}},
            {"the last numeric row", {{0x80, 0x1F}}, {}, {22, "12"}, {{0x6A, 12}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        grid.fillFromCatalogue(catalogue);
        for (const auto &[reg, value] : c.relayHolds)
            relay().setRegister(reg, value);
        readRelay();
        for (int row : c.untouched)
            set(row,
                grid.text(row,
                          ConfigGrid::Value)); // as a settings file without their keys marks them
        set(c.change.first, c.change.second);
        const ConfigWriteResult result = write();
        EXPECT_EQ(result.outcome, ConfigWriteResult::Outcome::Written);
        EXPECT_EQ(writes(), c.expected);
        EXPECT_EQ(result.unchangedRows, c.untouched);
        EXPECT_TRUE(markedRows().isEmpty());
        EXPECT_TRUE(op.shown().isEmpty());
        relay().setRegister(0x50, 10);
        relay().setRegister(0x80, 0x17);
    }
}

TEST_F(ConfigWriterTest, valuesOfOneRelayAreNeverWrittenToAnother)
{
    readRelay();
    set(5, QStringLiteral("40"));
    device.networkAddress = 9; // a line without a relay was clicked since
    const ConfigWriteResult result = write();
    EXPECT_EQ(result.outcome, ConfigWriteResult::Outcome::Refused);
    EXPECT_TRUE(line.requests().isEmpty());
    EXPECT_EQ(markedRows(), QList<int>{5});
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::changesOfAnotherRelay.arg(1).arg(0).arg(9)});
}

TEST_F(ConfigWriterTest, aNewRatioHasRowsOneAndTwoCheckedAgainstIt)
{
    readRelay(); // ratio 10: rows 1 and 2 hold 25,0 and 30,0; row 2's function is off
    set(0, QStringLiteral("200"));
    const ConfigWriteResult refused = write();
    EXPECT_EQ(refused.outcome, ConfigWriteResult::Outcome::Refused);
    EXPECT_EQ(refused.refusedRows, QList<int>({1, 2}));
    EXPECT_TRUE(line.requests().isEmpty());
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].text,
              Texts::configValuesInvalid.arg(
                      QStringLiteral("Номинальный ток электродвигателя, А: 25,0\n"
                                     "Номинальный ток 2-й ступени , А: 30,0")));

    set(1, QStringLiteral("250"));
    grid.setText(2, ConfigGrid::SavedText, QStringLiteral("300"));
    EXPECT_EQ(write().outcome, ConfigWriteResult::Outcome::Written);
    EXPECT_EQ(writes(), QList<Write>({{0x50, 200}, {0x51, 250}, {0x52, 300}}));
}

TEST_F(ConfigWriterTest, aValueTheRelayRefusesKeepsItsMark)
{
    relay().setRegister(0x50, 2);
    readRelay();
    // The relay's own ratio changed meanwhile: 9,99 suits ratio 2 here, but
    // at ratio 10 the relay takes only up to 500.
    relay().setRegister(0x50, 10);
    set(1, QStringLiteral("9,99"));
    set(5, QStringLiteral("45"));

    const ConfigWriteResult result = write();
    EXPECT_EQ(result.outcome, ConfigWriteResult::Outcome::Written);
    EXPECT_EQ(writes(), QList<Write>({{0x51, 999}, {0x55, 45}}));
    EXPECT_EQ(result.refusedRows, QList<int>{1});
    EXPECT_EQ(result.writtenRows, QList<int>{5});
    EXPECT_EQ(markedRows(), QList<int>{1});
    EXPECT_EQ(relay().registerValue(0x51), 250);
    EXPECT_TRUE(flags.editingLocked);
    // The grid shows the relay's value next to the mark, and the operator is told.
    EXPECT_EQ(grid.text(1, ConfigGrid::Value), QStringLiteral("25,0"));
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].text,
              Texts::configValuesNotTaken.arg(
                      QStringLiteral("Номинальный ток электродвигателя, А: 9,99")));
}

TEST_F(ConfigWriterTest, anInvalidMarkedRowStopsEverythingBeforeTheLine)
{
    const struct
    {
        int row;
        const char *text;
    } bad[] = {
            {6, "70000"}, // 70000 would go out as 4464
            {15, "70000"}, {6, "11"}, // above the limit
            {6, "5,5"}, // not of the row's step
            {3, "abc"},    {3, ""},   {24, "да"}, // no switch text
            {1, "9,99"}, // ratio 10 gives rows 1 and 2 at most 50,0
            {1, "60,0"},
    };
    for (const auto &c : bad) {
        const QString text = QString::fromUtf8(c.text);
        SCOPED_TRACE(c.row);
        SCOPED_TRACE(text.toStdString());
        line.clearRequests();
        grid.fillFromCatalogue(catalogue);
        readRelay();
        set(5, QStringLiteral("40"));
        set(c.row, text);
        const ConfigWriteResult result = write();
        EXPECT_EQ(result.outcome, ConfigWriteResult::Outcome::Refused);
        EXPECT_TRUE(line.requests().isEmpty());
        EXPECT_EQ(markedRows(), c.row < 5 ? QList<int>({c.row, 5}) : QList<int>({5, c.row}));
        EXPECT_EQ(result.refusedRows, QList<int>{c.row});
        EXPECT_FALSE(flags.editingLocked);
        EXPECT_TRUE(flags.unwrittenChanges);
        ASSERT_EQ(op.shown().size(), 1);
        EXPECT_EQ(op.shown()[0].text,
                  Texts::configValuesInvalid.arg(catalogue.record(c.row).name + ": " + text));
        EXPECT_NE(relay().registerValue(0x56), 70000 & 0xFFFF);
    }
}

TEST_F(ConfigWriterTest, theMessageNamesEveryInvalidRow)
{
    readRelay();
    set(4, QStringLiteral("10"));
    set(9, QStringLiteral("300"));
    set(23, QStringLiteral("вкл"));
    EXPECT_EQ(write().refusedRows, QList<int>({4, 9, 23}));
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].text,
              Texts::configValuesInvalid.arg(
                      QStringLiteral("Минимальный ток электродвигателя, %: 10\n"
                                     "Максимальное напряжение, В: 300\n"
                                     "Функция короткозамкнутого ротора: вкл")));
    EXPECT_TRUE(line.requests().isEmpty());
}

TEST_F(ConfigWriterTest, withoutMarksItOnlyLocksAndReadsBack)
{
    readRelay();
    const ConfigWriteResult result = write();
    EXPECT_EQ(result.outcome, ConfigWriteResult::Outcome::Written);
    EXPECT_TRUE(writes().isEmpty());
    EXPECT_GT(readRequests(), 0);
    EXPECT_TRUE(flags.editingLocked);
    EXPECT_TRUE(result.needsTabRefresh());
}

TEST_F(ConfigWriterTest, rowThirtyOneOnTypeFourIsLeftAsItIs)
{
    readRelay();
    set(31, Texts::functionOff); // a settings file saved from such a relay
    const ConfigWriteResult result = write();
    EXPECT_EQ(result.outcome, ConfigWriteResult::Outcome::Written);
    EXPECT_EQ(result.unchangedRows, QList<int>{31});
    EXPECT_TRUE(writes().isEmpty()) << "the relay holds what the row shows";
    readRelay();
    set(31, Texts::functionOff);
    set(30, off);
    EXPECT_EQ(write().outcome, ConfigWriteResult::Outcome::Written);
    EXPECT_EQ(writes(), QList<Write>({{0x81, 0x00}}));
}

TEST_F(ConfigWriterTest, switchWordFromTheGridTexts)
{
    const QString texts[] = {on, off, on, on, off, on}; // rows 23..28
    for (int i = 0; i < 6; ++i)
        grid.setText(23 + i, ConfigGrid::Value, texts[i]);
    // bit 2 = 23, 1 = 24, 0 = 25, 5 = 26, 4 = 27, 3 = 28
    EXPECT_EQ(switchWord(grid, 0), 0b101101);
    grid.setText(29, ConfigGrid::Value, off);
    grid.setText(30, ConfigGrid::Value, on);
    grid.setText(31, ConfigGrid::Value, Texts::functionOff);
    EXPECT_EQ(switchWord(grid, 1), 0b010);
}

} // namespace
