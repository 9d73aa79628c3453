#include "link/ResponseTimes.h"

#include <algorithm>
#include <cmath>

namespace miv {

void ResponseTimes::add(double ms)
{
    ms = std::max(0.0, ms);
    const auto bound = std::lower_bound(boundsMs.begin(), boundsMs.end(), ms);
    ++m_buckets[std::size_t(bound - boundsMs.begin())];
    m_shortestMs = m_count == 0 ? ms : std::min(m_shortestMs, ms);
    m_longestMs = m_count == 0 ? ms : std::max(m_longestMs, ms);
    ++m_count;
    m_sumMs += ms;
}

ResponseTimes &ResponseTimes::operator+=(const ResponseTimes &other)
{
    if (other.m_count == 0)
        return *this;
    for (int i = 0; i < bucketCount; ++i)
        m_buckets[std::size_t(i)] += other.m_buckets[std::size_t(i)];
    m_shortestMs = m_count == 0 ? other.m_shortestMs : std::min(m_shortestMs, other.m_shortestMs);
    m_longestMs = m_count == 0 ? other.m_longestMs : std::max(m_longestMs, other.m_longestMs);
    m_count += other.m_count;
    m_sumMs += other.m_sumMs;
    return *this;
}

std::optional<double> ResponseTimes::shortestMs() const
{
    return m_count ? std::optional(m_shortestMs) : std::nullopt;
}

std::optional<double> ResponseTimes::longestMs() const
{
    return m_count ? std::optional(m_longestMs) : std::nullopt;
}

std::optional<double> ResponseTimes::quantileMs(double share) const
{
    if (m_count == 0)
        return std::nullopt;
    const double rank = std::clamp(share, 0.0, 1.0) * double(m_count);
    quint64 below = 0;
    for (int i = 0; i < bucketCount; ++i) {
        const quint64 inside = m_buckets[std::size_t(i)];
        if (inside == 0 || double(below + inside) < rank) {
            below += inside;
            continue;
        }
        // The bucket's own edges, narrowed to what was seen: the last bucket
        // has no upper bound but the longest time.
        const double low = std::max(i == 0 ? 0.0 : boundsMs[std::size_t(i - 1)], m_shortestMs);
        const double high = std::min(
                i < int(boundsMs.size()) ? boundsMs[std::size_t(i)] : m_longestMs, m_longestMs);
        const double within = (rank - double(below)) / double(inside);
        return std::clamp(low + (high - low) * within, m_shortestMs, m_longestMs);
    }
    return m_longestMs;
}

} // namespace miv
