#include "device/Discovery.h"

#include "core/Operator.h"
#include "core/Texts.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

#include <algorithm>
#include <set>

namespace miv {

QString answeringLine(int address)
{
    return QStringLiteral("Устройство №%1 в сети").arg(address);
}

QString silentLine(int address)
{
    return QStringLiteral("Связи с устройством №%1 нет").arg(address);
}

QString notAskedLine(int address)
{
    return QStringLiteral("Устройство №%1 не опрошено: порт потерян").arg(address);
}

namespace {

// %1: the first address whose answer is unknown.
const QString scanStopped = QStringLiteral("Опрос остановлен: адреса с %1 по 32 не опрошены");

enum class Status { Answering, Silent, PortLost, NotAsked };

class Scan
{
public:
    Scan(RelaySession &session, Operator &op, const DiscoveryHooks &hooks)
        : m_session(session), m_bus(session.bus), m_op(op), m_hooks(hooks)
    { }

    DiscoveryResult run()
    {
        m_bus.clearStrayInput();
        for (const int address : scanAddresses()) {
            m_op.keepAlive();
            const int unexplainedBefore = m_bus.strayInput().unexplainedBytes;
            const Status status = m_result.portLost ? Status::NotAsked : ask(address);
            // Bytes that were no reply came while this address was asked: the
            // relay asked before may be one that answers slowly.
            if (m_bus.strayInput().unexplainedBytes > unexplainedBefore && !m_lastSilent.isEmpty())
                m_slowSuspects.insert(m_lastSilent.back());
            if (status == Status::Silent)
                m_lastSilent.append(quint8(address));
            if (status == Status::PortLost) {
                m_result.portLost = true;
                QString text = scanStopped.arg(address) + u'\n'
                        + Texts::portLost.arg(m_failure, m_reopenError);
                if (!m_session.portLostHint.isEmpty())
                    text += u' ' + m_session.portLostHint;
                m_op.message(Operator::Icon::Error, text);
            }
            add(address, status);
            if (m_hooks.progress)
                m_hooks.progress(address - 1);
        }
        if (!m_result.portLost)
            askSlowRelaysAgain();
        return m_result;
    }

private:
    Status ask(int address)
    {
        const BusReply reply = m_bus.askStatus(quint8(address), m_bus.timing().scanTimeoutMs);
        if (!reply.portFailed())
            return reply.linkFailed() ? Status::Silent : Status::Answering;
        m_failure = reply.text;
        // The port failed: reset it; whether anyone answered is unknown.
        m_reopenError = Texts::portOpenError;
        if (m_session.reopenPort && m_session.reopenPort(&m_reopenError))
            return Status::Silent;
        return Status::PortLost;
    }

    // The short wait of the scan misses a relay that answers later; its reply
    // then comes while later addresses are asked, or after the last one. The
    // line is watched until the last address's reply time-out has passed, and
    // every silent address that was heard from late is asked once more with
    // the patient wait. A line without slow relays costs only that watch.
    void askSlowRelaysAgain()
    {
        const RelayBus::Timing &timing = m_bus.timing();
        const int unexplainedBefore = m_bus.strayInput().unexplainedBytes;
        if (m_bus.listen(std::max(0, timing.replyTimeoutMs - timing.scanTimeoutMs)).portFailed())
            return; // the next operation reports the port
        if (m_bus.strayInput().unexplainedBytes > unexplainedBefore && !m_lastSilent.isEmpty())
            m_slowSuspects.insert(m_lastSilent.back());
        for (quint8 address : m_bus.strayInput().statusAnswerers)
            m_slowSuspects.insert(address);
        for (quint8 address : std::as_const(m_slowSuspects)) {
            if (!m_lastSilent.contains(address))
                continue;
            m_op.keepAlive();
            const BusReply reply = m_bus.askStatus(address);
            if (reply.portFailed())
                return;
            if (reply.linkFailed())
                continue;
            found(address);
        }
    }

    // An address first listed as silent answered after all.
    void found(quint8 address)
    {
        const QString line = answeringLine(address);
        m_result.lines[address - firstScanAddress] = line;
        m_result.answering.insert(
                std::lower_bound(m_result.answering.begin(), m_result.answering.end(), address),
                address);
        if (m_hooks.lineReplaced)
            m_hooks.lineReplaced(address - firstScanAddress, line);
    }

    void add(int address, Status status)
    {
        const QString line = status == Status::Answering ? answeringLine(address)
                : status == Status::Silent               ? silentLine(address)
                                                         : notAskedLine(address);
        m_result.lines << line;
        if (status == Status::Answering)
            m_result.answering << quint8(address);
        if (m_hooks.lineAdded)
            m_hooks.lineAdded(line);
    }

    RelaySession &m_session;
    RelayBus &m_bus;
    Operator &m_op;
    const DiscoveryHooks &m_hooks;
    DiscoveryResult m_result;
    QString m_failure; // why the port failed
    QString m_reopenError; // why it would not open again
    QList<quint8> m_lastSilent; // the silent addresses, in the order asked
    std::set<quint8> m_slowSuspects; // silent addresses heard from late
};

} // namespace

DiscoveryResult scanBus(RelaySession &session, Operator &op, const DiscoveryHooks &hooks)
{
    session.device.networkAddress = 0;
    session.releaseRelayValues();
    return Scan(session, op, hooks).run();
}

QList<quint8> scanAddresses()
{
    QList<quint8> addresses;
    for (int address = firstScanAddress; address <= lastScanAddress; ++address)
        addresses << quint8(address);
    return addresses;
}

} // namespace miv
