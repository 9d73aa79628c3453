#include "app/PortKeeper.h"

#include "app/WindowActions.h"
#include "app/BusWorkGate.h"
#include "app/TComSetupFrm.h"
#include "core/Operator.h"
#include "link/RelaySession.h"
#include "core/Texts.h"
#include "device/Discovery.h"
#include "device/LineSearch.h"
#include "link/FrontIni.h"
#include "link/InterfaceWordChange.h"
#include "link/LineLink.h"

#include <QProgressDialog>

namespace miv {

namespace {

std::unique_ptr<PortLink> makeLink(const DataModuleEnvironment &environment)
{
    if (environment.portLink)
        return environment.portLink();
    // The serial port or the TCP gateway, whichever the settings name.
    return std::make_unique<LineLink>();
}

} // namespace

PortKeeper::PortKeeper(const DataModuleEnvironment &environment, Operator &op,
                       WindowActions &actions, QWidget &window, QObject *parent)
    : QObject(parent),
      m_environment(environment),
      m_op(op),
      m_actions(actions),
      m_window(window),
      m_link(makeLink(environment))
{ }

PortKeeper::~PortKeeper() = default;

bool PortKeeper::store(const PortSettings &settings, QString *error)
{
    const QString frontIni = m_environment.frontIniPath();
    // A port given for this run only is not written to "front.ini".
    if (!m_environment.portOverride)
        return storePortSettings(frontIni, settings, error);
    PortSettings inFile;
    loadPortSettings(frontIni, inFile);
    return storePortSettings(frontIni, m_environment.portOverride->storable(settings, inFile),
                             error);
}

PortSettings PortKeeper::settingsOfFrontIni()
{
    const QString frontIni = m_environment.frontIniPath();
    PortSettings settings = m_link->settings();
    QString error;
    QStringList notices;
    if (!loadPortSettings(frontIni, settings, &error, &notices)) {
        // A "front.ini" that cannot be read, or is no settings file, never
        // keeps the program from its port: the defaults are taken, and the
        // operator is told which file to mend.
        m_op.message(Operator::Icon::Warning,
                     error + QLatin1Char('\r') + Texts::frontIniDefaultsTaken);
        return m_link->settings();
    }
    if (!notices.isEmpty())
        m_op.note(frontIni + QStringLiteral(": ") + notices.join(u' '));
    return settings;
}

PortSetupResult PortKeeper::runSetupDialog(RelaySession &session, quint8 relayAddress)
{
    const PortSetupPort port{
            [this] { return m_link->settings(); },
            [this](const PortSettings &settings, QString *error) {
                return m_link->setSettings(settings, error);
            },
    };
    // With a relay selected the lists offer only what its word can be set to.
    const InterfaceWord::Choices choices = InterfaceWord::choices(
            relayAddress != 0 ? std::optional<quint16>(session.device.interfaceWord)
                              : std::nullopt);
    const PortSetupAsk dialog = m_environment.portSetupDialog
            ? m_environment.portSetupDialog
            : PortSetupAsk([this, choices](const PortSettings &current) {
                  return TComSetupFrm::execFor(current, choices, &m_window);
              });
    const PortSettingsStore storeSettings = [this](const PortSettings &settings, QString *error) {
        return store(settings, error);
    };
    return runPortSetup(session, relayAddress, port, dialog, storeSettings, m_op);
}

void PortKeeper::openAtStart(RelaySession &session)
{
    PortSettings settings = settingsOfFrontIni();
    if (m_environment.portOverride)
        m_environment.portOverride->applyTo(settings);
    QString error;
    if (!m_link->setSettings(settings, &error) || !m_link->open(&error)) {
        // The reason (a missing port, a permission the user lacks) goes on a
        // line of its own under the message, and stays in the status bar.
        m_op.message(Operator::Icon::Error,
                     error.isEmpty() ? Texts::portOpenError
                                     : Texts::portOpenError + QLatin1Char('\r') + error);
        if (!error.isEmpty())
            m_op.note(error);
        runSetupDialog(session, 0);
    }
    // The plug shows how the port really is, also when it stayed closed.
    m_actions.showPortOpen(m_link->isOpen());
}

bool PortKeeper::toggle()
{
    if (m_link->isOpen()) {
        m_link->close();
        return false;
    }
    QString error;
    if (!m_link->open(&error)) {
        // No box: the port simply stays closed. The reason goes to the status bar.
        m_op.note(error);
        return false;
    }
    m_actions.showPortOpen(true);
    // Whatever the status bar said of the port before is over.
    m_op.note(QStringLiteral("Порт %1 открыт").arg(m_link->settings().lineName()));
    return true;
}

bool PortKeeper::setUp(RelaySession &session)
{
    return runSetupDialog(session, session.device.networkAddress).relayWord.has_value();
}

void PortKeeper::searchLine(RelaySession &session, BusWorkGate &gate)
{
    const QList<quint8> addresses = scanAddresses();
    // Up to some 90 s on an empty line: a box of its own shows the setting
    // tried and takes the operator's "Отмена", which ends the search after
    // the exchange under way. It is a window of its own, so it stays usable
    // while bus work disables the main window.
    QProgressDialog progress(QStringLiteral("Поиск устройства..."), QStringLiteral("Отмена"), 0, 1,
                             &m_window);
    progress.setObjectName(QStringLiteral("searchProgress"));
    progress.setWindowTitle(QStringLiteral("Поиск устройства"));
    progress.setWindowModality(Qt::NonModal);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setMinimumDuration(0);
    LineSearchHooks hooks;
    hooks.settingsTried = [this, &progress](const PortSettings &settings, int step, int steps) {
        const QString text = QStringLiteral("Поиск устройства (%1 из %2): %3")
                                     .arg(step + 1)
                                     .arg(steps)
                                     .arg(settingsText(settings));
        m_op.note(text);
        progress.setMaximum(steps);
        progress.setValue(step);
        progress.setLabelText(text);
    };
    hooks.cancelRequested = [&progress] { return progress.wasCanceled(); };
    gate.begin();
    progress.setEnabled(true);
    progress.show();
    const LineSearchResult result = findRelayLine(session, m_op, *m_link, addresses, hooks);
    progress.hide();
    gate.end();
    const PortSettingsStore storeSettings = [this](const PortSettings &settings, QString *error) {
        return store(settings, error);
    };
    offerFoundSettings(m_op, *m_link, result, storeSettings);
    m_actions.showPortOpen(m_link->isOpen());
}

bool PortKeeper::closeAtEnd()
{
    if (!m_link->isOpen())
        return true;
    m_link->close();
    return !m_link->isOpen();
}

} // namespace miv
