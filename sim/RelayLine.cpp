#include "sim/RelayLine.h"

#include "link/ModbusFrame.h"

#include <QStringList>

RelayModel &RelayLine::addRelay(quint8 address, int typeCode)
{
    auto &slot = m_relays[address];
    slot = std::make_unique<RelayModel>(address, typeCode, 1000u + address);
    return *slot;
}

RelayModel *RelayLine::relay(quint8 address)
{
    const auto it = m_relays.find(address);
    return it == m_relays.end() ? nullptr : it->second.get();
}

QList<quint8> RelayLine::addresses() const
{
    QList<quint8> list;
    for (const auto &entry : m_relays)
        list.append(entry.first);
    return list;
}

void RelayLine::setFaults(quint8 address, const Faults &faults)
{
    m_faults[address] = faults;
}

void RelayLine::clearFaults()
{
    m_faults.clear();
}

void RelayLine::setLatencyMs(int minimum, int maximum)
{
    m_latencyMin = std::max(0, minimum);
    m_latencyMax = std::max(m_latencyMin, maximum);
}

int RelayLine::latencyMs()
{
    if (m_latencyMax <= m_latencyMin)
        return m_latencyMin;
    m_latencySeed = m_latencySeed * 1103515245u + 12345u;
    return m_latencyMin + int((m_latencySeed >> 16) % quint32(m_latencyMax - m_latencyMin + 1));
}

RelayLine::Faults *RelayLine::faultsFor(quint8 address)
{
    if (auto it = m_faults.find(address); it != m_faults.end())
        return &it->second;
    if (auto it = m_faults.find(0); it != m_faults.end())
        return &it->second;
    return nullptr;
}

namespace {

QString describe(const RelayLine::Faults &faults)
{
    QStringList names;
    if (faults.answerRequests == 0)
        names << QStringLiteral("answer-requests");
    if (faults.silent)
        names << QStringLiteral("silent");
    if (faults.badCrc)
        names << QStringLiteral("bad-crc");
    if (faults.lateMs > 0)
        names << QStringLiteral("late-ms:%1").arg(faults.lateMs);
    if (!faults.garbage.isEmpty())
        names << QStringLiteral("garbage:%1").arg(QString::fromLatin1(faults.garbage.toHex().toUpper()));
    if (faults.wrongAddress)
        names << QStringLiteral("wrong-address");
    if (faults.truncate)
        names << QStringLiteral("truncate");
    return names.join(u',');
}

} // namespace

std::optional<RelayLine::Reply> RelayLine::answer(const QByteArray &request)
{
    m_lastFault.clear();
    ++m_requestCount;
    m_requests.append(request);
    if (request.size() < 4 || !modbus::hasValidCrc(request))
        return std::nullopt;
    const quint8 address = quint8(request[0]);
    const QByteArray pdu = request.mid(1, request.size() - 3);
    if (address == modbus::broadcastAddress) {
        for (auto &entry : m_relays)
            entry.second->handle(pdu);
        return std::nullopt;
    }
    RelayModel *target = relay(address);
    if (!target)
        return std::nullopt;

    Faults *faults = faultsFor(address);
    if (faults)
        m_lastFault = describe(*faults);
    if (faults && faults->answerRequests == 0)
        return std::nullopt;
    if (faults && faults->answerRequests > 0)
        --faults->answerRequests;
    if (faults && faults->silent)
        return std::nullopt;

    QByteArray frame;
    frame.append(char(faults && faults->wrongAddress ? quint8(address + 1) : address));
    frame.append(target->handle(pdu));
    if (faults && faults->truncate && frame.size() > 2)
        frame.chop(1);
    frame = modbus::withCrc(frame);
    if (faults && faults->badCrc)
        frame[frame.size() - 1] = char(frame[frame.size() - 1] ^ 0x5A);

    Reply reply;
    reply.bytes = (faults ? faults->garbage : QByteArray()) + frame;
    reply.delayMs = latencyMs() + (faults ? faults->lateMs : 0);
    return reply;
}

QList<QByteArray> RelayLine::takeRequests(QByteArray &buffer) const
{
    QList<QByteArray> requests;
    while (buffer.size() >= 2) {
        bool unknown = false;
        const auto length = modbus::requestLength(buffer, &unknown);
        if (unknown) {
            buffer.remove(0, 1);
            continue;
        }
        if (!length || buffer.size() < *length)
            break;
        const QByteArray frame = buffer.left(*length);
        if (!modbus::hasValidCrc(frame)) {
            buffer.remove(0, 1);
            continue;
        }
        requests.append(frame);
        buffer.remove(0, *length);
    }
    return requests;
}
