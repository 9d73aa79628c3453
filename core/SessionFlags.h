#pragma once

namespace miv {

// The program-wide flags, owned by the data module.
struct SessionFlags
{
    bool unwrittenChanges = false; // the grid holds operator changes not yet written
    bool editingLocked = true; // editing and the timer write need the password first
    bool autoRefresh = false; // the refresh timer runs exactly while this is set
    bool startLimitView = false;
};

} // namespace miv
