#include "core/TrendSeries.h"

namespace miv {

void TrendSeries::startSeries(const RelayIdentity &relay)
{
    m_points.clear();
    m_relay = relay;
    ++m_seriesNumber;
}

void TrendSeries::clear()
{
    m_points.clear();
    m_relay.reset();
    ++m_seriesNumber;
}

void TrendSeries::add(const QDateTime &time, const RelayIdentity &relay, const LiveValues &values)
{
    const qint64 timeMs = time.toMSecsSinceEpoch();
    if (m_relay != relay || (!m_points.empty() && timeMs < m_points.back().timeMs))
        startSeries(relay);
    if (!m_points.empty() && timeMs - m_slotStartMs < slotMs) {
        Point &latest = m_points.back();
        latest.timeMs = timeMs;
        latest.values = values;
        return;
    }
    m_points.push_back({timeMs, values});
    m_slotStartMs = timeMs;
    while (m_points.front().timeMs < timeMs - keptMs)
        m_points.pop_front();
}

} // namespace miv
