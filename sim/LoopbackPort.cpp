#include "sim/LoopbackPort.h"

#include <QThread>

#include <algorithm>

namespace miv::sim {

LoopbackPort::LoopbackPort(RelayLine &line, QObject *parent) : QIODevice(parent), m_line(line)
{
    m_clock.start();
}

bool LoopbackPort::open(OpenMode mode)
{
    if (m_vanished)
        return false;
    return QIODevice::open(mode | QIODevice::Unbuffered);
}

void LoopbackPort::feedGarbage(const QByteArray &bytes)
{
    m_readable += bytes;
}

void LoopbackPort::vanish()
{
    m_vanished = true;
    m_pending.clear();
    m_readable.clear();
    setErrorString(QStringLiteral("Устройство отключено"));
    close();
}

void LoopbackPort::releaseDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_pending.isEmpty() && m_pending.first().dueMs <= now)
        m_readable += m_pending.takeFirst().bytes;
}

qint64 LoopbackPort::bytesAvailable() const
{
    const_cast<LoopbackPort *>(this)->releaseDue();
    return m_readable.size() + QIODevice::bytesAvailable();
}

bool LoopbackPort::waitForReadyRead(int msecs)
{
    if (m_vanishBeforeReply) {
        m_vanishBeforeReply = false;
        vanish();
    }
    if (m_vanished || !isOpen())
        return false;
    releaseDue();
    if (!m_readable.isEmpty())
        return true;
    if (msecs <= 0)
        return false;
    // Nothing on its way: wait as a real port would, rather than let the
    // caller spin until its time-out.
    if (m_pending.isEmpty()) {
        QThread::msleep(ulong(msecs));
        return false;
    }
    const qint64 wait = m_pending.first().dueMs - m_clock.elapsed();
    if (wait > msecs) {
        QThread::msleep(ulong(msecs));
        return false;
    }
    if (wait > 0)
        QThread::msleep(ulong(wait));
    releaseDue();
    return !m_readable.isEmpty();
}

bool LoopbackPort::waitForBytesWritten(int)
{
    return !m_vanished && isOpen();
}

qint64 LoopbackPort::readData(char *data, qint64 maxSize)
{
    if (m_vanished)
        return -1;
    releaseDue();
    const qint64 count = std::min<qint64>(maxSize, m_readable.size());
    memcpy(data, m_readable.constData(), size_t(count));
    m_readable.remove(0, count);
    return count;
}

qint64 LoopbackPort::writeData(const char *data, qint64 size)
{
    if (m_vanished)
        return -1;
    if (m_writesBeforeFailure > 0 && --m_writesBeforeFailure == 0) {
        setErrorString(QStringLiteral("Ошибка записи в порт"));
        return -1;
    }
    m_written.append(data, size);
    m_incoming.append(data, size);
    for (const QByteArray &request : m_line.takeRequests(m_incoming)) {
        // The relay acts on the request; its reply never comes back.
        const auto reply = m_line.answer(request);
        if (m_requestsBeforeVanishing > 0 && --m_requestsBeforeVanishing == 0)
            m_vanishBeforeReply = true;
        if (!reply || m_vanishBeforeReply)
            continue;
        // A reply is readable once its last byte is on the wire.
        const auto wireMs = [this, &request](const QByteArray &bytes) -> qint64 {
            return m_pacingBaudRate > 0
                    ? (request.size() + bytes.size()) * 10 * 1000 / m_pacingBaudRate
                    : 0;
        };
        const qint64 startMs = m_clock.elapsed() + reply->delayMs;
        schedule({reply->bytes, startMs + wireMs(reply->bytes)});
        if (!reply->secondBytes.isEmpty())
            schedule({reply->secondBytes,
                      startMs + reply->secondDelayMs + wireMs(reply->secondBytes)});
    }
    return size;
}

void LoopbackPort::schedule(const Pending &pending)
{
    // Replies reach the wire in the order they become due.
    auto at = std::upper_bound(m_pending.begin(), m_pending.end(), pending.dueMs,
                               [](qint64 due, const Pending &p) { return due < p.dueMs; });
    m_pending.insert(at, pending);
}

} // namespace miv::sim
