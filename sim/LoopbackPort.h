#pragma once

#include "sim/RelayLine.h"

#include <QElapsedTimer>
#include <QIODevice>

namespace miv::sim {

// An in-process serial line: what the master writes is handed to a RelayLine
// at once, and its replies become readable after their delay. No thread, no
// event loop: waitForReadyRead sleeps until a reply is due.
//
// Controls for tests:
//   line()              the relays and their faults
//   feedGarbage(bytes)  bytes that arrive unasked (stale input)
//   vanish()            the port disappears: every later call fails
//   vanishAtRequest(n)  the n-th request from now (1: the next) reaches the
//                       line, but the port disappears before any reply
//   reappear()          the port is back: it opens again
//   failWriteAt(n)      writing the n-th request from now (1: the next) fails
//                       once, as a port's write error; the port stays open
//   written()           every byte the master wrote
//   setClientLine(s)    the speed, parity and stop bits the master's port is
//                       set to, for a strict line (RelayLine::setStrictLine)
//   setPacing(baud)     the wire's own time: a reply comes after the request
//                       and the reply took their time on the wire at `baud`
//                       (10 bits a character; 0, the default: at once)
class LoopbackPort : public QIODevice
{
    Q_OBJECT
public:
    explicit LoopbackPort(RelayLine &line, QObject *parent = nullptr);

    RelayLine &line() { return m_line; }
    void feedGarbage(const QByteArray &bytes);
    void vanish();
    void vanishAtRequest(int n) { m_requestsBeforeVanishing = n; }
    void reappear() { m_vanished = false; }
    void failWriteAt(int n) { m_writesBeforeFailure = n; }
    bool hasVanished() const { return m_vanished; }
    QByteArray written() const { return m_written; }
    void setClientLine(const RelayLine::LineSettings &settings) { m_line.setClientLine(settings); }
    void setPacing(int baudRate) { m_pacingBaudRate = baudRate; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool waitForReadyRead(int msecs) override;
    bool waitForBytesWritten(int msecs) override;
    bool open(OpenMode mode) override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    struct Pending
    {
        QByteArray bytes;
        qint64 dueMs;
    };
    void releaseDue();
    void schedule(const Pending &pending);

    RelayLine &m_line;
    QElapsedTimer m_clock;
    QByteArray m_incoming; // bytes written, not yet a whole request
    QList<Pending> m_pending; // replies on their way
    QByteArray m_readable;
    QByteArray m_written;
    bool m_vanished = false;
    int m_writesBeforeFailure = 0; // 0: never
    int m_requestsBeforeVanishing = 0; // 0: never
    int m_pacingBaudRate = 0; // 0: no wire time
    bool m_vanishBeforeReply = false; // the request that makes the port vanish went out
};

} // namespace miv::sim
