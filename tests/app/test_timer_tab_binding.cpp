#include "app/TimerTabBinding.h"
#include "core/Texts.h"
#include "core/TimerSchedule.h"

#include <gtest/gtest.h>
#include <memory>
#include <QApplication>
#include <QPushButton>
#include <QTimeEdit>

using namespace miv;

namespace {

const QString on = QStringLiteral("вкл.");
const QString off = QStringLiteral("откл.");

class TimerTabBindingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < 5; ++i) {
            pickers << new QTimeEdit(&tab);
            pickers.last()->setDisplayFormat(QStringLiteral("HH.mm"));
        }
        for (int i = 0; i < 7; ++i)
            buttons << new QPushButton(&tab);
        binding = std::make_unique<TimerTabBinding>(timer, pickers, buttons);
    }

    QWidget tab;
    QList<QTimeEdit *> pickers;
    QList<QPushButton *> buttons;
    TimerSchedule timer;
    std::unique_ptr<TimerTabBinding> binding;
};

TEST_F(TimerTabBindingTest, showPutsTheScheduleIntoTheControlsAndFlagsMarksThatAreNoTime)
{
    timer.marks[0] = TimerMark::fromWord(0x071E);
    timer.marks[2] = TimerMark::fromWord(0x1E3C); // hour 30, minute 60
    timer.decodeSwitches(0x0105);
    binding->show();

    EXPECT_EQ(pickers[0]->time(), QTime(7, 30));
    EXPECT_EQ(pickers[0]->text(), QStringLiteral("07.30"));
    EXPECT_FALSE(binding->isFlagged(1));
    EXPECT_EQ(pickers[2]->time(), QTime(0, 0));
    EXPECT_TRUE(binding->isFlagged(3));
    EXPECT_EQ(pickers[2]->toolTip(), QStringLiteral("Неверное время в регистре: 0x1E3C"));
    EXPECT_TRUE(pickers[2]->styleSheet().contains(QStringLiteral("red")));
    // Showing is no edit: the mark stays invalid.
    EXPECT_FALSE(timer.marks[2].valid);
    const QStringList captions{on, off, on, off, off, off, on};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(buttons[i]->text(), captions[i]);
}

TEST_F(TimerTabBindingTest, aTimeTheOperatorSetsGoesIntoTheMarkAndClearsTheFlag)
{
    timer.marks[2] = TimerMark::fromWord(0x1E3C);
    binding->show();
    pickers[2]->setTime(QTime(9, 15));
    EXPECT_TRUE(timer.marks[2].valid);
    EXPECT_EQ(timer.marks[2].time, QTime(9, 15));
    EXPECT_EQ(timer.marks[2].word, 0x090F);
    EXPECT_FALSE(binding->isFlagged(3));
    EXPECT_TRUE(pickers[2]->styleSheet().isEmpty());
}

TEST_F(TimerTabBindingTest, clickingAButtonTogglesItsCaption)
{
    binding->click(4); // nothing read: stays without caption
    EXPECT_EQ(buttons[3]->text(), QString());
    timer.decodeSwitches(0x0105);
    binding->show();
    binding->click(4);
    binding->click(7);
    binding->click(0); // no such button
    binding->click(8);
    EXPECT_EQ(buttons[3]->text(), on);
    EXPECT_EQ(timer.buttons[3], on);
    EXPECT_EQ(buttons[6]->text(), off);
    EXPECT_EQ(timer.switchWord(), 0x0025);
}

} // namespace
