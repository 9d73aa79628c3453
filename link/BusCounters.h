#pragma once

#include "link/ResponseTimes.h"

#include <QtGlobal>
#include <map>

namespace miv {

// What the bus saw at one relay address over some span of time: the figures
// of the line's diagnostics. A request is one frame on the wire, so that a
// request repeated after a failed exchange counts twice, once as a retry; each
// request ends as an answer or as no answer.
struct BusCounters
{
    quint64 requests = 0; // frames sent, repetitions included
    quint64 answers = 0; // valid replies, the relay's refusals included
    quint64 noAnswers = 0; // requests that got no valid reply in their wait
    // Replies with the right address and function that failed their CRC or
    // ended short: the line damaged them.
    quint64 crcErrors = 0;
    // Valid frames that were no reply waited for: another address answered
    // the request, or a reply came that the relay owed none (a second relay
    // answering at the same address).
    quint64 otherAddressReplies = 0;
    quint64 lateReplies = 0; // replies that came after their wait was over, dropped
    quint64 noiseBytes = 0; // bytes that were part of no frame
    quint64 retries = 0; // requests that repeated one that was not answered
    std::map<quint8, quint64> exceptions; // the relay's refusals by exception code
    ResponseTimes responseTimes; // of the answers, from the request going out to the reply's end

    quint64 exceptionReplies() const;
    BusCounters &operator+=(const BusCounters &other);
};

} // namespace miv
