#include "config/ConfigReader.h"
#include "core/ConfigGrid.h"
#include "core/CurrentDevice.h"
#include "core/ParameterCatalogue.h"
#include "core/Texts.h"
#include "core/TimerSchedule.h"
#include "link/ModbusFrame.h"
#include "link/RelayBus.h"
#include "sim/LoopbackPort.h"
#include "support/RelayLineFixture.h"
#include "support/ScriptedOperator.h"

#include <gtest/gtest.h>

using namespace miv;

namespace {

const QString on = QStringLiteral("вкл.");
const QString off = QStringLiteral("откл.");
const QString disabled = Texts::functionOff;
const QString before = QStringLiteral("before");

// Column 2 of every row after a full read of the simulated relay of type 4 at
// its start values (ratio 10, switch words 0x17 and 0x02).
const QStringList typeFourValues = {
        "10",
        "25,0",
        disabled,
        "2,5",
        "40",
        "30",
        "5",
        "0,5",
        "220",
        "250",
        "180",
        "10", // 0-11
        "80",
        "3",
        "5",
        "10",
        "60",
        "10",
        "5,0",
        "5",
        "5",
        disabled,
        disabled, // 12-22
        on,
        on,
        on,
        off,
        on,
        off,
        off,
        on,
        disabled, // 23-31
        "1234 ч. 5 мин.",
        "", // 32-33
};

class ConfigReaderTest : public RelayLineFixture
{
protected:
    void SetUp() override
    {
        RelayLineFixture::SetUp();
        select(1, 4);
    }

    void selectTypeSix() { select(6, 6); }

    ConfigReadResult read() { return readConfiguration(session, op); }

    // Every value cell holds "before", as if an earlier configuration was shown.
    void showEarlierValues()
    {
        for (int row = 0; row < ConfigRow::count - 1; ++row)
            grid.setText(row, ConfigGrid::Value, before);
    }

    QStringList values() const
    {
        QStringList texts;
        for (int row = 0; row < ConfigRow::count; ++row)
            texts << grid.text(row, ConfigGrid::Value);
        return texts;
    }

    // (start register, count) of every read the relay was asked for.
    QList<QPair<int, int>> readsAsked() const
    {
        QList<QPair<int, int>> reads;
        for (const QByteArray &request : line.requests())
            if (quint8(request[1]) == 3)
                reads.append({quint8(request[2]) << 8 | quint8(request[3]),
                              quint8(request[4]) << 8 | quint8(request[5])});
        return reads;
    }
};

TEST_F(ConfigReaderTest, typeFourRelayFillsEveryRowAndDisablesRowsOfSwitchesThatAreOff)
{
    EXPECT_EQ(read(), ConfigReadResult::Complete);
    EXPECT_EQ(values(), typeFourValues);
    EXPECT_TRUE(op.shown().isEmpty());
    // Rows kept disabled hold their fresh values aside.
    EXPECT_EQ(grid.text(2, ConfigGrid::SavedText), QStringLiteral("30,0"));
    EXPECT_EQ(grid.text(21, ConfigGrid::SavedText), QStringLiteral("5"));
    EXPECT_EQ(grid.text(22, ConfigGrid::SavedText), QStringLiteral("5"));
    EXPECT_EQ(grid.text(31, ConfigGrid::SavedText), QString());
    // Four reads, in order; no timer reads for this type.
    const QList<QPair<int, int>> expected{{0x50, 32}, {0x60, 32}, {0x70, 8}, {0x80, 2}};
    EXPECT_EQ(readsAsked(), expected);
    EXPECT_FALSE(timer.hasBeenRead());
}

TEST_F(ConfigReaderTest, typeFourShowsRowThirtyOneDisabledWhateverItsBitHolds)
{
    line.relay(1)->setRegister(0x81, 0x07);
    EXPECT_EQ(read(), ConfigReadResult::Complete);
    EXPECT_EQ(grid.text(29, ConfigGrid::Value), on);
    EXPECT_EQ(grid.text(30, ConfigGrid::Value), on);
    EXPECT_EQ(grid.text(31, ConfigGrid::Value), disabled);
    EXPECT_EQ(grid.text(2, ConfigGrid::Value), QStringLiteral("30,0"));
}

TEST_F(ConfigReaderTest, typeSixRelayAlsoFillsRowThirtyOneAndTheTimer)
{
    selectTypeSix();
    line.relay(6)->setRegister(0x76, 0x071E);
    EXPECT_EQ(read(), ConfigReadResult::Complete);
    EXPECT_EQ(grid.text(31, ConfigGrid::Value), on); // 0x81 = 0x03
    EXPECT_EQ(grid.text(29, ConfigGrid::Value), off);
    line.relay(6)->setRegister(0x81, 0x06);
    EXPECT_EQ(read(), ConfigReadResult::Complete);
    EXPECT_EQ(grid.text(31, ConfigGrid::Value), off);
    EXPECT_EQ(grid.text(29, ConfigGrid::Value), on);
    EXPECT_EQ(grid.text(30, ConfigGrid::Value), on);

    EXPECT_EQ(timer.marks[0].time, QTime(7, 30));
    EXPECT_EQ(timer.marks[1].time, QTime(8, 0));
    EXPECT_EQ(timer.marks[4].time, QTime(23, 59));
    const QStringList buttons{on, off, on, off, off, off, on}; // 0x0105
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(timer.buttons[size_t(i)], buttons[i]) << i;
    const QList<QPair<int, int>> oneRead{{0x50, 32}, {0x60, 32}, {0x70, 8},
                                         {0x80, 2},  {0x70, 11}, {0x82, 1}};
    EXPECT_EQ(readsAsked().mid(6), oneRead);
}

TEST_F(ConfigReaderTest, aRelayThatStopsAnsweringLeavesExactlyTheRowsReadBefore)
{
    // Rows 0-11 come with read 1, 12-22 with read 2, 32 with read 3, 23-31 with read 4.
    auto expectedAfter = [](int readsAnswered) {
        QStringList texts;
        for (int row = 0; row < ConfigRow::count; ++row) {
            const bool fresh = (row <= 11 && readsAnswered >= 1)
                    || (row >= 12 && row <= 22 && readsAnswered >= 2)
                    || (row == 32 && readsAnswered >= 3)
                    || (row >= 23 && row <= 31 && readsAnswered >= 4);
            texts << (row == 33 ? QString() : fresh ? typeFourValues[row] : before);
        }
        return texts;
    };
    for (int answered = 0; answered <= 3; ++answered) {
        SCOPED_TRACE(answered);
        showEarlierValues();
        op.clearShown();
        stopAnsweringAfter(1, answered);
        EXPECT_EQ(read(), ConfigReadResult::Failed);
        QStringList expected = expectedAfter(answered);
        if (answered >= 1) {
            // Read 4 never came: no switch is known, so nothing is disabled and
            // rows 2, 21 and 22 show their fresh values.
            expected[2] = QStringLiteral("30,0");
        }
        if (answered >= 2)
            expected[21] = expected[22] = QStringLiteral("5");
        EXPECT_EQ(values(), expected);
        ASSERT_EQ(op.shown().size(), 1);
        EXPECT_EQ(op.shown()[0].text, Texts::linkError);
        EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Error);
        EXPECT_EQ(op.shown()[0].buttons, Operator::Buttons::Ok);
        EXPECT_EQ(readsAsked().size(), answered + 1) << "nothing is asked after the failed read";
        line.clearFaults();
        line.clearRequests();
    }
}

TEST_F(ConfigReaderTest, aSilentSwitchReadIsAFailureAndNoSwitchChanges)
{
    showEarlierValues();
    grid.setText(23, ConfigGrid::Value, on);
    grid.setText(28, ConfigGrid::Value, on);
    stopAnsweringAfter(1, 3);
    EXPECT_EQ(read(), ConfigReadResult::Failed);
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::linkError});
    EXPECT_EQ(grid.text(23, ConfigGrid::Value), on);
    EXPECT_EQ(grid.text(28, ConfigGrid::Value), on);
    for (int row = 24; row <= 31; ++row) {
        if (row != 28) {
            EXPECT_EQ(grid.text(row, ConfigGrid::Value), before) << row;
        }
    }
    EXPECT_EQ(grid.text(32, ConfigGrid::Value), QStringLiteral("1234 ч. 5 мин."));
    // applySwitches did not run.
    for (int row = 0; row <= 22; ++row)
        EXPECT_NE(grid.text(row, ConfigGrid::Value), disabled) << row;
}

TEST_F(ConfigReaderTest, theTimerReadsOfTypeSixFailLikeTheOthers)
{
    selectTypeSix();
    for (int answered : {4, 5}) {
        SCOPED_TRACE(answered);
        op.clearShown();
        timer = TimerSchedule();
        stopAnsweringAfter(6, answered);
        EXPECT_EQ(read(), ConfigReadResult::Failed);
        EXPECT_EQ(op.shownTexts(), QStringList{Texts::linkError});
        EXPECT_EQ(grid.text(31, ConfigGrid::Value), on); // the configuration itself is in
        EXPECT_EQ(timer.marks[4].time, answered == 5 ? QTime(23, 59) : QTime(0, 0));
        EXPECT_FALSE(timer.hasBeenRead());
        line.clearFaults();
    }
}

TEST_F(ConfigReaderTest, aShortFirstReplyChangesNothingNotEvenTheResolution)
{
    ASSERT_EQ(read(), ConfigReadResult::Complete); // ratio 10: ".1"
    line.relay(1)->setRegister(0x50, 50);
    const QStringList shown = values();
    stopAnsweringAfter(1, 0);
    EXPECT_EQ(read(), ConfigReadResult::Failed);
    EXPECT_EQ(values(), shown);
    EXPECT_EQ(catalogue.step(1), QStringLiteral(".1"));
}

TEST_F(ConfigReaderTest, resolutionBandsOfRowsOneAndTwo)
{
    struct Case
    {
        quint16 ratio;
        const char *row1; // register 0x51 holds 250 throughout
        const char *row2; // register 0x52 holds 300
    };
    // Each read follows the one before: 0 and 250 keep the resolution it left.
    const Case cases[] = {{2, "2,50", "3,00"},  {0, "2,50", "3,00"},   {3, "25,0", "30,0"},
                          {20, "25,0", "30,0"}, {250, "25,0", "30,0"}, {21, "250", "300"},
                          {0, "250", "300"},    {200, "250", "300"},   {1, "2,50", "3,00"}};
    line.relay(1)->setRegister(0x81, 0x06); // row 2 enabled as well
    for (const Case &c : cases) {
        line.relay(1)->setRegister(0x50, c.ratio);
        ASSERT_EQ(read(), ConfigReadResult::Complete) << c.ratio;
        EXPECT_EQ(grid.text(0, ConfigGrid::Value), QString::number(c.ratio));
        EXPECT_EQ(grid.text(1, ConfigGrid::Value), QString::fromUtf8(c.row1)) << c.ratio;
        EXPECT_EQ(grid.text(2, ConfigGrid::Value), QString::fromUtf8(c.row2)) << c.ratio;
    }
}

TEST_F(ConfigReaderTest, motorHoursAreThirtyTwoBitsAndTheLowByteOfTheMinutes)
{
    struct Case
    {
        quint16 high, low, minutes;
        const char *text;
    };
    const Case cases[] = {{0x0001, 0x0002, 0x001E, "65538 ч. 30 мин."},
                          {0x0001, 0x0002, 0x011E, "65538 ч. 30 мин."},
                          {0xFFFF, 0xFFFF, 0x00FF, "4294967295 ч. 255 мин."},
                          {0, 0, 0, "0 ч. 0 мин."}};
    for (const Case &c : cases) {
        line.relay(1)->setRegister(0x70, c.high);
        line.relay(1)->setRegister(0x71, c.low);
        line.relay(1)->setRegister(0x72, c.minutes);
        ASSERT_EQ(read(), ConfigReadResult::Complete);
        EXPECT_EQ(grid.text(32, ConfigGrid::Value), QString::fromUtf8(c.text));
    }
}

TEST_F(ConfigReaderTest, aRowWhoseSwitchIsOnAgainComesBackWithTheFreshValue)
{
    line.relay(1)->setRegister(0x80, 0x13); // bit 2 clear: rows 3 and 18 off
    ASSERT_EQ(read(), ConfigReadResult::Complete);
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), disabled);
    EXPECT_EQ(grid.text(3, ConfigGrid::SavedText), QStringLiteral("2,5"));
    EXPECT_EQ(grid.text(18, ConfigGrid::SavedText), QStringLiteral("5,0"));

    // Switched on and changed at the relay's own keys.
    line.relay(1)->setRegister(0x80, 0x17);
    line.relay(1)->setRegister(0x53, 40);
    ASSERT_EQ(read(), ConfigReadResult::Complete);
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), QStringLiteral("4,0"));
    EXPECT_EQ(grid.text(3, ConfigGrid::SavedText), QString());
    EXPECT_EQ(grid.text(18, ConfigGrid::Value), QStringLiteral("5,0"));
    EXPECT_FALSE(grid.isDisabled(3));
    EXPECT_FALSE(grid.isDisabled(18));
}

TEST_F(ConfigReaderTest, aRowThatStaysDisabledKeepsTheFreshValueAside)
{
    line.relay(1)->setRegister(0x80, 0x13);
    ASSERT_EQ(read(), ConfigReadResult::Complete);
    line.relay(1)->setRegister(0x53, 45);
    ASSERT_EQ(read(), ConfigReadResult::Complete);
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), disabled);
    EXPECT_EQ(grid.text(3, ConfigGrid::SavedText), QStringLiteral("4,5"));

    // A read that stops before the switches keeps the row disabled, its fresh
    // value aside, and shows no switch state it does not know.
    line.relay(1)->setRegister(0x53, 50);
    stopAnsweringAfter(1, 1);
    EXPECT_EQ(read(), ConfigReadResult::Failed);
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), disabled);
    EXPECT_EQ(grid.text(3, ConfigGrid::SavedText), QStringLiteral("5,0"));
}

TEST_F(ConfigReaderTest, marksStayAndShowTheValueJustRead)
{
    grid.setText(5, ConfigGrid::Value, QStringLiteral("45"));
    grid.mark(5);
    ASSERT_EQ(read(), ConfigReadResult::Complete);
    EXPECT_TRUE(grid.isMarked(5));
    EXPECT_EQ(grid.text(5, ConfigGrid::Value), QStringLiteral("30"));
    for (int row = 0; row < ConfigRow::count; ++row) {
        if (row != 5) {
            EXPECT_FALSE(grid.isMarked(row)) << row;
        }
        EXPECT_EQ(grid.text(row, ConfigGrid::Register),
                  registerColumnText(catalogue.registerAddress(row)));
    }
}

TEST_F(ConfigReaderTest, aMarkThatIsNoTimeIsToldOnceAndTheRestIsFilled)
{
    selectTypeSix();
    line.relay(6)->setRegister(0x77, 0x1900); // hour 25
    line.relay(6)->setRegister(0x79, 0x0A50); // minute 80
    EXPECT_EQ(read(), ConfigReadResult::Complete);
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_TRUE(op.shown()[0].text.contains(QStringLiteral("2, 4")))
            << op.shown()[0].text.toStdString();
    EXPECT_FALSE(timer.marks[1].valid);
    EXPECT_FALSE(timer.marks[3].valid);
    EXPECT_EQ(timer.marks[2].time, QTime(12, 0));
    EXPECT_EQ(timer.buttons[6], on);
}

TEST_F(ConfigReaderTest, aPortThatFailsAndWillNotReopenIsToldAsLostNeverACrash)
{
    showEarlierValues();
    port.vanish();
    session.reopenPort = [](QString *error) {
        *error = QStringLiteral("порт /dev/ttyUSB0 не найден");
        return false;
    };
    EXPECT_EQ(read(), ConfigReadResult::Failed);
    ASSERT_EQ(op.shownTexts().size(), 1);
    EXPECT_EQ(op.shownTexts()[0],
              Texts::portLost.arg(QStringLiteral("Порт закрыт"),
                                  QStringLiteral("порт /dev/ttyUSB0 не найден")));
    EXPECT_EQ(grid.text(0, ConfigGrid::Value), before);
}

TEST_F(ConfigReaderTest, aDamagedReplyIsAFailure)
{
    RelayLine::Faults truncated;
    truncated.truncate = true; // every reply loses its last byte
    line.setFaults(1, truncated);
    EXPECT_EQ(read(), ConfigReadResult::Failed);
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::linkError});
}

} // namespace
