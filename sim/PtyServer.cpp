#include "sim/PtyServer.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace miv::sim {

namespace {

qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

bool makeRaw(int fd)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

PtyServer::PtyServer(RelayLine &line, RequestLog &log) : m_line(line), m_log(log) { }

PtyServer::~PtyServer()
{
    for (const Channel &channel : m_channels)
        if (channel.socket)
            ::close(channel.fd);
    if (m_listener >= 0)
        ::close(m_listener);
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyServer::open(QString *error)
{
    auto fail = [&](const char *what) {
        if (error)
            *error = systemError(what);
        return false;
    };
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return fail("posix_openpt");
    if (grantpt(m_master) != 0)
        return fail("grantpt");
    if (unlockpt(m_master) != 0)
        return fail("unlockpt");
    const char *name = ptsname(m_master);
    if (!name)
        return fail("ptsname");
    m_slavePath = QString::fromLocal8Bit(name);
    // Without an open slave the master reads EIO between two clients.
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0)
        return fail("open slave");
    // No echo, no line editing, no character translation: bytes as they are.
    if (!makeRaw(m_slave))
        return fail("tcsetattr");
    m_startNs = monotonicNs();
    m_channels.push_back(Channel{m_nextChannelId++, m_master, false, {}, {}, false});
    return true;
}

bool PtyServer::listenTcp(quint16 port, QString *error)
{
    auto fail = [&](const char *what) {
        if (error)
            *error = systemError(what);
        if (m_listener >= 0)
            ::close(m_listener);
        m_listener = -1;
        return false;
    };
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listener < 0)
        return fail("socket");
    const int yes = 1;
    setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(m_listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return fail("bind");
    if (::listen(m_listener, 8) != 0)
        return fail("listen");
    socklen_t length = sizeof address;
    if (::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return fail("getsockname");
    m_tcpPort = ntohs(address.sin_port);
    return true;
}

void PtyServer::acceptClients()
{
    for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return; // EAGAIN: no more waiting
        // Each reply byte goes out when it is due, not gathered with the next.
        const int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        m_channels.push_back(Channel{m_nextChannelId++, fd, true, {}, {}, false});
    }
}

PtyServer::Channel *PtyServer::channel(int id)
{
    for (Channel &candidate : m_channels)
        if (candidate.id == id)
            return &candidate;
    return nullptr;
}

void PtyServer::dropChannel(int id)
{
    for (auto at = m_channels.begin(); at != m_channels.end(); ++at) {
        if (at->id == id && at->socket) {
            ::close(at->fd);
            m_channels.erase(at);
            break;
        }
    }
    // Its replies have nobody to go to.
    for (auto at = m_output.begin(); at != m_output.end();)
        at = at->channel == id ? m_output.erase(at) : at + 1;
}

void PtyServer::setLineSpeed(int baudRate, int bitsPerCharacter)
{
    m_characterNs = baudRate > 0 ? qint64(bitsPerCharacter) * 1000000000 / baudRate : 0;
}

bool PtyServer::receive(Channel &channel, qint64 nowNs)
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(channel.fd, buffer, sizeof buffer);
        if (count == 0 && channel.socket)
            return false; // the client ended the connection
        if (count < 0 && channel.socket && errno != EAGAIN && errno != EINTR)
            return false; // reset
        if (count <= 0)
            return true; // EAGAIN: all read; EIO cannot happen while the slave is held
        for (ssize_t i = 0; i < count; ++i) {
            // Bytes that arrive together were written together: on a real
            // line they follow each other, one character time apart.
            m_lastInputEndNs = std::max(nowNs, m_lastInputEndNs) + m_characterNs;
            channel.input.append(buffer[i]);
            channel.inputEndNs.append(m_lastInputEndNs);
        }
    }
}

qint64 PtyServer::takeRequests(qint64 nowNs)
{
    qint64 due = -1;
    // By id, not by reference: answering may not add or drop channels, but
    // stay safe should it ever.
    QList<int> ids;
    for (const Channel &each : m_channels)
        ids.append(each.id);
    for (int id : ids) {
        Channel *each = channel(id);
        if (!each)
            continue;
        const qint64 next = takeRequests(*each, nowNs);
        if (next >= 0 && (due < 0 || next < due))
            due = next;
    }
    return due;
}

qint64 PtyServer::takeRequests(Channel &channel, qint64 nowNs)
{
    if (channel.input.isEmpty())
        return -1;
    QByteArray rest = channel.input;
    const QList<QByteArray> requests = m_line.takeRequests(rest);
    const qsizetype consumed = channel.input.size() - rest.size();
    if (consumed == 0)
        return -1;
    const qint64 completeNs = channel.inputEndNs[consumed - 1];
    if (!requests.isEmpty() && completeNs > nowNs)
        return completeNs; // still on its way
    channel.input = rest;
    channel.inputEndNs.remove(0, consumed);
    const int id = channel.id;
    for (const QByteArray &request : requests)
        answer(request, completeNs, id);
    return -1;
}

void PtyServer::readClientLine()
{
    // On the master side the terminal settings are those of the slave, where
    // the client set them.
    termios settings{};
    if (tcgetattr(m_master, &settings) != 0)
        return;
    const std::pair<speed_t, int> speeds[] = {
            {B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
            {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
    };
    RelayLine::LineSettings client;
    const speed_t speed = cfgetospeed(&settings);
    for (const auto &[code, rate] : speeds)
        if (code == speed)
            client.baudRate = rate;
    client.stopBits = (settings.c_cflag & CSTOPB) ? 2 : 1;
    m_line.setClientLine(client);
}

void PtyServer::answer(const QByteArray &request, qint64 takenNs, int channel)
{
    if (m_line.strictLine())
        readClientLine();
    const auto reply = m_line.answer(request);
    const double timeMs = double(takenNs - m_startNs) / 1e6;
    m_log.record(timeMs, request, reply ? std::optional<QByteArray>(reply->bytes) : std::nullopt,
                 m_line.lastFault());
    if (!reply)
        return;
    Outgoing outgoing;
    outgoing.channel = channel;
    outgoing.bytes = reply->bytes;
    outgoing.startNs = takenNs + qint64(reply->delayMs) * 1000000;
    schedule(outgoing);
    if (!reply->secondBytes.isEmpty()) {
        // A second relay at the address, clear of the first one's reply.
        outgoing.bytes = reply->secondBytes;
        outgoing.startNs += qint64(reply->secondDelayMs) * 1000000;
        schedule(outgoing);
    }
}

void PtyServer::schedule(const Outgoing &outgoing)
{
    // Replies go out in the order they are due, not in the order they were
    // asked for: a late relay's reply must not hold up a prompt one asked later.
    // A reply already on its way keeps its place.
    auto at = m_output.begin();
    if (at != m_output.end() && at->sent > 0)
        ++at;
    while (at != m_output.end() && at->startNs <= outgoing.startNs)
        ++at;
    m_output.insert(at, outgoing);
    // One talker at a time: a reply that would overlap the one before it waits.
    for (size_t i = 1; i < m_output.size(); ++i) {
        const Outgoing &before = m_output[i - 1];
        m_output[i].startNs =
                std::max(m_output[i].startNs, before.startNs + m_characterNs * before.bytes.size());
    }
}

qint64 PtyServer::byteDueNs(const Outgoing &outgoing, qsizetype index) const
{
    return outgoing.startNs + m_characterNs * (index + 1);
}

qint64 PtyServer::sendDue(qint64 nowNs)
{
    for (Channel &each : m_channels)
        each.writeBlocked = false;
    while (!m_output.empty()) {
        Outgoing &front = m_output.front();
        Channel *target = channel(front.channel);
        if (!target) {
            m_output.pop_front();
            continue;
        }
        qsizetype due = front.sent;
        while (due < front.bytes.size() && byteDueNs(front, due) <= nowNs)
            ++due;
        if (due > front.sent) {
            const char *bytes = front.bytes.constData() + front.sent;
            const size_t count = size_t(due - front.sent);
            // MSG_NOSIGNAL: a client gone away is no reason to die of SIGPIPE.
            const ssize_t written = target->socket ? ::send(target->fd, bytes, count, MSG_NOSIGNAL)
                                                   : ::write(target->fd, bytes, count);
            if (written < 0) {
                if (target->socket && errno != EAGAIN) {
                    dropChannel(target->id);
                    continue;
                }
                // The client does not read: the pseudo-terminal's (or socket's) buffer is full.
                target->writeBlocked = errno == EAGAIN;
                return -1;
            }
            front.sent += written;
            if (front.sent < due) {
                target->writeBlocked = true;
                return -1;
            }
        }
        if (front.sent < front.bytes.size())
            return byteDueNs(front, front.sent);
        m_output.pop_front();
    }
    return -1;
}

int PtyServer::run(const volatile std::sig_atomic_t &stop, const sigset_t &waitMask)
{
    std::vector<pollfd> watch;
    QList<int> watchedIds;
    while (!stop) {
        const qint64 nowNs = monotonicNs();
        const qint64 requestDue = takeRequests(nowNs);
        const qint64 byteDue = sendDue(nowNs);
        qint64 wakeNs = -1;
        for (qint64 due : {requestDue, byteDue})
            if (due >= 0 && (wakeNs < 0 || due < wakeNs))
                wakeNs = due;

        watch.clear();
        watchedIds.clear();
        for (const Channel &each : m_channels) {
            watch.push_back(pollfd{each.fd, short(POLLIN | (each.writeBlocked ? POLLOUT : 0)), 0});
            watchedIds.append(each.id);
        }
        if (m_listener >= 0)
            watch.push_back(pollfd{m_listener, POLLIN, 0});
        timespec timeout{};
        if (wakeNs >= 0) {
            const qint64 waitNs = std::max<qint64>(0, wakeNs - monotonicNs());
            timeout.tv_sec = time_t(waitNs / 1000000000);
            timeout.tv_nsec = long(waitNs % 1000000000);
        }
        const int ready = ppoll(watch.data(), nfds_t(watch.size()),
                                wakeNs >= 0 ? &timeout : nullptr, &waitMask);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        if (ready == 0)
            continue;
        for (qsizetype i = 0; i < watchedIds.size(); ++i) {
            const short events = watch[size_t(i)].revents;
            Channel *each = channel(watchedIds[i]);
            if (!each || events == 0)
                continue;
            if (each->socket) {
                // A client that hung up or failed is let go; the line goes on.
                const bool open =
                        !(events & (POLLIN | POLLHUP | POLLERR)) || receive(*each, monotonicNs());
                if (!open || (events & (POLLERR | POLLNVAL)))
                    dropChannel(each->id);
                continue;
            }
            if (events & POLLIN)
                receive(*each, monotonicNs());
            if (events & (POLLERR | POLLNVAL))
                return 1;
            if ((events & POLLHUP) && !(events & POLLIN)) {
                // Should not happen with the slave held open; do not spin if it does.
                timespec pause{0, 10000000};
                nanosleep(&pause, nullptr);
            }
        }
        if (m_listener >= 0 && (watch.back().revents & POLLIN))
            acceptClients();
    }
    return 0;
}

} // namespace miv::sim
