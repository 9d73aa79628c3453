#include "config/TimerWriter.h"
#include "core/ConfigGrid.h"
#include "core/CurrentDevice.h"
#include "core/ParameterCatalogue.h"
#include "core/SessionFlags.h"
#include "core/Texts.h"
#include "core/TimerSchedule.h"
#include "link/RelayBus.h"
#include "sim/LoopbackPort.h"
#include "support/RelayLineFixture.h"
#include "support/ScriptedOperator.h"

#include <gtest/gtest.h>

using namespace miv;

namespace {

const QString on = QStringLiteral("вкл.");
const QString off = QStringLiteral("откл.");

using Write = RegisterWrite;

class TimerWriterTest : public RelayLineFixture
{
protected:
    void SetUp() override
    {
        RelayLineFixture::SetUp();
        select(6, 6);
        flags.editingLocked = false;
        // As after a read of the relay.
        timer.marks = {TimerMark::fromWord(0x0600), TimerMark::fromWord(0x071E),
                       TimerMark::fromWord(0x0C00), TimerMark::fromWord(0x1200),
                       TimerMark::fromWord(0x173B)};
        timer.decodeSwitches(0x0105);
    }

    TimerWriteResult write() { return writeTimerSchedule(session, op); }

    int readsAsked() const { return readRequests(); }
};

struct WordCase
{
    quint16 word;
    std::array<const char *, 7> captions; // bu01..bu07, "1" for on
};

class SwitchWords : public TimerWriterTest, public ::testing::WithParamInterface<WordCase>
{ };

TEST_P(SwitchWords, captionsAndWordBothWaysThroughTheLine)
{
    const WordCase c = GetParam();
    timer.decodeSwitches(c.word);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(timer.buttons[size_t(i)],
                  QString::fromUtf8(c.captions[size_t(i)]) == QStringLiteral("1") ? on : off)
                << "bu0" << i + 1;

    EXPECT_EQ(write(), TimerWriteResult::Written);

    const QList<Write> expected{{0x76, 0x0600}, {0x77, 0x071E}, {0x78, 0x0C00},
                                {0x79, 0x1200}, {0x7A, 0x173B}, {0x82, c.word}};
    EXPECT_EQ(writes(), expected);
    EXPECT_EQ(line.relay(6)->registerValue(0x82), c.word);
    // Read back from the relay: the same captions.
    std::array<QString, 7> captions;
    for (int i = 0; i < 7; ++i)
        captions[size_t(i)] =
                QString::fromUtf8(c.captions[size_t(i)]) == QStringLiteral("1") ? on : off;
    EXPECT_EQ(timer.buttons, captions);
}

INSTANTIATE_TEST_SUITE_P(Words, SwitchWords,
                         ::testing::Values(WordCase{0x0105, {"1", "0", "1", "0", "0", "0", "1"}},
                                           WordCase{0x003F, {"1", "1", "1", "1", "1", "1", "0"}},
                                           WordCase{0x0100, {"0", "0", "0", "0", "0", "0", "1"}},
                                           WordCase{0x0020, {"0", "0", "0", "1", "0", "0", "0"}}));

TEST_F(TimerWriterTest, successLocksAndReadsEverythingBack)
{
    timer.marks[0] = TimerMark::fromWord(0x0815);
    EXPECT_EQ(write(), TimerWriteResult::Written);
    EXPECT_TRUE(flags.editingLocked);
    EXPECT_FALSE(flags.unwrittenChanges);
    EXPECT_EQ(line.relay(6)->registerValue(0x76), 0x0815);
    EXPECT_EQ(readsAsked(), 6); // the configuration and both timer reads
    EXPECT_EQ(grid.text(0, ConfigGrid::Value), QStringLiteral("10"));
    EXPECT_EQ(timer.marks[0].time, QTime(8, 21));
    EXPECT_TRUE(op.shown().isEmpty());
    EXPECT_TRUE(needsActionRefresh(TimerWriteResult::Written));
}

TEST_F(TimerWriterTest, whileLockedTheFirstWriteOnlyAsksAndTheSecondWrites)
{
    flags.editingLocked = true;
    op.answerPassword(QStringLiteral("ABCD"));
    EXPECT_EQ(write(), TimerWriteResult::Unlocked);
    EXPECT_TRUE(needsActionRefresh(TimerWriteResult::Unlocked));
    EXPECT_FALSE(flags.editingLocked);
    EXPECT_EQ(line.requestCount(), 0);
    EXPECT_EQ(op.passwordPrompts(), 1);

    EXPECT_EQ(write(), TimerWriteResult::Written);
    EXPECT_EQ(op.passwordPrompts(), 1);
    EXPECT_EQ(writes().size(), 6);
    EXPECT_TRUE(flags.editingLocked);
}

TEST_F(TimerWriterTest, wrongOrCancelledPasswordWritesNothing)
{
    flags.editingLocked = true;
    op.answerPassword(QStringLiteral("ABCE"));
    EXPECT_EQ(write(), TimerWriteResult::StillLocked);
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::passwordError});
    op.answerPassword(std::nullopt);
    EXPECT_EQ(write(), TimerWriteResult::StillLocked);
    EXPECT_EQ(op.shown().size(), 1);
    EXPECT_TRUE(flags.editingLocked);
    EXPECT_EQ(line.requestCount(), 0);
    EXPECT_FALSE(needsActionRefresh(TimerWriteResult::StillLocked));
}

TEST_F(TimerWriterTest, nothingReadNothingHappensEvenWhileLocked)
{
    timer.buttons = {};
    flags.editingLocked = true;
    EXPECT_EQ(write(), TimerWriteResult::NothingRead);
    EXPECT_EQ(op.passwordPrompts(), 0);
    EXPECT_EQ(line.requestCount(), 0);
}

TEST_F(TimerWriterTest, failureAtMarkThreeStopsThere)
{
    RelayLine::Faults faults;
    faults.answerRequests = 2;
    line.setFaults(6, faults);

    EXPECT_EQ(write(), TimerWriteResult::LinkFailed);

    const QList<Write> expected{{0x76, 0x0600}, {0x77, 0x071E}, {0x78, 0x0C00}};
    EXPECT_EQ(writes(), expected);
    EXPECT_EQ(readsAsked(), 0);
    EXPECT_FALSE(flags.editingLocked);
    // What was written and what was not (mark 3 sent, its answer lost), then why.
    ASSERT_EQ(op.shownTexts().size(), 1);
    const QString told = op.shownTexts()[0];
    EXPECT_TRUE(
            told.startsWith(Texts::timerWriteInterrupted.arg(QStringLiteral("Метка3: 12:00\n"))))
            << told.toStdString();
    EXPECT_TRUE(told.contains(
            Texts::configRowsWritten.arg(QStringLiteral("Метка1: 06:00\nМетка2: 07:30"))))
            << told.toStdString();
    EXPECT_TRUE(told.endsWith(u'\n' + Texts::linkError)) << told.toStdString();
    EXPECT_EQ(line.relay(6)->registerValue(0x82), 0x0105);
}

// The six writes are taken and the relay falls silent before the read back:
// the schedule is written, and the outcome says it was not read back.
TEST_F(TimerWriterTest, aReadBackThatFailsIsItsOwnOutcome)
{
    RelayLine::Faults faults;
    faults.answerRequests = 6;
    line.setFaults(6, faults);
    EXPECT_EQ(write(), TimerWriteResult::WrittenNotReadBack);
    EXPECT_EQ(writes().size(), 6);
    EXPECT_TRUE(flags.editingLocked);
    EXPECT_TRUE(needsActionRefresh(TimerWriteResult::WrittenNotReadBack));
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::linkError});
}

TEST_F(TimerWriterTest, anAdapterPulledAtMarkThreeIsToldAsALostPort)
{
    port.vanishAtRequest(3); // the relay takes mark 3, its reply never comes
    session.reopenPort = [](QString *error) {
        *error = QStringLiteral("Нет такого порта");
        return false;
    };
    EXPECT_EQ(write(), TimerWriteResult::LinkFailed);
    EXPECT_EQ(writes().size(), 3);
    EXPECT_EQ(readsAsked(), 0);
    EXPECT_FALSE(flags.editingLocked);
    ASSERT_EQ(op.shownTexts().size(), 1);
    EXPECT_TRUE(op.shownTexts()[0].contains(u'\n' + Texts::portLost.section(u'%', 0, 0)))
            << op.shownTexts()[0].toStdString();
}

TEST_F(TimerWriterTest, refusalIsAFailedWrite)
{
    // A relay of type 4 has no timer registers and refuses the first mark.
    device.networkAddress = 1;
    session.valuesOwner = session.selectedRelay();
    EXPECT_EQ(write(), TimerWriteResult::LinkFailed);
    EXPECT_EQ(writes().size(), 1);
    EXPECT_FALSE(flags.editingLocked);
    ASSERT_EQ(op.shownTexts().size(), 1);
    EXPECT_TRUE(op.shownTexts()[0].startsWith(
            Texts::timerWriteInterrupted.arg(QStringLiteral("Метка1: "))));
    EXPECT_FALSE(op.shownTexts()[0].contains(QStringLiteral("Записаны:")));
    EXPECT_TRUE(op.shownTexts()[0].endsWith(u'\n' + Texts::linkError));
}

TEST_F(TimerWriterTest, marksThatAreNoTimeAreNotWrittenAsMidnight)
{
    timer.marks[1] = TimerMark::fromWord(0x1E3C);
    timer.marks[3] = TimerMark::fromWord(0x0A50);
    EXPECT_EQ(write(), TimerWriteResult::InvalidMarks);
    EXPECT_EQ(line.requestCount(), 0);
    EXPECT_FALSE(flags.editingLocked);
    EXPECT_EQ(op.shownTexts(),
              QStringList{Texts::timerMarksNotWritten.arg(QStringLiteral("2, 4"))});

    // Once the operator set them, the schedule goes out.
    timer.marks[1] = {QTime(9, 0), TimerSchedule::markWord(QTime(9, 0)), true};
    timer.marks[3] = {QTime(19, 0), TimerSchedule::markWord(QTime(19, 0)), true};
    EXPECT_EQ(write(), TimerWriteResult::Written);
    EXPECT_EQ(line.relay(6)->registerValue(0x77), 0x0900);
    EXPECT_EQ(line.relay(6)->registerValue(0x79), 0x1300);
}

TEST(TimerToggle, bu01ClickTogglesCaptionsAndLeavesEmptyOnes)
{
    TimerSchedule timer;
    toggleTimerButton(timer, 1);
    EXPECT_EQ(timer.buttons[0], QString()); // nothing read yet

    timer.buttons = {on, off, QStringLiteral("?"), on, on, on, on};
    toggleTimerButton(timer, 1);
    toggleTimerButton(timer, 2);
    toggleTimerButton(timer, 3);
    toggleTimerButton(timer, 7);
    toggleTimerButton(timer, 0); // no such button
    toggleTimerButton(timer, 8);
    const std::array<QString, 7> expected{off, on, on, on, on, on, off};
    EXPECT_EQ(timer.buttons, expected);
}

} // namespace
