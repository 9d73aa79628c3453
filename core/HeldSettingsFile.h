#pragma once

#include "core/ParameterCatalogue.h"
#include "core/TimerSchedule.h"

#include <array>
#include <optional>
#include <QString>

namespace miv {

class ConfigGrid;

// The values a settings file gives, at one moment: rows 0-31 as the file
// keeps them (a disabled row's real value, not the text shown for it) and the
// timer schedule.
struct SettingsSnapshot
{
    static constexpr int rowCount = ConfigRow::lastSwitch + 1;

    std::array<QString, rowCount> values;
    std::array<QTime, TimerSchedule::markCount> marks;
    std::array<QString, TimerSchedule::buttonCount> buttons;

    static SettingsSnapshot of(const ConfigGrid &grid, const TimerSchedule &timer);
    bool operator==(const SettingsSnapshot &) const = default;
};

// A settings file opened with no relay at hand: the grid and the timer
// schedule hold its values, for a relay type the operator chose. No relay is
// touched while it is held. When a relay is identified afterwards, the
// values are put aside (`offered`) and the grid belongs to the relay: the
// operator decides whether they are carried to it, so that nothing made for
// no relay in particular reaches one silently.
struct HeldSettingsFile
{
    QString path; // the file opened, or saved to last
    quint16 typeCode = 4; // the relay type the file is edited for
    SettingsSnapshot asSaved; // as opened or saved last: what "unsaved" compares with
    std::optional<SettingsSnapshot> offered; // the values put aside when a relay was identified
};

} // namespace miv
