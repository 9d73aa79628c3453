#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>

// A running `mivsim` for a test: started with the given arguments, its
// pseudo-terminal path read from the "PORT <path>" line, stopped (SIGTERM,
// then kill) when the object goes. It also ends by itself should the test
// process die.
//
//   SimProcess sim({"--relays", "1:4,6:6"});
//   ASSERT_TRUE(sim.isRunning()) << sim.errorText();
//   auto port = openPtySerialPort(sim.portPath());
class SimProcess
{
public:
    explicit SimProcess(const QStringList &arguments, int startTimeoutMs = 10000);
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool isRunning() const;
    // The slave device of the pseudo-terminal; empty when the start failed.
    QString portPath() const { return m_portPath; }
    // The port on 127.0.0.1 of a simulator started with --tcp (read from its
    // "TCP <port>" line); 0 without.
    quint16 tcpPort() const { return m_tcpPort; }
    // Why the start failed: the simulator's standard error or the process error.
    QString errorText() const { return m_errorText; }

    // Sends SIGTERM and waits. The exit code, or nullopt when the simulator
    // had to be killed or crashed.
    std::optional<int> stop(int timeoutMs = 5000);
    // What the simulator wrote to standard error so far.
    QString standardError();

private:
    QProcess m_process;
    QString m_portPath;
    quint16 m_tcpPort = 0;
    QString m_errorText;
    QString m_standardError;
};
