#include "core/TimerSchedule.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace miv;

namespace {

TEST(TimerSchedule, switchWordBothWays)
{
    struct Case
    {
        quint16 word;
        QStringList captions; // bu01..bu07
    };
    const QString on = QStringLiteral("вкл.");
    const QString off = QStringLiteral("откл.");
    const Case cases[] = {
            {0x0105, {on, off, on, off, off, off, on}},
            {0x003F, {on, on, on, on, on, on, off}},
            {0x0100, {off, off, off, off, off, off, on}},
            {0x0004, {on, off, off, off, off, off, off}},
            {0x0020, {off, off, off, on, off, off, off}},
            {0x0008, {off, off, off, off, off, on, off}},
    };
    for (const Case &c : cases) {
        TimerSchedule schedule;
        schedule.decodeSwitches(c.word);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(schedule.buttons[size_t(i)], c.captions[i])
                    << std::hex << c.word << " bu0" << i + 1;
        EXPECT_EQ(schedule.switchWord(), c.word);
    }
}

TEST(TimerSchedule, bitsThatAreNoButtonAreIgnoredAndNeverWritten)
{
    TimerSchedule schedule;
    schedule.decodeSwitches(0xFFC0); // bits 6-15 set: of them only bit 8 (the timer) is a button
    EXPECT_EQ(schedule.switchWord(), 0x0100);
}

TEST(TimerSchedule, captionsOtherThanOnAreWrittenAsOff)
{
    TimerSchedule schedule;
    EXPECT_FALSE(schedule.hasBeenRead());
    EXPECT_EQ(schedule.switchWord(), 0);
    schedule.buttons[0] = QStringLiteral("ВКЛ");
    EXPECT_EQ(schedule.switchWord(), 0);
}

TEST(TimerSchedule, marksFromTheirWords)
{
    TimerSchedule schedule;
    EXPECT_EQ(schedule.decodeMarks(std::array<quint16, 5>{0x071E, 0x0800, 0x0000, 0x1200, 0x173B}),
              0);
    EXPECT_EQ(schedule.marks[0].time, QTime(7, 30));
    EXPECT_EQ(schedule.marks[1].time, QTime(8, 0));
    EXPECT_EQ(schedule.marks[2].time, QTime(0, 0));
    EXPECT_EQ(schedule.marks[4].time, QTime(23, 59));
    EXPECT_EQ(TimerSchedule::markWord(QTime(23, 59)), 0x173B);
    EXPECT_EQ(TimerSchedule::markWord(QTime(7, 30)), 0x071E);
    EXPECT_EQ(schedule.invalidMarkList(), QString());
}

TEST(TimerSchedule, aMarkWordThatIsNoTimeIsFlaggedAndTheOthersStillFilled)
{
    TimerSchedule schedule;
    schedule.marks[1].time = QTime(5, 5);
    EXPECT_EQ(schedule.decodeMarks(std::array<quint16, 5>{0x071E, 0x1800, 0x0C00, 0x123C, 0x173B}),
              2);
    EXPECT_TRUE(schedule.marks[0].valid);
    EXPECT_FALSE(schedule.marks[1].valid); // hour 24
    EXPECT_EQ(schedule.marks[1].time, QTime(0, 0));
    EXPECT_EQ(schedule.marks[1].word, 0x1800);
    EXPECT_EQ(schedule.marks[2].time, QTime(12, 0));
    EXPECT_FALSE(schedule.marks[3].valid); // minute 60
    EXPECT_EQ(schedule.marks[4].time, QTime(23, 59));
    EXPECT_EQ(schedule.invalidMarkList(), QStringLiteral("2, 4"));
}

} // namespace
