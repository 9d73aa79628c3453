#pragma once

#include "app/ActionId.h"

namespace miv {

// Which actions a tab offers. The tab change disables every action of
// switchedByTab() and then enables what the entered tab offers; the other
// actions (port, exit, about, manual, password change) are never touched by it.
namespace ActionEnabling {

// The tabs of the main window, by page index.
enum Tab {
    DevicesTab = 0, // "Связь с устройствами"
    LiveValuesTab = 1, // "Текущие значения"
    ConfigurationTab = 2, // "Конфигурация"
    RelayControlTab = 3, // "Управление реле"
    JournalTab = 4, // "Журнал событий"
    ServiceTab = 5, // "Техническая"
    TimerTab = 6, // "Управление по таймеру"
};
inline constexpr int tabCount = 7;

struct TabEntry
{
    ActionSet enabled; // the actions the tab offers in this state
    bool runsRefresh = false; // the tab then runs a_refresh (which does nothing while disabled)
    bool needsEntryCheck = false; // "Управление реле": enabled only after its safety check passed
};

ActionSet switchedByTab();

// What entering `tab` enables, with the port open or closed, editing locked
// or not, and a relay selected or none (a settings file may then be opened,
// and nothing is written).
TabEntry onTabEntered(int tab, bool portOpen, bool confLocked, bool relaySelected = true);

} // namespace ActionEnabling

} // namespace miv
