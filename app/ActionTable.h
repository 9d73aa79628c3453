#pragma once

#include "app/ActionId.h"

#include <QString>
#include <array>
#include <optional>

namespace miv {

// Caption, hint and icon (index into the toolbar icon list; -1 for none) of
// every action of the data module.
struct ActionInfo
{
    ActionId id;
    const char *name; // the action's object name
    QString caption;
    QString hint;
    int icon;
    const char *shortcut = nullptr; // the key, as QKeySequence reads it ("F1")
};

namespace ActionTable {

const std::array<ActionInfo, actionCount> &all();
const ActionInfo &info(ActionId id);

// The toolbar's buttons, left to right; nullopt stands for a separator.
const std::array<std::optional<ActionId>, 14> &toolbarOrder();

// Icon indices of the toolbar icon list that the program switches to.
inline constexpr int iconClock = 3;
inline constexpr int iconStop = 4;
inline constexpr int iconPlugConnected = 8;
inline constexpr int iconPlugPulled = 9;

} // namespace ActionTable

} // namespace miv
