#include "core/HeldSettingsFile.h"

#include "core/ConfigGrid.h"

namespace miv {

SettingsSnapshot SettingsSnapshot::of(const ConfigGrid &grid, const TimerSchedule &timer)
{
    SettingsSnapshot snapshot;
    for (int row = 0; row < rowCount; ++row) {
        const QString aside = grid.text(row, ConfigGrid::SavedText);
        snapshot.values[size_t(row)] = aside.isEmpty() ? grid.text(row, ConfigGrid::Value) : aside;
    }
    for (int i = 0; i < TimerSchedule::markCount; ++i)
        snapshot.marks[size_t(i)] = timer.marks[size_t(i)].time;
    snapshot.buttons = timer.buttons;
    return snapshot;
}

} // namespace miv
