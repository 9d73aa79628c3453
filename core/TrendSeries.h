#pragma once

#include "core/LiveValues.h"
#include "core/RelayIdentity.h"

#include <deque>
#include <optional>
#include <QDateTime>

namespace miv {

// The live values of one relay over the last hour, a point per refresh, for
// the trend chart and its CSV. The memory stays bounded however fast the
// refreshes come: points closer together than `slotMs` share one slot, which
// keeps the latest of them, and points older than an hour before the newest
// are dropped; an hour holds at most keptMs / slotMs + 1 points.
class TrendSeries
{
public:
    static constexpr qint64 keptMs = 60 * 60 * 1000;
    // Below the fastest interval the operator is offered (0,5 s), so that
    // automatic refresh at that interval keeps every point despite the
    // timer's jitter.
    static constexpr qint64 slotMs = 400;
    static constexpr std::size_t maximumPoints = std::size_t(keptMs / slotMs) + 1;

    struct Point
    {
        qint64 timeMs = 0; // of the refresh, ms since the epoch
        LiveValues values;
        QDateTime time() const { return QDateTime::fromMSecsSinceEpoch(timeMs); }
    };

    // A refresh of `relay` at `time`. Another relay than the series' starts a
    // new series, and so does a time before the newest point (the PC's clock
    // set back), which would break the order of the times.
    void add(const QDateTime &time, const RelayIdentity &relay, const LiveValues &values);
    // Drops every point; the next point starts a new series.
    void clear();

    const std::deque<Point> &points() const { return m_points; }
    std::optional<RelayIdentity> relay() const { return m_relay; }
    // Changes whenever a new series starts (or the series is cleared).
    quint64 seriesNumber() const { return m_seriesNumber; }

private:
    void startSeries(const RelayIdentity &relay);

    std::deque<Point> m_points;
    std::optional<RelayIdentity> m_relay;
    quint64 m_seriesNumber = 0;
    qint64 m_slotStartMs = 0; // when the newest point's slot began
};

} // namespace miv
