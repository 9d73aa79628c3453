#include "app/ActionEnabling.h"
#include "app/ActionTable.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace miv;

using namespace ActionEnabling;

namespace {

struct Case
{
    int tab;
    bool portOpen;
    bool confLocked;
    ActionSet enabled;
    bool runsRefresh;
    bool needsEntryCheck;
};

// The enabling table, written out for every tab, port state and lock state.
const Case cases[] = {
        {DevicesTab, true, true, {ActionId::a_pooling, ActionId::a_getinfo}, false, false},
        {DevicesTab, true, false, {ActionId::a_pooling, ActionId::a_getinfo}, false, false},
        {DevicesTab, false, true, {}, false, false},
        {DevicesTab, false, false, {}, false, false},
        {LiveValuesTab, true, true, {ActionId::a_refresh, ActionId::a_setref}, true, false},
        {LiveValuesTab, true, false, {ActionId::a_refresh, ActionId::a_setref}, true, false},
        {LiveValuesTab, false, true, {}, true, false},
        {LiveValuesTab, false, false, {}, true, false},
        {ConfigurationTab, true, true, {ActionId::a_getdata, ActionId::a_setdata}, false, false},
        {ConfigurationTab,
         true,
         false,
         {ActionId::a_getdata, ActionId::a_setdata, ActionId::a_load, ActionId::a_save},
         false,
         false},
        {ConfigurationTab, false, true, {}, false, false},
        {ConfigurationTab, false, false, {ActionId::a_load, ActionId::a_save}, false, false},
        {RelayControlTab, true, true, {ActionId::a_refresh, ActionId::a_setref}, true, true},
        {RelayControlTab, true, false, {ActionId::a_refresh, ActionId::a_setref}, true, true},
        {RelayControlTab, false, true, {}, true, true},
        {RelayControlTab, false, false, {}, true, true},
        {JournalTab, true, true, {ActionId::a_getdata, ActionId::a_print}, false, false},
        {JournalTab, true, false, {ActionId::a_getdata, ActionId::a_print}, false, false},
        {JournalTab, false, true, {}, false, false},
        {JournalTab, false, false, {}, false, false},
        {ServiceTab, true, true, {ActionId::a_refresh}, true, false},
        {ServiceTab, true, false, {ActionId::a_refresh}, true, false},
        {ServiceTab, false, true, {}, true, false},
        {ServiceTab, false, false, {}, true, false},
        {TimerTab, true, true, {ActionId::a_getdata, ActionId::a_setdata}, false, false},
        {TimerTab,
         true,
         false,
         {ActionId::a_getdata, ActionId::a_setdata, ActionId::a_load, ActionId::a_save},
         false,
         false},
        {TimerTab, false, true, {}, false, false},
        {TimerTab, false, false, {ActionId::a_load, ActionId::a_save}, false, false},
};

std::string describe(ActionSet set)
{
    QStringList names;
    for (ActionId id : allActions)
        if (set.contains(id))
            names << QString::fromLatin1(ActionTable::info(id).name);
    return names.join(u',').toStdString();
}

} // namespace

TEST(ActionEnabling, everyTabPortAndLockStateEnablesExactlyItsActions)
{
    for (const Case &c : cases) {
        const TabEntry entry = onTabEntered(c.tab, c.portOpen, c.confLocked);
        SCOPED_TRACE(testing::Message()
                     << "tab " << c.tab << " port " << c.portOpen << " locked " << c.confLocked);
        EXPECT_EQ(describe(entry.enabled), describe(c.enabled));
        EXPECT_EQ(entry.runsRefresh, c.runsRefresh);
        EXPECT_EQ(entry.needsEntryCheck, c.needsEntryCheck);
    }
}

TEST(ActionEnabling, withNoRelaySelectedTheConfigurationTabsWriteNothing)
{
    for (int tab : {ConfigurationTab, TimerTab})
        for (bool locked : {true, false}) {
            const ActionSet enabled = onTabEntered(tab, true, locked, false).enabled;
            EXPECT_FALSE(enabled.contains(ActionId::a_setdata)) << tab << " " << locked;
            EXPECT_TRUE(enabled.contains(ActionId::a_getdata));
            EXPECT_TRUE(enabled.contains(ActionId::a_load)) << "a file may be opened";
        }
}

TEST(ActionEnabling, closedPortLeavesOnlyLoadAndSaveOnTheConfigurationTabsWhenUnlocked)
{
    for (int tab = 0; tab < tabCount; ++tab) {
        for (bool locked : {true, false}) {
            const ActionSet enabled = onTabEntered(tab, false, locked).enabled;
            const bool offersFile = !locked && (tab == ConfigurationTab || tab == TimerTab);
            for (ActionId id : allActions) {
                const bool fileAction = id == ActionId::a_load || id == ActionId::a_save;
                EXPECT_EQ(enabled.contains(id), offersFile && fileAction)
                        << "tab " << tab << " action " << int(id);
            }
        }
    }
}

TEST(ActionEnabling, reportIsOfferedOnTheJournalTabOnly)
{
    for (int tab = 0; tab < tabCount; ++tab)
        for (bool open : {true, false})
            for (bool locked : {true, false})
                EXPECT_EQ(onTabEntered(tab, open, locked).enabled.contains(ActionId::a_print),
                          tab == JournalTab && open)
                        << "tab " << tab;
}

TEST(ActionEnabling, tabChangeNeverTouchesPortExitAboutManualOrPasswordChange)
{
    const ActionSet switched = switchedByTab();
    for (ActionId id : {ActionId::a_port, ActionId::a_exit, ActionId::a_about, ActionId::a_manual,
                        ActionId::a_chpass}) {
        EXPECT_FALSE(switched.contains(id));
        for (int tab = 0; tab < tabCount; ++tab)
            EXPECT_FALSE(onTabEntered(tab, true, false).enabled.contains(id));
    }
    // Whatever a tab enables is among the actions the tab change switches off first.
    for (int tab = 0; tab < tabCount; ++tab)
        for (ActionId id : allActions) {
            if (onTabEntered(tab, true, false).enabled.contains(id)) {
                EXPECT_TRUE(switched.contains(id));
            }
        }
}

TEST(ActionEnabling, unknownTabOffersNothing)
{
    const TabEntry entry = onTabEntered(7, true, false);
    EXPECT_TRUE(entry.enabled.isEmpty());
    EXPECT_FALSE(entry.runsRefresh);
    EXPECT_TRUE(onTabEntered(-1, true, false).enabled.isEmpty());
}
