#include "app/TabVisibility.h"

#include <gtest/gtest.h>

using namespace miv;

using TabVisibility::afterBts;
using TabVisibility::TabSet;
using TabVisibility::WithoutRelay;
using TabVisibility::WithRelay;

namespace {
const TabSet allShown{true, true, true, true, true, true, true};
const TabSet allHidden{};
} // namespace

TEST(TabVisibility, viewsWithAndWithoutRelayForEachTypeCode)
{
    struct Case
    {
        int mode;
        TabSet before;
        quint16 type;
        TabSet after;
    };
    const Case cases[] = {
            // Without a relay: 0 and 2 stay as they were; 6 only after a type-6 relay.
            {WithoutRelay, allShown, 4, {true, false, true, false, false, false, false}},
            {WithoutRelay, allShown, 6, {true, false, true, false, false, false, true}},
            {WithoutRelay, allShown, 0, {true, false, true, false, false, false, false}},
            {WithoutRelay, allHidden, 4, {false, false, false, false, false, false, false}},
            {WithoutRelay, allHidden, 6, {false, false, false, false, false, false, true}},
            // With a relay: 0 to 4, and 6 for type 6; never the service tab.
            {WithRelay, allHidden, 4, {false, true, true, true, true, false, false}},
            {WithRelay, allShown, 4, {true, true, true, true, true, false, false}},
            {WithRelay, allShown, 6, {true, true, true, true, true, false, true}},
            {WithRelay,
             {true, false, true, false, false, false, false},
             6,
             {true, true, true, true, true, false, true}},
    };
    for (const Case &c : cases) {
        const TabSet after = afterBts(c.mode, c.before, c.type);
        for (std::size_t tab = 0; tab < after.size(); ++tab)
            EXPECT_EQ(after[tab], c.after[tab])
                    << "mode " << c.mode << " type " << c.type << " tab " << tab;
    }
}

TEST(TabVisibility, newScanAfterATypeSixRelayShowsTabsZeroTwoAndSix)
{
    const TabSet start = afterBts(WithoutRelay, allShown, 0);
    const TabSet identified = afterBts(WithRelay, start, 6);
    const TabSet scanning = afterBts(WithoutRelay, identified, 6);
    EXPECT_EQ(scanning, (TabSet{true, false, true, false, false, false, true}));
}

TEST(TabVisibility, serviceTabIsNeverShown)
{
    for (int mode : {WithRelay, WithoutRelay})
        for (quint16 type : {0, 4, 6})
            for (const TabSet &before : {allShown, allHidden})
                EXPECT_FALSE(afterBts(mode, before, type)[5]);
}
