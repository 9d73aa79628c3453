#pragma once

namespace miv::telemetry {

// How long a relay that stopped answering is left before it is asked again.
// Each ask without an answer is a miss. While the misses are within the
// line's retries the relay is asked again at the next round (its retries
// spread over the rounds, one short question each, rather than spent in one
// round); once they are more, it is offline and asked after 2 s, then after
// twice the last wait, at most 30 s apart: a silent relay costs the others a
// short question now and then.
struct SilentRelayBackoff
{
    static constexpr int firstWaitMs = 2000;
    static constexpr int longestWaitMs = 30000;

    // The wait after the `misses`-th miss in a row (1 the first); 0: the next round.
    static int waitMs(int misses, int retries);
    // Whether `misses` in a row make the relay offline.
    static bool isOffline(int misses, int retries) { return misses > retries; }
};

} // namespace miv::telemetry
