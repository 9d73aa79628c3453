#pragma once

namespace miv {

// The latest decoded live state of the relay. Identification resets the three
// states below; the live-value read fills and uses them.
struct LiveValues {
    int loadLampState = 1;  // the load lamp's colour state
    int relayState = 0;     // relay state from the last read
    int previousRelayState = 0; // relay state of the read before
};

} // namespace miv
