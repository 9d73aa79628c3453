#pragma once

#include "cli/CliOptions.h"
#include "cli/ConsoleOperator.h"
#include "cli/PasswordSource.h"
#include "link/LineLink.h"
#include "link/RelaySession.h"
#include "registry/RegistryRecorder.h"

#include <optional>
#include <QTextStream>

namespace miv::cli {

class Terminal;

// What a mivctl command works with: the port settings ("front.ini" with the
// options over it), the port link (serial or TCP gateway) and its bus, the relay session the
// window's data module would hold, the operator, and the two output streams
// (stdout UTF-8, stderr).
class CliContext
{
public:
    CliContext(const GlobalOptions &options, const QString &frontIni, QTextStream &out,
               QTextStream &err);

    const GlobalOptions &options() const { return m_options; }
    // The "front.ini" the port settings were read from.
    const QString &frontIni() const { return m_frontIni; }
    const miv::PortSettings &settings() const { return m_link.settings(); }
    miv::LineLink &link() { return m_link; }
    miv::RelayBus &bus() { return m_link.bus(); }
    miv::RelaySession &session() { return *m_session; }
    // Drops the session (relay, values, password, marks) for a new one on
    // the same link: a command that works on several relays starts each on
    // its own, so that nothing of one reaches another.
    miv::RelaySession &startFreshSession();
    // The relay register every configuration read and write is recorded in
    // (see RegistryLocation::choose); each session holds it.
    miv::RegistryRecorder &recorder() { return *m_recorder; }
    ConsoleOperator &console() { return m_operator; }
    miv::Operator &messages() { return m_operator; }
    QTextStream &out() { return m_out; }
    QTextStream &err() { return m_err; }

    // Opens the port unless it is open. On failure the message is on stderr
    // and the command should end with ExitStatus::LinkFailure.
    bool openPort();

    // Says what was wrong and how the command is used; returns ExitStatus::WrongUsage.
    int wrongUsage(const QString &problem, const QString &usage);

    // The terminal to ask on; null (the default): nobody can be asked.
    void setTerminal(Terminal *terminal) { m_terminal = terminal; }
    // The password from the first of its sources that gives one (see
    // PasswordSource.h). None: the reason is on stderr (with the usage for
    // wrong usage) and `status` holds the exit status.
    std::optional<PasswordChoice> password(const PasswordSources &sources, const QString &usage,
                                           int *status);

private:
    GlobalOptions m_options;
    QString m_frontIni;
    QTextStream &m_out;
    QTextStream &m_err;
    ConsoleOperator m_operator;
    miv::LineLink m_link; // the serial port or the TCP gateway, as the settings say
    std::unique_ptr<miv::RegistryRecorder> m_recorder;
    std::optional<miv::RelaySession> m_session;
    QString m_settingsError; // "front.ini" could not be read
    QString m_settingsNotice; // "front.ini" was read with repeated keys
    Terminal *m_terminal = nullptr;
};

} // namespace miv::cli
