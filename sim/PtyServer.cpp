#include "sim/PtyServer.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
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

PtyServer::PtyServer(RelayLine &line, RequestLog &log) : m_line(line), m_log(log) {}

PtyServer::~PtyServer()
{
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
    return true;
}

void PtyServer::setLineSpeed(int baudRate, int bitsPerCharacter)
{
    m_characterNs = baudRate > 0 ? qint64(bitsPerCharacter) * 1000000000 / baudRate : 0;
}

void PtyServer::receive(qint64 nowNs)
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count <= 0)
            return; // EAGAIN: all read; EIO cannot happen while the slave is held
        for (ssize_t i = 0; i < count; ++i) {
            // Bytes that arrive together were written together: on a real
            // line they follow each other, one character time apart.
            m_lastInputEndNs = std::max(nowNs, m_lastInputEndNs) + m_characterNs;
            m_input.append(buffer[i]);
            m_inputEndNs.append(m_lastInputEndNs);
        }
    }
}

qint64 PtyServer::takeRequests(qint64 nowNs)
{
    if (m_input.isEmpty())
        return -1;
    QByteArray rest = m_input;
    const QList<QByteArray> requests = m_line.takeRequests(rest);
    const qsizetype consumed = m_input.size() - rest.size();
    if (consumed == 0)
        return -1;
    const qint64 completeNs = m_inputEndNs[consumed - 1];
    if (!requests.isEmpty() && completeNs > nowNs)
        return completeNs; // still on its way
    m_input = rest;
    m_inputEndNs.remove(0, consumed);
    for (const QByteArray &request : requests)
        answer(request, completeNs);
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
        {B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},    {B19200, 19200},
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

void PtyServer::answer(const QByteArray &request, qint64 takenNs)
{
    if (m_line.strictLine())
        readClientLine();
    const auto reply = m_line.answer(request);
    const double timeMs = double(takenNs - m_startNs) / 1e6;
    m_log.record(timeMs, request, reply ? std::optional<QByteArray>(reply->bytes) : std::nullopt, m_line.lastFault());
    if (!reply)
        return;
    Outgoing outgoing;
    outgoing.bytes = reply->bytes;
    outgoing.startNs = takenNs + qint64(reply->delayMs) * 1000000;
    schedule(outgoing);
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
        m_output[i].startNs = std::max(m_output[i].startNs, before.startNs + m_characterNs * before.bytes.size());
    }
}

qint64 PtyServer::byteDueNs(const Outgoing &outgoing, qsizetype index) const
{
    return outgoing.startNs + m_characterNs * (index + 1);
}

qint64 PtyServer::sendDue(qint64 nowNs)
{
    m_writeBlocked = false;
    while (!m_output.empty()) {
        Outgoing &front = m_output.front();
        qsizetype due = front.sent;
        while (due < front.bytes.size() && byteDueNs(front, due) <= nowNs)
            ++due;
        if (due > front.sent) {
            const ssize_t written = ::write(m_master, front.bytes.constData() + front.sent, size_t(due - front.sent));
            if (written < 0) {
                // The client does not read: the pseudo-terminal's buffer is full.
                m_writeBlocked = errno == EAGAIN;
                return -1;
            }
            front.sent += written;
            if (front.sent < due) {
                m_writeBlocked = true;
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
    while (!stop) {
        const qint64 nowNs = monotonicNs();
        const qint64 requestDue = takeRequests(nowNs);
        const qint64 byteDue = sendDue(nowNs);
        qint64 wakeNs = -1;
        for (qint64 due : {requestDue, byteDue})
            if (due >= 0 && (wakeNs < 0 || due < wakeNs))
                wakeNs = due;

        pollfd watch{m_master, short(POLLIN | (m_writeBlocked ? POLLOUT : 0)), 0};
        timespec timeout{};
        if (wakeNs >= 0) {
            const qint64 waitNs = std::max<qint64>(0, wakeNs - monotonicNs());
            timeout.tv_sec = time_t(waitNs / 1000000000);
            timeout.tv_nsec = long(waitNs % 1000000000);
        }
        const int ready = ppoll(&watch, 1, wakeNs >= 0 ? &timeout : nullptr, &waitMask);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        if (ready > 0 && (watch.revents & POLLIN))
            receive(monotonicNs());
        if (ready > 0 && (watch.revents & (POLLERR | POLLNVAL)))
            return 1;
        if (ready > 0 && (watch.revents & POLLHUP) && !(watch.revents & POLLIN)) {
            // Should not happen with the slave held open; do not spin if it does.
            timespec pause{0, 10000000};
            nanosleep(&pause, nullptr);
        }
    }
    return 0;
}
