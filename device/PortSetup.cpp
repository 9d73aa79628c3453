#include "device/PortSetup.h"

#include "core/Operator.h"
#include "core/Texts.h"
#include "link/AuditedWrite.h"
#include "link/PortLink.h"
#include "link/RelayBus.h"

namespace miv {

namespace {

void reportError(Operator &op, Operator::Icon icon, const QString &text)
{
    op.message(icon, text, Operator::Buttons::Ok);
}

} // namespace

PortSetupResult runPortSetup(RelayBus &bus, const PortSetupPort &port, quint8 relayAddress,
                             const PortSetupAsk &ask, const PortSettingsStore &store, Operator &op,
                             AuditLog *audit, quint16 factoryNumber)
{
    PortSetupResult result;
    const PortSettings before = port.settings();
    const quint16 oldWord = InterfaceWord::fromSettings(before);

    if (const std::optional<PortSettings> chosen = ask(before)) {
        result.accepted = true;
        QString error;
        if (!port.apply(*chosen, &error)) {
            // A changed port that cannot be opened, or a setting the open port refused.
            result.portFailed = true;
            reportError(op, Operator::Icon::Error, error);
            return result;
        }
    }

    // Stored after Cancel too. A failed store is told, and the relay still
    // follows the settings now in force on the port.
    const PortSettings inForce = port.settings();
    QString storeError;
    result.stored = store(inForce, &storeError);
    if (!result.stored)
        reportError(op, Operator::Icon::Warning, storeError);

    const quint16 newWord = InterfaceWord::fromSettings(inForce);
    if (inForce.portName != before.portName || relayAddress == 0)
        return result;

    // The relay is told its new settings over the old ones; the port follows afterwards.
    QString error;
    port.apply(InterfaceWord::applyTo(inForce, oldWord), &error);
    const auto hex = [](quint16 word) {
        return QStringLiteral("0x%1").arg(word, 4, 16, QLatin1Char('0'));
    };
    const AuditWrite what{InterfaceWord::relayRegister, false, QStringLiteral("Слово интерфейса"),
                          hex(oldWord), hex(newWord)};
    result.wordWrite = audit
            ? auditedWrite(bus, *audit, op, relayAddress, factoryNumber, what, newWord)
            : WriteOutcome::of(
                    bus.askWriteRegister(relayAddress, InterfaceWord::relayRegister, newWord));
    result.wordWritten = result.wordWrite.written();
    if (result.wordWrite.refused()) {
        // The relay keeps the settings it has: the port stays with them,
        // and they are what is stored, so that the relay is still reached.
        reportError(op, Operator::Icon::Error,
                    Texts::relayRefused.arg(result.wordWrite.exceptionCode));
        result.stored = store(port.settings(), &storeError);
        if (!result.stored)
            reportError(op, Operator::Icon::Warning, storeError);
        return result;
    }
    if (!result.wordWritten)
        reportError(op, Operator::Icon::Error, Texts::linkError);
    // Silence may hide a relay that took the word: the port follows it.
    port.apply(InterfaceWord::applyTo(port.settings(), newWord), &error);
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
