#include "support/SimProcess.h"

#include "support/ProgramRun.h"

#include <QDeadlineTimer>
#include <algorithm>

SimProcess::SimProcess(const QStringList &arguments, int startTimeoutMs)
{
    m_process.start(programPath(QStringLiteral("mivsim")),
                    QStringList(arguments) << QStringLiteral("--stop-with-parent"));
    if (!m_process.waitForStarted(startTimeoutMs)) {
        m_errorText = m_process.errorString();
        return;
    }
    QDeadlineTimer deadline(startTimeoutMs);
    const auto nextLine = [&](const char *what) -> std::optional<QString> {
        while (!m_process.canReadLine()) {
            if (deadline.hasExpired() || m_process.state() != QProcess::Running) {
                m_process.waitForFinished(100);
                m_errorText = QStringLiteral("mivsim gave no %1 line: ").arg(QLatin1String(what))
                        + standardError();
                stop();
                return std::nullopt;
            }
            m_process.waitForReadyRead(int(std::min<qint64>(100, deadline.remainingTime())));
        }
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    };
    const std::optional<QString> line = nextLine("PORT");
    if (!line)
        return;
    if (!line->startsWith(QLatin1String("PORT "))) {
        m_errorText = QStringLiteral("mivsim's first line is not PORT: ") + *line;
        stop();
        return;
    }
    // With --tcp the second line names the TCP port.
    const bool tcp = std::any_of(arguments.begin(), arguments.end(), [](const QString &argument) {
        return argument == QLatin1String("--tcp") || argument.startsWith(QLatin1String("--tcp="));
    });
    if (tcp) {
        const std::optional<QString> tcpLine = nextLine("TCP");
        if (!tcpLine)
            return;
        bool ok = false;
        const uint port =
                tcpLine->startsWith(QLatin1String("TCP ")) ? tcpLine->mid(4).toUInt(&ok) : 0;
        if (!ok || port == 0 || port > 65535) {
            m_errorText = QStringLiteral("mivsim's second line is not TCP <port>: ") + *tcpLine;
            stop();
            return;
        }
        m_tcpPort = quint16(port);
    }
    m_portPath = line->mid(5);
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
        return m_process.exitStatus() == QProcess::NormalExit
                ? std::optional<int>(m_process.exitCode())
                : std::nullopt;
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
