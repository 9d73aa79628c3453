// The line's figures: response times read from their buckets, the last
// minute against a clock of the test's own, and the hints they give.
#include "link/BusStatistics.h"
#include "link/LineHints.h"

#include <gtest/gtest.h>
#include <initializer_list>

using namespace miv;

namespace {

TEST(ResponseTimes, medianPercentileAndLongestComeFromTheBuckets)
{
    struct Case
    {
        const char *name;
        std::initializer_list<double> samplesMs;
        double medianMs;
        double percentile95Ms;
        double longestMs;
    };
    const Case cases[] = {
            {"all alike: the exact time, not the bucket's edge", {3, 3, 3, 3}, 3, 3, 3},
            // Ten in (10, 20], read as spread evenly from the shortest, 11,
            // to the longest, 19.5: the median halfway, the 95th near the top.
            {"one bucket", {11, 12, 13, 14, 15, 16, 17, 18, 19, 19.5}, 15.25, 19.075, 19.5},
            // 19 fast replies in (2, 5] and one slow: both figures stay with the fast.
            {"one slow reply",
             {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 1500},
             4 + 10.0 / 19,
             5,
             1500},
            {"beyond the last bound", {2500, 3000}, 2750, 2975, 3000},
    };
    for (const Case &c : cases) {
        ResponseTimes times;
        for (double ms : c.samplesMs)
            times.add(ms);
        EXPECT_EQ(times.count(), c.samplesMs.size()) << c.name;
        EXPECT_NEAR(*times.medianMs(), c.medianMs, 0.01) << c.name;
        EXPECT_NEAR(*times.percentile95Ms(), c.percentile95Ms, 0.01) << c.name;
        EXPECT_EQ(*times.longestMs(), c.longestMs) << c.name;
    }
    EXPECT_FALSE(ResponseTimes().medianMs()) << "no answer, no time";
}

TEST(BusStatistics, theLastMinuteForgetsWhatIsOlderTheTotalKeepsIt)
{
    qint64 nowMs = 5000;
    BusStatistics statistics([&nowMs] { return nowMs; });
    const auto request = [&](quint8 address, double ms) {
        statistics.count(address, [ms](BusCounters &counters) {
            ++counters.requests;
            ++counters.answers;
            counters.responseTimes.add(ms);
        });
    };
    struct Step
    {
        qint64 atMs;
        quint8 address;
        quint64 total; // requests of address 1 since the start
        quint64 lastMinute;
    };
    // Second 5 holds 2 requests; second 64 is the last that still sees them.
    const Step steps[] = {
            {5000, 1, 1, 1},  {5999, 1, 2, 2},  {30000, 1, 3, 3},  {64999, 6, 3, 3},
            {65000, 1, 4, 2}, {90000, 1, 5, 2}, {200000, 6, 5, 0},
    };
    for (const Step &step : steps) {
        nowMs = step.atMs;
        request(step.address, 10);
        EXPECT_EQ(statistics.total(1).requests, step.total) << step.atMs;
        EXPECT_EQ(statistics.lastMinute(1).requests, step.lastMinute) << step.atMs;
    }
    EXPECT_EQ(statistics.addresses(), QList<quint8>({1, 6}));
    EXPECT_EQ(statistics.lastMinute(6).requests, 1u);
    EXPECT_EQ(statistics.total(6).responseTimes.count(), 2u);

    statistics.reset();
    EXPECT_TRUE(statistics.addresses().isEmpty());
    EXPECT_EQ(statistics.total(1).requests, 0u);
}

TEST(LineHints, aHintNeedsItsCountAndItsShareOfTheRequests)
{
    using namespace LineHints;
    struct Case
    {
        const char *name;
        quint64 requests, crcErrors, otherAddress, late, noise;
        QStringList hints;
    };
    const Case cases[] = {
            {"a clean line", 1000, 0, 0, 0, 0, {}},
            {"two CRC errors are a glitch", 10, 2, 0, 0, 0, {}},
            {"three in a hundred", 100, 3, 0, 0, 0, {crcErrors}},
            {"three in a thousand are below 1 %", 1000, 3, 0, 0, 0, {}},
            {"another address", 50, 0, 3, 0, 0, {otherAddress}},
            {"late replies", 50, 0, 0, 5, 0, {lateReplies}},
            {"noise", 100, 0, 0, 0, 16, {noise}},
            {"a little noise on a long run", 1000, 0, 0, 0, 16, {}},
            {"all at once, in order",
             10,
             3,
             3,
             3,
             16,
             {crcErrors, otherAddress, lateReplies, noise}},
    };
    for (const Case &c : cases) {
        BusCounters counters;
        counters.requests = c.requests;
        counters.crcErrors = c.crcErrors;
        counters.otherAddressReplies = c.otherAddress;
        counters.lateReplies = c.late;
        counters.noiseBytes = c.noise;
        EXPECT_EQ(lineHints(counters), c.hints) << c.name;
    }
}

} // namespace
