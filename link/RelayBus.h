#pragma once

#include "link/BusReply.h"
#include "link/BusStatistics.h"
#include "link/ExchangeCounter.h"
#include "link/ModbusFrame.h"
#include "link/ReplyString.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QPointer>
#include <QList>
#include <QStringView>
#include <algorithm>
#include <optional>

namespace miv {

// The relay link: the bus operations every part of the program uses, over any
// QIODevice (the open serial port, a TCP connection to a serial gateway, or
// an in-process loopback in tests).
// One exchange at a time, blocking. Before each request stale input is thrown
// away and the line is kept silent for 3.5 characters; a reply is taken only
// when its address, function, length and CRC are right.
class RelayBus
{
public:
    // How long a reply is waited for.
    struct Timing
    {
        int replyTimeoutMs = 1000; // until the first byte of a reply
        int scanTimeoutMs = 120; // the same, for the status query of a scan (see PortSettings)
        int baudRate = 9600; // for the silence and the frame's own time
        int bitsPerCharacter = 10; // start + data + parity + stop bits
        // A failed exchange (no reply, or a damaged one) is asked again up
        // to this many more times; an exception reply is an answer and never
        // repeated. The scan's status query is repeated only after a damaged
        // reply: silence there means nobody is at the address.
        int retries = 2;
    };

    // Input that came when no reply to the request on the line was due: a
    // relay answering after its wait had ended, or noise. The scan looks at
    // it to find relays that answer slowly.
    struct StrayInput
    {
        int bytes = 0; // every stray byte
        int unexplainedBytes = 0; // those that were no status reply frame
        QList<quint8> statusAnswerers; // relays whose status reply came late, in order
    };

    explicit RelayBus(QIODevice *port = nullptr);

    void setPort(QIODevice *port);
    QIODevice *port() const { return m_port; }
    const Timing &timing() const { return m_timing; }
    void setTiming(const Timing &timing) { m_timing = timing; }
    void setReplyTimeoutMs(int ms) { m_timing.replyTimeoutMs = ms; }
    void setScanTimeoutMs(int ms) { m_timing.scanTimeoutMs = ms; }
    void setRetries(int retries) { m_timing.retries = std::max(0, retries); }

    const StrayInput &strayInput() const { return m_stray; }
    void clearStrayInput() { m_stray = {}; }
    // Listens to the line for `ms` and keeps what comes as stray input (the
    // late replies of the last requests). Answered (with no reply) unless the
    // port fails.
    BusReply listen(int ms);
    void setLineSettings(int baudRate, int bitsPerCharacter);

    // How often a request goes out when it gets no valid answer.
    enum class Attempts {
        WithRetries, // once, then up to Timing::retries more times
        Once, // once: the operation repeats the request itself, by its own rule
    };

    // The requests, each with its outcome in one BusReply.
    //
    // The status query (function 07): the reply is address, 07, status byte.
    // waitMs overrides the reply time-out (the scan passes its shorter wait).
    BusReply askStatus(quint8 address, std::optional<int> waitMs = std::nullopt);
    // Reads `count` (1 to 125) registers from `first` (function 03); another
    // count sends nothing and is NoAnswer.
    BusReply askRegisters(quint8 address, quint16 first, quint16 count,
                          Attempts attempts = Attempts::WithRetries);
    // Single writes (functions 06, 05, 16): the reply is the echo as
    // address, function, 4, then the 4 echoed bytes. Address 0 (broadcast)
    // waits for nothing and is Answered with an empty reply.
    BusReply askWriteRegister(quint8 address, quint16 reg, quint16 value);
    BusReply askWriteCoil(quint8 address, quint16 coil, quint16 value);
    BusReply askWriteRegisters(quint8 address, quint16 first, const QList<quint16> &values);

    // What the bus counted for every relay address (see ExchangeCounter):
    // each request of every operation, and what came between them.
    BusStatistics &statistics() { return m_statistics; }
    const BusStatistics &statistics() const { return m_statistics; }

private:
    enum class Outcome { Answered, Refused, Silent };
    struct Exchange
    {
        Outcome outcome = Outcome::Silent;
        QByteArray frame; // without CRC
        quint8 exceptionCode = 0;
        bool damaged = false; // Silent: bytes came that were no valid reply
        // For the statistics: every byte of the wait, the reply in it, and
        // the time from the request going out to the reply's last byte.
        QByteArray received;
        modbus::ReplyMatch reply;
        double responseMs = 0;
    };
    enum class RetryWhen { AnyFailure, Damaged };
    struct PortFailed; // raised inside the bus only, turned into a BusReply at its surface

    Exchange exchange(const QByteArray &request, int firstByteTimeoutMs);
    Exchange exchangeWithRetries(const QByteArray &request, int firstByteTimeoutMs, RetryWhen when,
                                 int retries);
    // Keeps bytes that were no reply to the request on the line; returns how
    // many of them were no status reply frame of another relay.
    int keepStray(QByteArrayView bytes);
    // One request's exchange as a BusReply, the answer's frame shaped by `answerOf`.
    BusReply ask(const QByteArray &request, int firstByteTimeoutMs, RetryWhen when, int retries,
                 ReplyString (*answerOf)(const QByteArray &frame));
    BusReply askWrite(const QByteArray &request);
    void ensurePortUsable() const;
    void portFailed(const QString &what) const;
    void discardStaleInput();
    void drainLateReply(const QByteArray &request);
    // Keeps what comes until `clock` reaches `ms` as stray input; true when
    // anything came.
    bool keepInputUntil(const QElapsedTimer &clock, qint64 ms);
    void keepSilence();
    void markLineActivity();
    bool waitForInput(int ms);
    double characterMs() const;
    double silenceMs() const;

    QPointer<QIODevice> m_port;
    Timing m_timing;
    QElapsedTimer m_lastActivity;
    // The last request that went unanswered at least once (its late reply may still come).
    QByteArray m_unansweredRequest;
    // When the last request equal to m_unansweredRequest went out: each such
    // request may still bring a reply of its own.
    QElapsedTimer m_unansweredSentAt;
    StrayInput m_stray;
    BusStatistics m_statistics;
    ExchangeCounter m_counter{m_statistics};
};

} // namespace miv
