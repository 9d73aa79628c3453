#include "device/PortSetup.h"

#include "core/Operator.h"
#include "device/InterfaceChange.h"
#include "link/PortLink.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

namespace miv {

namespace {

using Outcome = InterfaceChangeResult::Outcome;

void reportError(Operator &op, Operator::Icon icon, const QString &text)
{
    op.message(icon, text, Operator::Buttons::Ok);
}

// The settings in force stored; a failed store is told.
void storeInForce(PortSetupResult &result, const PortSetupPort &port,
                  const PortSettingsStore &store, Operator &op)
{
    QString error;
    result.stored = store(port.settings(), &error);
    if (!result.stored)
        reportError(op, Operator::Icon::Warning, error);
}

// No relay to tell, or another port: the choice is put in force and stored.
PortSetupResult setUpPortOnly(const PortSetupPort &port, const std::optional<PortSettings> &chosen,
                              const PortSettingsStore &store, Operator &op)
{
    PortSetupResult result;
    result.accepted = chosen.has_value();
    QString error;
    if (chosen && !port.apply(*chosen, &error)) {
        // A changed port that cannot be opened, or a setting the open port refused.
        result.portFailed = true;
        reportError(op, Operator::Icon::Error, error);
        return result;
    }
    // Stored after Cancel too.
    storeInForce(result, port, store, op);
    return result;
}

// What the setup stores and tells once the relay was asked to change.
void settle(PortSetupResult &result, const InterfaceChangeResult &change, const QString &text,
            const PortSetupPort &port, const PortSettingsStore &store, Operator &op)
{
    switch (change.outcome) {
    case Outcome::Inexpressible:
        // Cancel left settings the word cannot say: nothing to tell the relay.
        if (result.accepted)
            reportError(op, Operator::Icon::Warning, text);
        else
            storeInForce(result, port, store, op);
        return;
    case Outcome::PortRefused:
        result.portFailed = true;
        reportError(op, Operator::Icon::Error, text);
        return;
    case Outcome::NotRead:
        reportError(op, Operator::Icon::Error, text);
        if (!result.accepted)
            storeInForce(result, port, store, op); // stored after Cancel too
        return;
    case Outcome::Changed:
    case Outcome::KeptOld:
    case Outcome::Unknown:
        break;
    }
    // The port is where the relay was last heard: the stored settings follow it.
    storeInForce(result, port, store, op);
    if (text.isEmpty())
        return;
    const QString stored =
            result.stored ? QStringLiteral("\rВ front.ini записаны настройки порта") : QString();
    reportError(op, Operator::Icon::Error, text + stored);
}

} // namespace

PortSetupResult runPortSetup(RelayBus &bus, const PortSetupPort &port, quint8 relayAddress,
                             const PortSetupAsk &ask, const PortSettingsStore &store, Operator &op,
                             AuditLog *audit, quint16 factoryNumber)
{
    const PortSettings before = port.settings();
    const std::optional<PortSettings> chosen = ask(before);
    const PortSettings target = chosen.value_or(before);
    if (relayAddress == 0 || target.portName != before.portName)
        return setUpPortOnly(port, chosen, store, op);

    PortSetupResult result;
    result.accepted = chosen.has_value();
    const InterfaceChangeResult change = changeRelayInterface(bus, relayAddress, before, target,
                                                              port.apply, op, audit, factoryNumber);
    result.wordWrite = change.write;
    result.wordWritten = change.outcome == Outcome::Changed;
    result.relayWord = change.wordNow;
    settle(result, change, interfaceChangeText(change, before, target), port, store, op);
    return result;
}

PortSetupResult runPortSetup(RelaySession &session, quint8 relayAddress, const PortSetupPort &port,
                             const PortSetupAsk &ask, const PortSettingsStore &store, Operator &op)
{
    CurrentDevice &device = session.device;
    const PortSetupResult result = runPortSetup(session.bus, port, relayAddress, ask, store, op,
                                                &session.audit, device.factoryNumber);
    if (result.relayWord && relayAddress == device.networkAddress)
        device.interfaceWord = *result.relayWord;
    return result;
}

PortSetupResult runPortSetup(PortLink &link, quint8 relayAddress, const PortSetupAsk &ask,
                             Operator &op, const QString &iniPath, AuditLog *audit,
                             quint16 factoryNumber)
{
    const PortSetupPort port{
            [&link] { return link.settings(); },
            [&link](const PortSettings &settings, QString *error) {
                return link.setSettings(settings, error);
            },
    };
    const PortSettingsStore store = [&iniPath](const PortSettings &settings, QString *error) {
        return storePortSettings(iniPath, settings, error);
    };
    return runPortSetup(link.bus(), port, relayAddress, ask, store, op, audit, factoryNumber);
}

} // namespace miv
