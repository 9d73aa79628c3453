#pragma once

#include "link/BusStatistics.h"
#include "link/ModbusFrame.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>

namespace miv {

// Turns what the bus saw into the figures of BusStatistics: every request's
// exchange, and the input that came while no reply was awaited.
//
// Bytes that were no awaited reply are sorted into frames and noise. A valid
// frame from a relay that still owes replies (requests of its that went
// unanswered, at most three: a request and its two repetitions) is a late
// reply of that relay. Any other valid frame is a reply from another address.
// It counts against the relay it names when that relay was asked before: the
// relay answered more often than it was asked, as a second relay at its
// address makes it do. A frame naming a relay never asked counts against the
// relay asked when it came (a relay answering with another address), or
// between exchanges against the relay asked last. In a failed exchange,
// bytes that start with the asked address and function but fail the CRC or
// end short are a CRC error. Noise counts against the relay asked last: it
// came after that relay's request.
class ExchangeCounter
{
public:
    explicit ExchangeCounter(BusStatistics &statistics) : m_statistics(statistics) { }

    // One request on the wire and what its wait brought.
    struct Exchange
    {
        const QByteArray &request;
        QByteArrayView received; // every byte that came during the wait
        modbus::ReplyMatch reply; // the reply found in `received`; Incomplete: none
        double responseMs = 0; // from the request going out to the reply's last byte
        bool repetition = false; // the request repeats one that was not answered
    };

    void countExchange(const Exchange &exchange);
    void countStrayInput(QByteArrayView bytes);

private:
    struct Walk
    {
        quint64 noiseBytes = 0;
        quint64 damagedReplies = 0;
    };
    static constexpr quint8 maxOwedReplies = 3;

    void noteRequest(const QByteArray &request);
    void oweReply(quint8 address);
    void settleReply(quint8 address);
    // Sorts `bytes` (those of an exchange with `request`, or stray input when
    // it is empty) around the awaited `reply`, counting the frames in them.
    Walk walk(QByteArrayView bytes, const modbus::ReplyMatch &reply, QByteArrayView request);
    void countUnawaitedFrame(quint8 from, QByteArrayView request);

    BusStatistics &m_statistics;
    std::array<QByteArray, 256> m_lastRequest; // per address
    std::array<quint8, 256> m_owedReplies{}; // per address
    quint8 m_lastAddress = 0;
};

} // namespace miv
