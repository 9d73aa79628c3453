#pragma once

#include <QtGlobal>
#include <array>
#include <optional>

namespace miv {

// The response times of one relay in fixed buckets: cheap to add to and to
// sum over seconds, the median and the 95th percentile read from the buckets
// as a Prometheus histogram is read, the shortest and the longest kept exactly.
//
// The bounds fit RS-485 from 115200 bit/s, where a status query and its reply
// take some 2 ms, to 9600 bit/s, where a read of 32 registers takes 80 ms on
// the wire, and up to the longest reply time-out a relay is given.
class ResponseTimes
{
public:
    // Upper bounds of the buckets, in ms; one more bucket takes anything longer.
    static constexpr std::array<double, 11> boundsMs{1,   2,   5,   10,   20,  50,
                                                     100, 200, 500, 1000, 2000};
    static constexpr int bucketCount = int(boundsMs.size()) + 1;

    void add(double ms);
    ResponseTimes &operator+=(const ResponseTimes &other);

    quint64 count() const { return m_count; }
    double sumMs() const { return m_sumMs; }
    // The responses in bucket `index` (not cumulative), 0 to bucketCount - 1.
    quint64 inBucket(int index) const { return m_buckets[std::size_t(index)]; }
    std::optional<double> shortestMs() const;
    std::optional<double> longestMs() const;

    // The time within which `share` (0 to 1) of the responses came: linear
    // within the bucket the share falls in, and never outside the shortest
    // and the longest seen. nullopt when there was none.
    std::optional<double> quantileMs(double share) const;
    std::optional<double> medianMs() const { return quantileMs(0.5); }
    std::optional<double> percentile95Ms() const { return quantileMs(0.95); }

private:
    std::array<quint64, bucketCount> m_buckets{};
    quint64 m_count = 0;
    double m_sumMs = 0;
    double m_shortestMs = 0;
    double m_longestMs = 0;
};

} // namespace miv
