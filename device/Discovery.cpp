#include "device/Discovery.h"

#include "core/Operator.h"
#include "core/RelaySession.h"
#include "core/Texts.h"
#include "link/RelayBus.h"

namespace miv {

QString answeringLine(int address)
{
    return QStringLiteral("Устройство №%1 в сети").arg(address);
}

QString silentLine(int address)
{
    return QStringLiteral("Связи с устройством №%1 нет").arg(address);
}

namespace {

// %1: the first address whose answer is unknown.
const QString scanStopped = QStringLiteral("Опрос остановлен: адреса с %1 по 32 не опрошены");

enum class Status { Answering, Silent, PortLost };

class Scan
{
public:
    Scan(RelaySession &session, Operator &op, const DiscoveryHooks &hooks)
        : m_session(session), m_bus(session.bus), m_op(op), m_hooks(hooks)
    {
    }

    DiscoveryResult run()
    {
        for (int address = firstScanAddress; address <= lastScanAddress; ++address) {
            m_op.keepAlive();
            const Status status = m_result.portLost ? Status::Silent : ask(address);
            if (status == Status::PortLost) {
                m_result.portLost = true;
                m_op.message(Operator::Icon::Error, Texts::portOpenError + QStringLiteral("\n") + m_error
                                                        + QStringLiteral("\n")
                                                        + scanStopped.arg(address));
            }
            add(address, status == Status::Answering);
            if (m_hooks.progress)
                m_hooks.progress(address - 1);
        }
        return m_result;
    }

private:
    Status ask(int address)
    {
        try {
            const quint8 answer = m_bus.readStatus(quint8(address), m_bus.timing().scanTimeoutMs);
            return answer == 255 ? Status::Silent : Status::Answering;
        } catch (const LinkError &error) {
            m_error = error.message();
        }
        // The port failed: reset it; whether anyone answered is unknown.
        QString reopenError;
        if (m_session.reopenPort && m_session.reopenPort(&reopenError))
            return Status::Silent;
        if (!reopenError.isEmpty())
            m_error = reopenError;
        return Status::PortLost;
    }

    void add(int address, bool answering)
    {
        const QString line = answering ? answeringLine(address) : silentLine(address);
        m_result.lines << line;
        if (answering)
            m_result.answering << quint8(address);
        if (m_hooks.lineAdded)
            m_hooks.lineAdded(line);
    }

    RelaySession &m_session;
    RelayBus &m_bus;
    Operator &m_op;
    const DiscoveryHooks &m_hooks;
    DiscoveryResult m_result;
    QString m_error;
};

} // namespace

DiscoveryResult scanBus(RelaySession &session, Operator &op, const DiscoveryHooks &hooks)
{
    session.device.networkAddress = 0;
    return Scan(session, op, hooks).run();
}

} // namespace miv
