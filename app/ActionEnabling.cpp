#include "app/ActionEnabling.h"

namespace miv {

namespace ActionEnabling {

ActionSet switchedByTab()
{
    return {ActionId::a_pooling, ActionId::a_getinfo, ActionId::a_refresh,
            ActionId::a_setref,  ActionId::a_print,   ActionId::a_getdata,
            ActionId::a_setdata, ActionId::a_load,    ActionId::a_save};
}

namespace {

// Tabs 2 and 6 hold what the settings file keeps; loading and saving it is
// offered once the relay's password has unlocked editing, and loading also
// while no relay is selected: the file is then opened for a relay type, to
// be edited with no relay at hand. Reading and writing need a relay: with
// none selected (a file held, or nothing), "Получить" would ask address 0,
// the broadcast, and "Записать" has nobody to write to; neither is offered.
TabEntry configurationEntry(bool portOpen, bool confLocked, bool relaySelected)
{
    TabEntry entry;
    if (!confLocked || !relaySelected)
        entry.enabled.insert(ActionId::a_load);
    if (!confLocked)
        entry.enabled.insert(ActionId::a_save);
    if (portOpen && relaySelected)
        entry.enabled |= {ActionId::a_getdata, ActionId::a_setdata};
    return entry;
}

TabEntry liveValuesEntry(bool portOpen)
{
    TabEntry entry;
    if (portOpen)
        entry.enabled = {ActionId::a_refresh, ActionId::a_setref};
    entry.runsRefresh = true;
    return entry;
}

} // namespace

TabEntry onTabEntered(int tab, bool portOpen, bool confLocked, bool relaySelected)
{
    switch (tab) {
    case DevicesTab: {
        TabEntry entry;
        if (portOpen)
            entry.enabled = {ActionId::a_pooling, ActionId::a_getinfo};
        return entry;
    }
    case LiveValuesTab:
        return liveValuesEntry(portOpen);
    case RelayControlTab: {
        TabEntry entry = liveValuesEntry(portOpen);
        entry.needsEntryCheck = true;
        return entry;
    }
    case ConfigurationTab:
    case TimerTab:
        return configurationEntry(portOpen, confLocked, relaySelected);
    case JournalTab: {
        TabEntry entry;
        if (portOpen)
            entry.enabled = {ActionId::a_print};
        if (portOpen && relaySelected)
            entry.enabled.insert(ActionId::a_getdata); // never the broadcast address
        return entry;
    }
    case ServiceTab: {
        TabEntry entry;
        if (portOpen)
            entry.enabled = {ActionId::a_refresh};
        entry.runsRefresh = true;
        return entry;
    }
    default:
        return {};
    }
}

} // namespace ActionEnabling

} // namespace miv
