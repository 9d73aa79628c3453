#include "telemetry/SilentRelayBackoff.h"

#include <algorithm>

namespace miv::telemetry {

int SilentRelayBackoff::waitMs(int misses, int retries)
{
    if (!isOffline(misses, retries))
        return 0;
    int wait = firstWaitMs;
    for (int offlineMiss = misses - retries; offlineMiss > 1 && wait < longestWaitMs; --offlineMiss)
        wait *= 2;
    return std::min(wait, longestWaitMs);
}

} // namespace miv::telemetry
