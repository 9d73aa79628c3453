#include "sim/RelayLine.h"

#include "link/ModbusFrame.h"

#include <QStringList>
#include <algorithm>
#include <limits>

namespace miv::sim {

RelayModel &RelayLine::addRelay(quint8 address, int typeCode)
{
    auto &slot = m_relays[address];
    slot = std::make_unique<RelayModel>(address, typeCode, 1000u + address + m_seed * 65536u);
    return *slot;
}

RelayModel &RelayLine::addRelay(const RelayModel &relay)
{
    auto &slot = m_relays[relay.address()];
    slot = std::make_unique<RelayModel>(relay);
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

void RelayLine::setSeed(quint32 seed)
{
    m_seed = seed;
    m_faultSeed = seed * 2654435761u + 0x9E3779B9u;
    if (m_faultSeed == 0)
        m_faultSeed = 1;
}

void RelayLine::setFaultRate(double percent, unsigned kinds, int lateMs)
{
    m_faultPercent = std::clamp(percent, 0.0, 100.0);
    m_faultKinds = kinds & AllFaultKinds;
    m_lateFaultMs = std::max(0, lateMs);
}

quint32 RelayLine::nextRandom()
{
    m_faultSeed ^= m_faultSeed << 13;
    m_faultSeed ^= m_faultSeed >> 17;
    m_faultSeed ^= m_faultSeed << 5;
    return m_faultSeed;
}

QString RelayLine::drawFault(Faults &faults)
{
    if (m_faultPercent <= 0 || m_faultKinds == 0)
        return {};
    if (nextRandom() % 100000 >= quint32(m_faultPercent * 1000))
        return {};
    QList<unsigned> kinds;
    for (unsigned bit = 0; bit < std::size(faultKindNames); ++bit)
        if (m_faultKinds & (1u << bit))
            kinds.append(bit);
    const unsigned bit = kinds[qsizetype(nextRandom() % quint32(kinds.size()))];
    QString name = QLatin1String(faultKindNames[bit]);
    switch (FaultKind(1u << bit)) {
    case Silent:
        faults.silent = true;
        break;
    case BadCrc:
        faults.badCrc = true;
        break;
    case Garbage: {
        QByteArray noise;
        for (quint32 count = 1 + nextRandom() % 4; count > 0; --count)
            noise.append(char(nextRandom()));
        faults.garbage += noise;
        name += u':' + QString::fromLatin1(noise.toHex().toUpper());
        break;
    }
    case Late:
        faults.lateMs += m_lateFaultMs;
        name = QStringLiteral("late-ms:%1").arg(m_lateFaultMs);
        break;
    case Truncate:
        faults.truncate = true;
        break;
    case WrongAddress:
        faults.wrongAddress = true;
        break;
    case AllFaultKinds:
        break;
    }
    return QStringLiteral("fault-rate:") + name;
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
    if (faults.ignoreRequests > 0)
        names << QStringLiteral("ignore-requests");
    if (faults.silent)
        names << QStringLiteral("silent");
    if (faults.badCrc)
        names << QStringLiteral("bad-crc");
    if (faults.lateMs > 0)
        names << QStringLiteral("late-ms:%1").arg(faults.lateMs);
    if (!faults.garbage.isEmpty())
        names << QStringLiteral("garbage:%1")
                         .arg(QString::fromLatin1(faults.garbage.toHex().toUpper()));
    if (faults.wrongAddress)
        names << QStringLiteral("wrong-address");
    if (faults.truncate)
        names << QStringLiteral("truncate");
    if (faults.refuse != 0)
        names << QStringLiteral("refuse:%1").arg(faults.refuse);
    return names.join(u',');
}

} // namespace

RelayLine::LineSettings RelayLine::relayLine(quint16 interfaceWord)
{
    // Within a group a later set bit wins, as the relay's own display reads it.
    LineSettings settings;
    const std::pair<int, int> speeds[] = {{1, 4800}, {2, 9600}, {3, 19200}, {4, 38400}};
    for (const auto &[bit, speed] : speeds)
        if (interfaceWord & (1u << bit))
            settings.baudRate = speed;
    const std::pair<int, char> parities[] = {{6, 'N'}, {7, 'E'}, {8, 'O'}};
    for (const auto &[bit, parity] : parities)
        if (interfaceWord & (1u << bit))
            settings.parity = parity;
    const std::pair<int, int> stops[] = {{13, 1}, {14, 2}};
    for (const auto &[bit, count] : stops)
        if (interfaceWord & (1u << bit))
            settings.stopBits = count;
    return settings;
}

bool RelayLine::hearsClient(const RelayModel &relay) const
{
    if (!m_strictLine)
        return true;
    const LineSettings own = relayLine(relay.registerValue(RelayModel::interfaceWordRegister));
    const auto differs = [](auto mine, auto theirs) { return mine && theirs && mine != theirs; };
    return !differs(own.baudRate, m_clientLine.baudRate)
            && !differs(own.parity, m_clientLine.parity)
            && !differs(own.stopBits, m_clientLine.stopBits);
}

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
            if (hearsClient(*entry.second))
                entry.second->handle(pdu);
        return std::nullopt;
    }
    RelayModel *target = relay(address);
    if (!target)
        return std::nullopt;
    if (!hearsClient(*target)) {
        // At other line settings the relay sees only noise.
        m_lastFault = QStringLiteral("line-settings");
        return std::nullopt;
    }

    std::optional<Reply> reply = ownReply(address, *target, pdu);
    if (const auto second = m_duplicates.find(address); second != m_duplicates.end())
        reply = withDuplicateReply(reply, second->second, pdu);
    return reply;
}

std::optional<RelayLine::Reply> RelayLine::ownReply(quint8 address, RelayModel &target,
                                                    const QByteArray &pdu)
{
    Faults *stored = faultsFor(address);
    if (stored)
        m_lastFault = describe(*stored);
    if (stored && stored->answerRequests == 0)
        return std::nullopt;
    if (stored && stored->ignoreRequests > 0) {
        --stored->ignoreRequests;
        return std::nullopt;
    }
    if (stored && stored->answerRequests > 0)
        --stored->answerRequests;
    if (stored && stored->silent)
        return std::nullopt;
    // A random fault comes on top of the relay's own ones.
    Faults drawn = stored ? *stored : Faults();
    if (const QString name = drawFault(drawn); !name.isEmpty()) {
        m_lastFault = m_lastFault.isEmpty() ? name : m_lastFault + u',' + name;
        if (drawn.silent)
            return std::nullopt;
    }
    const Faults *faults = &drawn;

    QByteArray frame;
    frame.append(char(faults && faults->wrongAddress ? quint8(address + 1) : address));
    if (faults->refuse != 0) {
        frame.append(char(quint8(pdu.isEmpty() ? 0 : pdu[0]) | 0x80));
        frame.append(char(faults->refuse));
    } else {
        frame.append(target.handle(pdu));
    }
    if (faults && faults->truncate && frame.size() > 2)
        frame.chop(1);
    frame = modbus::withCrc(frame);
    if (faults && faults->badCrc)
        frame[frame.size() - 1] = char(frame[frame.size() - 1] ^ 0x5A);

    Reply reply;
    reply.bytes = (faults ? faults->garbage : QByteArray()) + frame;
    const bool late = faults->lateMs > 0 && (!stored || stored->lateReplies != 0);
    if (late && stored && stored->lateReplies > 0)
        --stored->lateReplies;
    reply.faultDelayMs = late ? faults->lateMs : 0;
    reply.delayMs = latencyMs() + reply.faultDelayMs;
    return reply;
}

std::optional<RelayLine::Reply>
RelayLine::withDuplicateReply(std::optional<Reply> first, Duplicate &second, const QByteArray &pdu)
{
    // The second relay hears the request as the first does, and carries it
    // out: a write reaches both.
    if (!hearsClient(*second.relay))
        return first;
    m_lastFault = m_lastFault.isEmpty() ? QStringLiteral("duplicate")
                                        : m_lastFault + QStringLiteral(",duplicate");
    Reply other;
    other.bytes = modbus::withCrc(char(second.relay->address()) + second.relay->handle(pdu));
    other.delayMs = (first ? first->delayMs - first->faultDelayMs : latencyMs()) + second.laterMs;
    if (!first)
        return other;
    const bool otherFirst = other.delayMs < first->delayMs;
    const Reply &earlier = otherFirst ? other : *first;
    const Reply &later = otherFirst ? *first : other;
    const qint64 apartMs = later.delayMs - earlier.delayMs;
    // Apart by whole characters (a part of one counts as none: the model
    // keeps the characters in step); on a line that is not paced a reply
    // takes no time, and only replies sent at the same moment overlap.
    const qint64 apartCharacters = m_characterUs > 0 ? qint64(apartMs * 1000 / m_characterUs)
            : apartMs == 0                           ? 0
                                                     : std::numeric_limits<qint64>::max();
    Reply heard = earlier;
    heard.faultDelayMs = 0;
    if (apartCharacters >= earlier.bytes.size()) {
        heard.secondBytes = later.bytes;
        heard.secondDelayMs = int(apartMs);
        return heard;
    }
    // Both drive the line at once: where one sends a 0 bit and the other a 1
    // the two transceivers cancel out to about 0 V, which a fail-safe
    // receiver reads as the idle 1. The master reads a bit as 0 only where
    // both send 0, the bitwise OR of what the two send at the same moment:
    // the frames come as one, garbled where they differ (a CRC error), whole
    // where they are the same (a status query of two relays in the same
    // state, the echo of a write).
    for (qsizetype i = 0; i < later.bytes.size(); ++i) {
        const qsizetype at = qsizetype(apartCharacters) + i;
        if (at < heard.bytes.size())
            heard.bytes[at] = char(quint8(heard.bytes[at]) | quint8(later.bytes[i]));
        else
            heard.bytes.append(later.bytes[i]);
    }
    return heard;
}

RelayModel &RelayLine::addDuplicate(quint8 address, int laterMs)
{
    const RelayModel *first = relay(address);
    Q_ASSERT(first);
    // Another unit set up as the first (its settings, its line settings, so
    // that it hears what the first hears), with live values and a factory
    // number of its own.
    auto model = std::make_unique<RelayModel>(*first);
    model->reseedValues(2000u + address + m_seed * 65536u);
    model->setRegister(RelayModel::factoryNumberRegister, quint16(2000 + address));
    Duplicate &second = m_duplicates[address];
    second.relay = std::move(model);
    second.laterMs = std::max(0, laterMs);
    return *second.relay;
}

RelayModel *RelayLine::duplicate(quint8 address)
{
    const auto it = m_duplicates.find(address);
    return it == m_duplicates.end() ? nullptr : it->second.relay.get();
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

} // namespace miv::sim
