#include "core/TrendSeries.h"

#include <gtest/gtest.h>

using namespace miv;

namespace {

const QDateTime start(QDate(2025, 3, 3), QTime(8, 0));
constexpr RelayIdentity relay1{1, 1001};

LiveValues withCurrent(quint16 tenths)
{
    LiveValues values;
    values.blockA[21 - 16] = tenths;
    return values;
}

// Refreshes far quicker than any interval, for two hours: the memory stays
// bounded, the last hour is kept, and each slot holds its latest values.
TEST(TrendSeries, keepsTheLastHourInBoundedMemoryWhateverTheRefreshRate)
{
    TrendSeries series;
    const int stepMs = 100;
    for (int ms = 0; ms <= 2 * 3600 * 1000; ms += stepMs)
        series.add(start.addMSecs(ms), relay1, withCurrent(quint16(ms / stepMs % 1000)));
    const auto &points = series.points();
    EXPECT_LE(points.size(), TrendSeries::maximumPoints);
    EXPECT_GE(points.size(), TrendSeries::maximumPoints - 1);
    const qint64 newest = start.addMSecs(2 * 3600 * 1000).toMSecsSinceEpoch();
    EXPECT_EQ(points.back().timeMs, newest);
    EXPECT_GE(points.front().timeMs, newest - TrendSeries::keptMs);
    EXPECT_LT(points.front().timeMs, newest - TrendSeries::keptMs + TrendSeries::slotMs);
    EXPECT_EQ(points.back().values.value(21), 72000 % 1000) << "the latest values of the slot";
    EXPECT_EQ(points[points.size() - 2].values.value(21), 71999 % 1000);
}

// Refreshes exactly one slot apart for more than an hour: every point of the
// last hour is kept, 9001 of them, the oldest exactly an hour before the newest.
TEST(TrendSeries, refreshesOneSlotApartKeepExactlyTheLastHour)
{
    TrendSeries series;
    const qint64 lastMs = TrendSeries::keptMs + 50 * TrendSeries::slotMs;
    for (qint64 ms = 0; ms <= lastMs; ms += TrendSeries::slotMs)
        series.add(start.addMSecs(ms), relay1, withCurrent(quint16(ms / TrendSeries::slotMs)));
    const auto &points = series.points();
    ASSERT_EQ(points.size(), std::size_t(9001));
    EXPECT_EQ(points.back().timeMs - points.front().timeMs, TrendSeries::keptMs);
    EXPECT_EQ(points.front().values.value(21), 50) << "the oldest of the hour, not one before";
}

TEST(TrendSeries, refreshesAtTheFastestIntervalKeepEveryPointDespiteJitter)
{
    TrendSeries series;
    const int times[] = {0, 501, 999, 1502, 1998};
    for (int ms : times)
        series.add(start.addMSecs(ms), relay1, withCurrent(1));
    EXPECT_EQ(series.points().size(), std::size(times));
}

TEST(TrendSeries, anotherRelayOrTheClockSetBackStartsANewSeries)
{
    TrendSeries series;
    series.add(start, relay1, withCurrent(1));
    series.add(start.addSecs(1), relay1, withCurrent(2));
    const quint64 first = series.seriesNumber();

    series.add(start.addSecs(2), RelayIdentity{1, 1002}, withCurrent(3));
    EXPECT_NE(series.seriesNumber(), first) << "another relay at the same address";
    EXPECT_EQ(series.points().size(), 1u);
    EXPECT_EQ(series.relay(), (RelayIdentity{1, 1002}));

    const quint64 second = series.seriesNumber();
    series.add(start, RelayIdentity{1, 1002}, withCurrent(4));
    EXPECT_NE(series.seriesNumber(), second);
    EXPECT_EQ(series.points().size(), 1u);
    EXPECT_EQ(series.points().front().values.value(21), 4);
}

} // namespace
