#include "link/LineHints.h"

namespace miv {

namespace {

bool reaches(quint64 count, quint64 requests, quint64 minimum, double share)
{
    return count >= minimum && double(count) >= share * double(requests);
}

} // namespace

QStringList lineHints(const BusCounters &counters)
{
    using namespace LineHints;
    QStringList hints;
    const quint64 requests = counters.requests;
    if (reaches(counters.crcErrors, requests, minimumCount, minimumShare))
        hints << crcErrors;
    if (reaches(counters.otherAddressReplies, requests, minimumCount, minimumShare))
        hints << otherAddress;
    if (reaches(counters.lateReplies, requests, minimumCount, minimumShare))
        hints << lateReplies;
    if (reaches(counters.noiseBytes, requests, minimumNoiseBytes, minimumNoiseShare))
        hints << noise;
    return hints;
}

} // namespace miv
