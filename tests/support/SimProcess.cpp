#include "support/SimProcess.h"

#include "support/ProgramRun.h"

#include <QDeadlineTimer>

SimProcess::SimProcess(const QStringList &arguments, int startTimeoutMs)
{
    m_process.start(programPath(QStringLiteral("mivsim")), QStringList(arguments) << QStringLiteral("--stop-with-parent"));
    if (!m_process.waitForStarted(startTimeoutMs)) {
        m_errorText = m_process.errorString();
        return;
    }
    QDeadlineTimer deadline(startTimeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running) {
            m_process.waitForFinished(100);
            m_errorText = QStringLiteral("mivsim gave no PORT line: ") + standardError();
            stop();
            return;
        }
        m_process.waitForReadyRead(int(std::min<qint64>(100, deadline.remainingTime())));
    }
    const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (!line.startsWith(QLatin1String("PORT "))) {
        m_errorText = QStringLiteral("mivsim's first line is not PORT: ") + line;
        stop();
        return;
    }
    m_portPath = line.mid(5);
}

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::isRunning() const
{
    return m_process.state() == QProcess::Running && !m_portPath.isEmpty();
}

std::optional<int> SimProcess::stop(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit ? std::optional<int>(m_process.exitCode()) : std::nullopt;
    m_process.terminate();
    if (m_process.waitForFinished(timeoutMs) && m_process.exitStatus() == QProcess::NormalExit)
        return m_process.exitCode();
    m_process.kill();
    m_process.waitForFinished(timeoutMs);
    return std::nullopt;
}

QString SimProcess::standardError()
{
    m_standardError += QString::fromLocal8Bit(m_process.readAllStandardError());
    return m_standardError;
}
