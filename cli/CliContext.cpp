#include "cli/CliContext.h"

#include "cli/Commands.h"
#include "core/Texts.h"
#include "link/FrontIni.h"

namespace miv::cli {

CliContext::CliContext(const GlobalOptions &options, const QString &frontIni, QTextStream &out,
                       QTextStream &err)
    : m_options(options), m_frontIni(frontIni), m_out(out), m_err(err), m_operator(err)
{
    m_operator.setAssumeYes(options.assumeYes);
    startFreshSession();

    PortSettings settings;
    QStringList notices;
    if (!loadPortSettings(frontIni, settings, &m_settingsError, &notices))
        settings = PortSettings();
    else if (!notices.isEmpty())
        m_settingsNotice = frontIni + QStringLiteral(": ") + notices.join(u' ');
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
    m_session->portHeldOpen = [this] { return m_link.heldOpen(); };
    m_session->portLostHint = QStringLiteral("Подключите адаптер и повторите команду.");
    m_session->audit.portName = [this] { return m_link.settings().portName; };
    return *m_session;
}

bool CliContext::openPort()
{
    // A "front.ini" that could not be read matters only when its settings are
    // needed: as in the window, the defaults are taken and the operator told.
    if (!m_settingsError.isEmpty())
        m_err << m_settingsError << Qt::endl << Texts::frontIniDefaultsTaken << Qt::endl;
    else if (!m_settingsNotice.isEmpty())
        m_err << m_settingsNotice << Qt::endl;
    m_settingsError.clear();
    m_settingsNotice.clear();
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

std::optional<PasswordChoice> CliContext::password(const PasswordSources &sources,
                                                   const QString &usage, int *status)
{
    const PasswordChoice choice = choosePassword(sources, m_terminal);
    if (!choice.warning.isEmpty())
        m_err << choice.warning << Qt::endl;
    if (choice.found())
        return choice;
    if (choice.failureStatus == ExitStatus::WrongUsage) {
        *status = wrongUsage(choice.problem, usage);
    } else {
        m_err << choice.problem << Qt::endl;
        *status = choice.failureStatus;
    }
    return std::nullopt;
}

} // namespace miv::cli
