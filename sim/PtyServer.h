#pragma once

#include "sim/RelayLine.h"
#include "sim/RequestLog.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <csignal>
#include <deque>
#include <vector>

namespace miv::sim {

// Serves a RelayLine on a pseudo-terminal: the configurator (or any Modbus
// master) opens the slave side as its serial port; the server reads requests
// from the master side and writes the relays' replies back. It may also
// listen on 127.0.0.1 for TCP clients, as a serial-to-Ethernet gateway does:
// each client's bytes go to the same line, and its replies back to it.
//
// With a speed set, the line behaves like a real one in time: a request is
// taken only when its last byte would have arrived (bytes arriving together
// are spread over their time on the wire), and each reply byte is handed over
// only when it would have been received completely, so the reply's last byte
// arrives no earlier than on a real line. Without a speed, replies go out at
// once after the relay's latency.
//
// The pseudo-terminal and every TCP client share the one line: their requests
// and replies take turns on it, paced alike.
//
// Single-threaded: one ppoll() loop, woken by input, a new client, the next
// byte due, or a signal.
class PtyServer
{
public:
    PtyServer(RelayLine &line, RequestLog &log);
    ~PtyServer();
    PtyServer(const PtyServer &) = delete;
    PtyServer &operator=(const PtyServer &) = delete;

    // Opens the pseudo-terminal in raw mode. False with `error` set on failure.
    bool open(QString *error);
    QString slavePath() const { return m_slavePath; }

    // Listens on 127.0.0.1:port (0: a free port the system picks). False with
    // `error` set on failure. Call after open().
    bool listenTcp(quint16 port, QString *error);
    quint16 tcpPort() const { return m_tcpPort; }
    // With a strict line (RelayLine::setStrictLine) each request is answered
    // at the speed and stop bits the client set on its side of the
    // pseudo-terminal; its parity cannot be told (ptys refuse it).

    // 0 bit/s: no pacing.
    void setLineSpeed(int baudRate, int bitsPerCharacter);

    // Serves until `stop` becomes non-zero. The caller blocks the stop signals;
    // they are let through only while waiting (`waitMask`), so that a signal can
    // never slip in between the check and the wait. Returns 0, or 1 when the
    // pseudo-terminal failed.
    int run(const volatile std::sig_atomic_t &stop, const sigset_t &waitMask);

private:
    // Where requests come from and replies go: the pseudo-terminal's master
    // (always the first) or a TCP client.
    struct Channel
    {
        int id = 0;
        int fd = -1;
        bool socket = false;
        QByteArray input;
        QList<qint64> inputEndNs; // when each byte of input has fully arrived
        bool writeBlocked = false;
    };
    struct Outgoing
    {
        int channel = 0;
        QByteArray bytes;
        qint64 startNs = 0; // when its first byte starts on the wire
        qsizetype sent = 0;
    };

    // Reads what the channel has; false when a client ended its connection.
    bool receive(Channel &channel, qint64 nowNs);
    // Takes the requests that are complete on the wire; returns when the next
    // one will be, or -1.
    qint64 takeRequests(qint64 nowNs);
    qint64 takeRequests(Channel &channel, qint64 nowNs);
    void answer(const QByteArray &request, qint64 takenNs, int channel);
    void acceptClients();
    Channel *channel(int id);
    void dropChannel(int id);
    void answer(const QByteArray &request, qint64 takenNs);
    // Tells the line the speed and stop bits the client's side is set to.
    void readClientLine();
    void schedule(const Outgoing &outgoing);
    // Hands over the reply bytes that are due; returns when the next one is, or -1.
    qint64 sendDue(qint64 nowNs);
    qint64 byteDueNs(const Outgoing &outgoing, qsizetype index) const;

    RelayLine &m_line;
    RequestLog &m_log;
    int m_master = -1;
    int m_slave = -1; // held open so that the master never sees a hang-up
    QString m_slavePath;
    int m_listener = -1;
    quint16 m_tcpPort = 0;
    qint64 m_characterNs = 0;
    qint64 m_startNs = 0;

    std::vector<Channel> m_channels;
    int m_nextChannelId = 0;
    qint64 m_lastInputEndNs = 0; // of the one line, whoever sent
    std::deque<Outgoing> m_output; // by the time they are due
};

} // namespace miv::sim
