#include "device/LineSearch.h"

#include "core/Operator.h"
#include "core/Texts.h"
#include "link/PortLink.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

namespace miv {

namespace {

// What the interface word can hold (its bits in link/PortSettings.cpp and the
// relay's own display), the speeds from the fastest.
const QStringList searchedSpeeds{QStringLiteral("38400"), QStringLiteral("19200"),
                                 QStringLiteral("9600"), QStringLiteral("4800")};
const QStringList searchedParities{QStringLiteral("None"), QStringLiteral("Even"),
                                   QStringLiteral("Odd")};
const QStringList searchedStopBits{QStringLiteral("1"), QStringLiteral("2")};

enum class Asked { Answered, Silent, PortLost };

class Search
{
public:
    Search(RelaySession &session, Operator &op, PortLink &link, const QList<quint8> &addresses,
           const LineSearchHooks &hooks)
        : m_session(session), m_op(op), m_link(link), m_addresses(addresses), m_hooks(hooks)
    { }

    LineSearchResult run()
    {
        const PortSettings before = m_link.settings();
        QString error;
        if (!m_link.isOpen() && !m_link.open(&error)) {
            m_result.portLost = true;
            m_op.message(Operator::Icon::Error,
                         Texts::portOpenError + QStringLiteral("\n") + error);
            return m_result;
        }
        const QList<PortSettings> candidates = lineSearchSettings(before);
        for (qsizetype step = 0; step < candidates.size() && !m_result.found() && !m_result.portLost
             && !m_result.cancelled;
             ++step) {
            const PortSettings &candidate = candidates[step];
            if (m_hooks.settingsTried)
                m_hooks.settingsTried(candidate, int(step), int(candidates.size()));
            if (!m_link.setSettings(candidate)) {
                m_result.refusedSettings << settingsText(candidate);
                continue;
            }
            askAll(candidate);
        }
        // Back to the settings from before: taking the found ones is the operator's choice.
        if (!m_result.portLost)
            m_link.setSettings(before);
        return m_result;
    }

private:
    void askAll(const PortSettings &candidate)
    {
        RelayBus &bus = m_session.bus;
        bus.clearStrayInput();
        for (quint8 address : m_addresses) {
            m_op.keepAlive();
            if (m_hooks.cancelRequested && m_hooks.cancelRequested()) {
                m_result.cancelled = true;
                return;
            }
            switch (ask(address)) {
            case Asked::Answered:
                m_result.address = address;
                m_result.settings = candidate;
                return;
            case Asked::Silent:
                break;
            case Asked::PortLost:
                m_result.portLost = true;
                m_op.message(Operator::Icon::Error,
                             Texts::portOpenError + QStringLiteral("\n") + m_error);
                return;
            }
        }
    }

    Asked ask(quint8 address)
    {
        RelayBus &bus = m_session.bus;
        const BusReply reply = bus.askStatus(address, bus.timing().scanTimeoutMs);
        if (!reply.portFailed())
            return reply.linkFailed() ? Asked::Silent : Asked::Answered;
        m_error = reply.text;
        QString reopenError;
        if (m_session.reopenPort && m_session.reopenPort(&reopenError))
            return Asked::Silent;
        if (!reopenError.isEmpty())
            m_error = reopenError;
        return Asked::PortLost;
    }

    RelaySession &m_session;
    Operator &m_op;
    PortLink &m_link;
    const QList<quint8> &m_addresses;
    const LineSearchHooks &m_hooks;
    LineSearchResult m_result;
    QString m_error;
};

} // namespace

QList<PortSettings> lineSearchSettings(const PortSettings &current)
{
    QList<PortSettings> list;
    for (const QString &speed : searchedSpeeds)
        for (const QString &parity : searchedParities)
            for (const QString &stopBits : searchedStopBits) {
                PortSettings settings = current;
                settings.baudRate = speed;
                settings.parity = parity;
                settings.stopBits = stopBits;
                settings.dataBits = QStringLiteral("8");
                list << settings;
            }
    return list;
}

QString settingsText(const PortSettings &settings)
{
    const QString parity = settings.parity == QLatin1String("Even")
            ? QStringLiteral("чётный паритет")
            : settings.parity == QLatin1String("Odd") ? QStringLiteral("нечётный паритет")
            : settings.parity == QLatin1String("None") ? QStringLiteral("без паритета")
                                                       : settings.parity;
    const QString stop = settings.stopBits == QLatin1String("1")
            ? QStringLiteral("1 стоп-бит")
            : settings.stopBits + QStringLiteral(" стоп-бита");
    return QStringLiteral("%1 бит/с, %2, %3").arg(settings.effectiveBaudRate()).arg(parity, stop);
}

QString foundText(const LineSearchResult &result)
{
    if (!result.found())
        return nothingFoundText;
    return QStringLiteral("Устройство №%1 отвечает при настройках: %2.\nПрименить их для порта?")
            .arg(*result.address)
            .arg(settingsText(result.settings));
}

LineSearchResult findRelayLine(RelaySession &session, Operator &op, PortLink &link,
                               const QList<quint8> &addresses, const LineSearchHooks &hooks)
{
    return Search(session, op, link, addresses, hooks).run();
}

bool offerFoundSettings(Operator &op, PortLink &link, const LineSearchResult &result,
                        const PortSettingsStore &store)
{
    if (result.cancelled) {
        op.note(searchCancelledText);
        return false;
    }
    if (!result.found()) {
        if (!result.portLost)
            op.message(Operator::Icon::Information, nothingFoundText);
        return false;
    }
    if (op.message(Operator::Icon::Question, foundText(result), Operator::Buttons::YesNo)
        != Operator::Answer::Yes)
        return false;
    QString error;
    if (!link.setSettings(result.settings, &error)) {
        op.message(Operator::Icon::Error, error);
        return false;
    }
    if (!store(result.settings, &error)) {
        op.message(Operator::Icon::Warning, error);
        return false;
    }
    return true;
}

} // namespace miv
