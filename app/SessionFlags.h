#pragma once

// The program-wide flags, owned by the data module.
struct SessionFlags {
    bool conf_changed = false; // the grid holds operator changes not yet written
    bool conf_locked = true;   // editing and the timer write need the password first
    bool AutoRefresh = false;  // the refresh timer runs exactly while this is set
    bool StartLimitView = false;
};
