#include "app/Lamp.h"

#include <gtest/gtest.h>

using namespace miv;

TEST(Lamp, iconIndexByColourKind)
{
    struct Case
    {
        int state;
        int tag;
        std::optional<int> icon;
    };
    const Case cases[] = {
            {0, Lamp::Green, 2},  {1, Lamp::Green, 3},  {0, Lamp::Red, 0},     {1, Lamp::Red, 1},
            {0, Lamp::Yellow, 4}, {1, Lamp::Yellow, 5}, {4, Lamp::Direct, 4},  {1, Lamp::Direct, 1},
            {3, Lamp::Direct, 3}, {5, Lamp::Direct, 5}, {0, 0, std::nullopt},  {1, 0, std::nullopt},
            {1, 5, std::nullopt}, {0, 7, std::nullopt}, {1, -1, std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Lamp::iconIndex(c.state, c.tag), c.icon)
                << "state " << c.state << " tag " << c.tag;
}

TEST(Lamp, colourKindOfEveryLamp)
{
    const int green[] = {1, 2, 3, 26};
    const int yellow[] = {5, 28};
    const int direct[] = {6, 7};
    for (int lamp = 1; lamp <= Lamp::lampCount; ++lamp) {
        int expected = Lamp::Red;
        if (std::find(std::begin(green), std::end(green), lamp) != std::end(green))
            expected = Lamp::Green;
        if (std::find(std::begin(yellow), std::end(yellow), lamp) != std::end(yellow))
            expected = Lamp::Yellow;
        if (std::find(std::begin(direct), std::end(direct), lamp) != std::end(direct))
            expected = Lamp::Direct;
        EXPECT_EQ(Lamp::tagOf(lamp), expected) << "lamp " << lamp;
    }
    EXPECT_EQ(Lamp::tagOf(0), 0);
    EXPECT_EQ(Lamp::tagOf(29), 0);
}

TEST(Lamp, startPicturesAreDarkAndDirectLampsDarkYellow)
{
    EXPECT_EQ(Lamp::iconIndex(*Lamp::startState(Lamp::Green), Lamp::Green), 2);
    EXPECT_EQ(Lamp::iconIndex(*Lamp::startState(Lamp::Red), Lamp::Red), 0);
    EXPECT_EQ(Lamp::iconIndex(*Lamp::startState(Lamp::Yellow), Lamp::Yellow), 4);
    EXPECT_EQ(Lamp::iconIndex(*Lamp::startState(Lamp::Direct), Lamp::Direct), 4);
    EXPECT_FALSE(Lamp::startState(0));
    EXPECT_FALSE(Lamp::startState(5));
}
