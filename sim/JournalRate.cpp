#include "sim/JournalRate.h"

#include <algorithm>

namespace miv::sim {

namespace {
constexpr qint64 minuteMs = 60 * 1000;
}

JournalRate::JournalRate(int perMinute, qint64 startMs)
    : m_perMinute(std::clamp(perMinute, 0, maxPerMinute)), m_startMs(startMs)
{ }

qint64 JournalRate::dueBy(qint64 nowMs) const
{
    if (m_perMinute == 0 || nowMs <= m_startMs)
        return 0;
    return (nowMs - m_startMs) * m_perMinute / minuteMs;
}

QList<qint64> JournalRate::take(qint64 nowMs)
{
    QList<qint64> times;
    for (const qint64 due = dueBy(nowMs); m_taken < due; ++m_taken)
        times << m_startMs + (m_taken + 1) * minuteMs / m_perMinute;
    return times;
}

} // namespace miv::sim
