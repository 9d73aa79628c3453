#include "link/BusCounters.h"

namespace miv {

quint64 BusCounters::exceptionReplies() const
{
    quint64 sum = 0;
    for (const auto &[code, count] : exceptions)
        sum += count;
    return sum;
}

BusCounters &BusCounters::operator+=(const BusCounters &other)
{
    requests += other.requests;
    answers += other.answers;
    noAnswers += other.noAnswers;
    crcErrors += other.crcErrors;
    otherAddressReplies += other.otherAddressReplies;
    lateReplies += other.lateReplies;
    noiseBytes += other.noiseBytes;
    retries += other.retries;
    for (const auto &[code, count] : other.exceptions)
        exceptions[code] += count;
    responseTimes += other.responseTimes;
    return *this;
}

} // namespace miv
