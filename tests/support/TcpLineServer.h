#pragma once

#include "sim/RelayLine.h"

#include <QMutex>
#include <QThread>
#include <atomic>
#include <functional>

// The tests speak of the simulated line by its own names.
using miv::sim::RelayLine;

class TcpLineWorker;

// A RelayLine served over TCP on 127.0.0.1 from a thread of its own, so that
// a blocking RelayBus in the test's thread can talk to it as to a gateway.
// Each client's bytes go to the line; its replies come back after the relay's
// delay. What a real network may do is set between exchanges: a reply cut
// into two TCP segments, replies lost, the connection closed on a request.
class TcpLineServer
{
public:
    explicit TcpLineServer(RelayLine &line);
    ~TcpLineServer();
    TcpLineServer(const TcpLineServer &) = delete;
    TcpLineServer &operator=(const TcpLineServer &) = delete;

    // 0 when it could not listen.
    quint16 port() const { return m_port; }
    QString gateway() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    // Changes the line while no request is being answered.
    void withLine(const std::function<void(RelayLine &)> &change);

    // Replies go out as `firstBytes`, then after `gapMs` the rest (0: whole).
    void splitReplies(int firstBytes, int gapMs)
    {
        m_splitAt = firstBytes;
        m_splitGapMs = gapMs;
    }
    // The next `count` replies are lost on the way.
    void loseReplies(int count) { m_lose = count; }
    // The next request makes the server close that connection unanswered.
    void closeOnNextRequest() { m_closeOnRequest = true; }

    int connectionsAccepted() const { return m_accepted; }
    int repliesLost() const { return m_lost; }

private:
    friend class TcpLineWorker;

    RelayLine &m_line;
    QMutex m_lineLock;
    QThread m_thread;
    TcpLineWorker *m_worker = nullptr;
    quint16 m_port = 0;
    std::atomic<int> m_splitAt{0};
    std::atomic<int> m_splitGapMs{0};
    std::atomic<int> m_lose{0};
    std::atomic<bool> m_closeOnRequest{false};
    std::atomic<int> m_accepted{0};
    std::atomic<int> m_lost{0};
};
