#include "cli/CliContext.h"

#include "cli/Commands.h"
#include "link/FrontIni.h"

using namespace miv;

CliContext::CliContext(const GlobalOptions &options, const QString &frontIni, QTextStream &out, QTextStream &err)
    : m_options(options), m_frontIni(frontIni), m_out(out), m_err(err), m_operator(err)
{
    m_operator.setAssumeYes(options.assumeYes);
    startFreshSession();

    PortSettings settings;
    if (!loadPortSettings(frontIni, settings, &m_settingsError))
        settings = PortSettings();
    options.applyTo(settings);
    m_link.setSettings(settings);

    if (options.replyTimeoutMs)
        m_link.bus().setReplyTimeoutMs(*options.replyTimeoutMs);
}

RelaySession &CliContext::startFreshSession()
{
    m_session.reset();
    m_session.emplace(m_link.bus());
    m_session->reopenPort = [this](QString *error) { return m_link.reopen(error); };
    m_session->portLostHint = QStringLiteral("Подключите адаптер и повторите команду.");
    m_session->audit.portName = [this] { return m_link.settings().portName; };
    return *m_session;
}

bool CliContext::openPort()
{
    // An unreadable "front.ini" matters only when its settings are needed.
    if (!m_settingsError.isEmpty() && !m_options.portName) {
        m_err << m_settingsError << Qt::endl;
        return false;
    }
    QString error;
    if (m_link.open(&error))
        return true;
    m_err << error << Qt::endl;
    return false;
}

int CliContext::wrongUsage(const QString &problem, const QString &usage)
{
    m_err << "mivctl: " << problem << Qt::endl << "usage: mivctl [OPTIONS] " << usage << Qt::endl;
    return ExitStatus::WrongUsage;
}
