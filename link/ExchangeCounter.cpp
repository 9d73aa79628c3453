#include "link/ExchangeCounter.h"

#include <algorithm>

namespace miv {

namespace {

constexpr quint8 highestRelayAddress = 247;

// The length of the valid reply frame at `at` (a relay's address, a function
// the bus asks or its refusal, a length that fits, the right CRC), or 0.
qsizetype validReplyAt(QByteArrayView bytes, qsizetype at)
{
    if (bytes.size() - at < modbus::exceptionReplyLength)
        return 0;
    const quint8 address = quint8(bytes[at]);
    const quint8 function = quint8(bytes[at + 1]);
    if (address == modbus::broadcastAddress || address > highestRelayAddress)
        return 0;
    qsizetype length = 0;
    switch (function) {
    case modbus::ReadHoldingRegisters:
        length = 5 + quint8(bytes[at + 2]);
        break;
    case modbus::WriteSingleCoil:
    case modbus::WriteSingleRegister:
    case modbus::WriteMultipleRegisters:
        length = 8;
        break;
    case modbus::ReadExceptionStatus:
        length = 5;
        break;
    default:
        length = (function & 0x80) ? modbus::exceptionReplyLength : 0;
    }
    if (length == 0 || at + length > bytes.size())
        return 0;
    return modbus::hasValidCrc(bytes.sliced(at, length)) ? length : 0;
}

// The length of a damaged reply to `request` at `at`: its address and
// function (or refusal) with a wrong CRC, or cut short by the end of the
// bytes; 0 when the bytes do not start so.
qsizetype damagedReplyAt(QByteArrayView bytes, qsizetype at, QByteArrayView request)
{
    if (bytes.size() - at < 2 || quint8(bytes[at]) != quint8(request[0]))
        return 0;
    const quint8 function = quint8(bytes[at + 1]);
    if ((function & 0x7F) != quint8(request[1]))
        return 0;
    const qsizetype length = (function & 0x80) ? modbus::exceptionReplyLength
                                               : modbus::replyLength(request).value_or(0);
    return std::min(length, bytes.size() - at);
}

} // namespace

void ExchangeCounter::noteRequest(const QByteArray &request)
{
    const quint8 address = quint8(request[0]);
    // A new request: the replies owed to an earlier one were watched for
    // before it went out (see RelayBus::drainLateReply).
    if (m_lastRequest[address] != request) {
        m_lastRequest[address] = request;
        m_owedReplies[address] = 0;
    }
}

void ExchangeCounter::oweReply(quint8 address)
{
    m_owedReplies[address] = std::min<quint8>(m_owedReplies[address] + 1, maxOwedReplies);
}

void ExchangeCounter::settleReply(quint8 address)
{
    if (m_owedReplies[address] > 0)
        --m_owedReplies[address];
}

void ExchangeCounter::countUnawaitedFrame(quint8 from, QByteArrayView request)
{
    if (m_owedReplies[from] > 0) {
        settleReply(from);
        m_statistics.count(from, [](BusCounters &counters) { ++counters.lateReplies; });
        return;
    }
    quint8 blamed = from;
    if (m_lastRequest[from].isEmpty())
        blamed = request.isEmpty() ? m_lastAddress : quint8(request[0]);
    m_statistics.count(blamed, [](BusCounters &counters) { ++counters.otherAddressReplies; });
}

ExchangeCounter::Walk ExchangeCounter::walk(QByteArrayView bytes, const modbus::ReplyMatch &reply,
                                            QByteArrayView request)
{
    Walk result;
    const bool replied = reply.kind != modbus::ReplyMatch::Incomplete;
    qsizetype at = 0;
    while (at < bytes.size()) {
        if (replied && at == reply.offset) {
            at += reply.length;
            continue;
        }
        // No frame reaches into the awaited reply.
        const QByteArrayView before =
                replied && at < reply.offset ? bytes.first(reply.offset) : bytes;
        if (const qsizetype length = validReplyAt(before, at)) {
            countUnawaitedFrame(quint8(bytes[at]), request);
            at += length;
            continue;
        }
        // A relay sends one reply to a request: beside a valid one, nothing
        // is taken for a damaged one.
        if (!replied && !request.isEmpty()) {
            if (const qsizetype length = damagedReplyAt(bytes, at, request)) {
                ++result.damagedReplies;
                at += length;
                continue;
            }
        }
        ++result.noiseBytes;
        ++at;
    }
    return result;
}

void ExchangeCounter::countExchange(const Exchange &exchange)
{
    const quint8 address = quint8(exchange.request[0]);
    m_lastAddress = address;
    if (address == modbus::broadcastAddress) {
        // Nobody answers a broadcast: it is a request and nothing else.
        m_statistics.count(address, [](BusCounters &counters) { ++counters.requests; });
        return;
    }
    noteRequest(exchange.request);
    const Walk seen = walk(exchange.received, exchange.reply, exchange.request);
    const modbus::ReplyMatch &reply = exchange.reply;
    // Unanswered, the request may still bring its reply, late.
    if (reply.kind == modbus::ReplyMatch::Incomplete)
        oweReply(address);
    m_statistics.count(address, [&](BusCounters &counters) {
        ++counters.requests;
        counters.retries += exchange.repetition ? 1 : 0;
        counters.crcErrors += seen.damagedReplies;
        counters.noiseBytes += seen.noiseBytes;
        if (reply.kind == modbus::ReplyMatch::Incomplete) {
            ++counters.noAnswers;
            return;
        }
        ++counters.answers;
        counters.responseTimes.add(exchange.responseMs);
        if (reply.kind == modbus::ReplyMatch::Exception)
            ++counters.exceptions[reply.exceptionCode];
    });
}

void ExchangeCounter::countStrayInput(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    const Walk seen = walk(bytes, {}, {});
    if (seen.noiseBytes > 0)
        m_statistics.count(m_lastAddress,
                           [&](BusCounters &counters) { counters.noiseBytes += seen.noiseBytes; });
}

} // namespace miv
