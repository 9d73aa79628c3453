#include "link/RelayBus.h"

#include "link/BusTrace.h"
#include "link/ModbusFrame.h"

#include <chrono>
#include <cmath>
#include <QAbstractSocket>
#include <QSerialPort>
#include <QThread>
#include <QTime>
#include <thread>

namespace miv {

namespace {

// Errors of a serial port that mean it cannot be used any more. Setting DTR or
// RTS on a pseudo-terminal fails with UnsupportedOperationError; that, like a
// time-out, leaves the port usable.
bool isFatal(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
    case QSerialPort::WriteError:
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
    case QSerialPort::NotOpenError:
        return true;
    default:
        return false;
    }
}

// Why a serial port failed, for the operator. A device that went away (an
// adapter pulled out, a simulator ended) leaves the system's last error in
// errorString, which then names something unrelated.
QString failureReason(const QSerialPort &port)
{
    switch (port.error()) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        return QStringLiteral("ошибка ввода-вывода, устройство порта пропало или неисправно");
    default:
        return port.errorString();
    }
}

QString noAnswerText(quint8 address)
{
    return QStringLiteral("Нет ответа от устройства №%1").arg(address);
}

void trace(const char *direction, QByteArrayView bytes)
{
    qCDebug(lcBus).noquote() << QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"))
                             << direction << modbus::toHex(bytes);
}

} // namespace

struct RelayBus::PortFailed
{
    QString text;
};

RelayBus::RelayBus(QIODevice *port) : m_port(port)
{
    m_lastActivity.start();
}

void RelayBus::setPort(QIODevice *port)
{
    m_port = port;
}

void RelayBus::setLineSettings(int baudRate, int bitsPerCharacter)
{
    if (baudRate > 0)
        m_timing.baudRate = baudRate;
    if (bitsPerCharacter > 0)
        m_timing.bitsPerCharacter = bitsPerCharacter;
}

double RelayBus::characterMs() const
{
    return 1000.0 * m_timing.bitsPerCharacter / std::max(1, m_timing.baudRate);
}

double RelayBus::silenceMs() const
{
    // Above 19200 bit/s the silence is fixed at 1.75 ms.
    return m_timing.baudRate > 19200 ? 1.75 : 3.5 * characterMs();
}

void RelayBus::portFailed(const QString &what) const
{
    qCDebug(lcBus).noquote() << "port failure:" << what;
    throw PortFailed{what};
}

void RelayBus::ensurePortUsable() const
{
    if (!m_port)
        portFailed(QStringLiteral("Порт не задан"));
    if (!m_port->isOpen())
        portFailed(QStringLiteral("Порт закрыт"));
    if (auto *serial = qobject_cast<QSerialPort *>(m_port.data());
        serial && isFatal(serial->error()))
        portFailed(failureReason(*serial));
    // A gateway that ended the connection, or a connection that broke, is a
    // port that failed: what it left unread is taken before this is asked.
    if (auto *socket = qobject_cast<QAbstractSocket *>(m_port.data());
        socket && socket->state() != QAbstractSocket::ConnectedState) {
        portFailed(socket->error() == QAbstractSocket::UnknownSocketError
                           ? QStringLiteral("Соединение со шлюзом закрыто")
                           : QStringLiteral("Соединение со шлюзом: ") + socket->errorString());
    }
}

bool RelayBus::waitForInput(int ms)
{
    if (m_port->bytesAvailable() > 0)
        return true;
    return m_port->waitForReadyRead(std::max(0, ms));
}

void RelayBus::discardStaleInput()
{
    if (auto *serial = qobject_cast<QSerialPort *>(m_port.data())) {
        // What the flush would take unseen is counted first: the late and
        // extra replies and the noise between frames come mostly here. A
        // read that waits for nothing, inside the silence kept below.
        if (waitForInput(0)) {
            const QByteArray flushed = m_port->readAll();
            trace("flushed", flushed);
            m_counter.countStrayInput(flushed);
        }
        serial->clear(QSerialPort::Input);
    }
    QByteArray stale;
    while (waitForInput(0)) {
        const QByteArray chunk = m_port->readAll();
        if (chunk.isEmpty())
            break;
        stale += chunk;
    }
    if (!stale.isEmpty()) {
        trace("stale", stale);
        keepStray(stale);
        m_counter.countStrayInput(stale);
    }
    ensurePortUsable();
}

// A relay that answered too late may still be sending. Its late reply would
// look exactly like the reply to the next request, so before asking that relay
// anything else the line is watched and emptied until two reply time-outs have
// passed since that request last went out (a reply later than that counts as
// lost). The same request asked again needs no wait: a late reply to it says
// the same; but each time it goes out it may bring a reply of its own, so the
// watch counts from the last time it went out, not from its answer.
void RelayBus::drainLateReply(const QByteArray &request)
{
    if (m_unansweredRequest.isEmpty() || m_unansweredRequest.front() != request.front()
        || m_unansweredRequest == request)
        return;
    m_unansweredRequest.clear();
    keepInputUntil(m_unansweredSentAt, 2 * qint64(m_timing.replyTimeoutMs));
}

bool RelayBus::keepInputUntil(const QElapsedTimer &clock, qint64 ms)
{
    QByteArray late;
    while (clock.elapsed() < ms) {
        if (waitForInput(int(ms - clock.elapsed())))
            late += m_port->readAll();
        else
            ensurePortUsable();
    }
    if (late.isEmpty())
        return false;
    trace("late", late);
    keepStray(late);
    m_counter.countStrayInput(late);
    return true;
}

BusReply RelayBus::listen(int ms)
{
    try {
        ensurePortUsable();
        QElapsedTimer clock;
        clock.start();
        if (keepInputUntil(clock, ms))
            markLineActivity();
    } catch (const PortFailed &failure) {
        return BusReply::failure(BusReply::Kind::PortFailure, failure.text);
    }
    return BusReply::answer({});
}

int RelayBus::keepStray(QByteArrayView bytes)
{
    int unexplained = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        // A status reply is five bytes: address, 07 (or 87 for a refusal), one byte, CRC.
        const QByteArrayView candidate =
                bytes.sliced(at, std::min<qsizetype>(5, bytes.size() - at));
        const quint8 function = candidate.size() == 5 ? quint8(candidate[1]) : 0;
        if ((function == modbus::ReadExceptionStatus
             || function == (modbus::ReadExceptionStatus | 0x80))
            && modbus::hasValidCrc(candidate)) {
            m_stray.statusAnswerers.append(quint8(candidate[0]));
            at += 5;
            continue;
        }
        ++unexplained;
        ++at;
    }
    m_stray.bytes += int(bytes.size());
    m_stray.unexplainedBytes += unexplained;
    return unexplained;
}

void RelayBus::keepSilence()
{
    // Counted in nanoseconds: whole milliseconds would round the 3.65 ms of
    // 9600 bit/s up to 4 and lose up to one more to truncating the time
    // already waited, 1.3 ms of every exchange (a sixth of a short read's time).
    const qint64 silenceNs = qint64(std::ceil(silenceMs() * 1e6));
    const qint64 waitedNs = m_lastActivity.nsecsElapsed();
    if (waitedNs < silenceNs)
        std::this_thread::sleep_for(std::chrono::nanoseconds(silenceNs - waitedNs));
}

void RelayBus::markLineActivity()
{
    m_lastActivity.restart();
}

RelayBus::Exchange RelayBus::exchangeWithRetries(const QByteArray &request, int firstByteTimeoutMs,
                                                 RetryWhen when, int retries)
{
    // Every request of every operation passes here, and is counted here.
    const auto count = [this, &request](const Exchange &result, bool repetition) {
        m_counter.countExchange(
                {request, result.received, result.reply, result.responseMs, repetition});
    };
    Exchange result = exchange(request, firstByteTimeoutMs);
    count(result, false);
    for (int attempt = 1; attempt <= retries && result.outcome == Outcome::Silent; ++attempt) {
        if (when == RetryWhen::Damaged && !result.damaged)
            break;
        qCDebug(lcBus).noquote() << QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"))
                                 << QStringLiteral("retry %1 of %2").arg(attempt).arg(retries);
        result = exchange(request, firstByteTimeoutMs);
        count(result, true);
    }
    return result;
}

RelayBus::Exchange RelayBus::exchange(const QByteArray &request, int firstByteTimeoutMs)
{
    ensurePortUsable();
    drainLateReply(request);
    discardStaleInput();
    keepSilence();

    trace("tx", request);
    if (request == m_unansweredRequest)
        m_unansweredSentAt.start();
    const QElapsedTimer sentAt = [] {
        QElapsedTimer clock;
        clock.start();
        return clock;
    }();
    if (m_port->write(request) != request.size())
        portFailed(m_port->errorString());
    if (m_port->bytesToWrite() > 0
        && !m_port->waitForBytesWritten(1000 + 100 * int(request.size())))
        portFailed(m_port->errorString());
    ensurePortUsable();

    Exchange result;
    const quint8 address = quint8(request[0]);
    if (address == modbus::broadcastAddress) {
        // Nobody answers a broadcast; give the relays their turnaround time.
        QThread::msleep(ulong(std::ceil(silenceMs() + request.size() * characterMs())));
        markLineActivity();
        return result;
    }

    const int expected = modbus::replyLength(request).value_or(modbus::maxFrameLength);
    const int ownAirtimeMs = int(std::ceil(request.size() * characterMs()));
    const int frameBudgetMs = int(std::ceil(expected * characterMs() * 2)) + 100;
    QElapsedTimer clock;
    clock.start();
    qint64 deadline = ownAirtimeMs + firstByteTimeoutMs;
    bool firstByteSeen = false;
    QByteArray received;

    while (clock.elapsed() < deadline) {
        if (!waitForInput(int(deadline - clock.elapsed()))) {
            ensurePortUsable();
            continue;
        }
        received += m_port->readAll();
        if (!firstByteSeen && !received.isEmpty()) {
            firstByteSeen = true;
            deadline = clock.elapsed() + frameBudgetMs;
        }
        const modbus::ReplyMatch match = modbus::findReply(request, received);
        if (match.kind == modbus::ReplyMatch::Incomplete)
            continue;
        const QByteArray frame = received.mid(match.offset, match.length);
        trace("rx", received);
        keepStray(QByteArrayView(received).first(match.offset));
        markLineActivity();
        // The reply to an earlier attempt of this request that went
        // unanswered may still come, after this one: the mark stays until
        // the next, different request to the relay has watched for it.
        if (request != m_unansweredRequest)
            m_unansweredRequest.clear();
        result.frame = frame.first(frame.size() - 2);
        result.received = received;
        result.reply = match;
        result.responseMs = double(sentAt.nsecsElapsed()) / 1e6;
        if (match.kind == modbus::ReplyMatch::Exception) {
            result.outcome = Outcome::Refused;
            result.exceptionCode = match.exceptionCode;
        } else {
            result.outcome = Outcome::Answered;
        }
        return result;
    }
    trace(received.isEmpty() ? "rx none" : "rx bad", received);
    // Late status replies of other relays explain what came; anything else is
    // a damaged reply.
    result.damaged = keepStray(received) > 0;
    result.received = received;
    markLineActivity();
    m_unansweredRequest = request;
    m_unansweredSentAt = sentAt;
    return result;
}

BusReply RelayBus::ask(const QByteArray &request, int firstByteTimeoutMs, RetryWhen when,
                       int retries, ReplyString (*answerOf)(const QByteArray &frame))
{
    try {
        const Exchange reply = exchangeWithRetries(request, firstByteTimeoutMs, when, retries);
        switch (reply.outcome) {
        case Outcome::Answered:
            return BusReply::answer(answerOf(reply.frame));
        case Outcome::Refused:
            return BusReply::refusal(reply.frame, reply.exceptionCode);
        case Outcome::Silent:
            break;
        }
    } catch (const PortFailed &failure) {
        return BusReply::failure(BusReply::Kind::PortFailure, failure.text);
    }
    return BusReply::failure(BusReply::Kind::NoAnswer, noAnswerText(quint8(request[0])));
}

BusReply RelayBus::askStatus(quint8 address, std::optional<int> waitMs)
{
    return ask(modbus::readExceptionStatus(address), waitMs.value_or(m_timing.replyTimeoutMs),
               RetryWhen::Damaged, m_timing.retries,
               [](const QByteArray &frame) { return ReplyString(frame); });
}

BusReply RelayBus::askRegisters(quint8 address, quint16 first, quint16 count, Attempts attempts)
{
    if (count == 0 || count > modbus::maxRegistersPerRead)
        return BusReply::failure(
                BusReply::Kind::NoAnswer,
                QStringLiteral("Число регистров вне 1..%1").arg(modbus::maxRegistersPerRead));
    return ask(modbus::readHoldingRegisters(address, first, count), m_timing.replyTimeoutMs,
               RetryWhen::AnyFailure, attempts == Attempts::Once ? 0 : m_timing.retries,
               [](const QByteArray &frame) { return ReplyString(frame.left(255)); });
}

BusReply RelayBus::askWrite(const QByteArray &request)
{
    if (quint8(request[0]) == modbus::broadcastAddress) {
        // Nobody answers a broadcast: it is sent, and nothing is waited for.
        try {
            exchangeWithRetries(request, m_timing.replyTimeoutMs, RetryWhen::AnyFailure, 0);
        } catch (const PortFailed &failure) {
            return BusReply::failure(BusReply::Kind::PortFailure, failure.text);
        }
        return BusReply::answer({});
    }
    // The echo as address, function, 4, then the 4 echoed bytes.
    return ask(request, m_timing.replyTimeoutMs, RetryWhen::AnyFailure, m_timing.retries,
               [](const QByteArray &frame) {
                   ReplyString text = frame.left(2);
                   text.append(char(4));
                   text.append(frame.mid(2, 4));
                   return text;
               });
}

BusReply RelayBus::askWriteRegister(quint8 address, quint16 reg, quint16 value)
{
    return askWrite(modbus::writeSingleRegister(address, reg, value));
}

BusReply RelayBus::askWriteCoil(quint8 address, quint16 coil, quint16 value)
{
    return askWrite(modbus::writeSingleCoil(address, coil, value));
}

BusReply RelayBus::askWriteRegisters(quint8 address, quint16 first, const QList<quint16> &values)
{
    return askWrite(modbus::writeMultipleRegisters(address, first, values));
}

} // namespace miv
