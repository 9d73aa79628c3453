#include "support/ProgramRun.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

QString programDirectory()
{
    const QByteArray fromEnvironment = qgetenv("MIV_BIN_DIR");
    if (!fromEnvironment.isEmpty())
        return QString::fromLocal8Bit(fromEnvironment);
    // Every program and test lands in the same bin folder.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
}

QString programPath(const QString &name)
{
    return QDir(programDirectory()).filePath(name);
}

ProgramResult runProgram(const QString &program, const QStringList &arguments, int timeoutMs,
                         const QByteArray &input, const QString &workingDirectory)
{
    ProgramResult result;
    QProcess process;
    // The passwords a test gives are on its command lines, never taken from
    // the environment of whoever runs the tests.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("MIV_PASSWORD"));
    environment.remove(QStringLiteral("MIV_NEW_PASSWORD"));
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        result.standardError = process.errorString();
        return result;
    }
    result.started = true;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    if (result.finished && !result.crashed)
        result.exitCode = process.exitCode();
    result.standardOutput = QString::fromUtf8(process.readAllStandardOutput());
    result.standardError = QString::fromUtf8(process.readAllStandardError());
    return result;
}

ProgramResult runMivctl(const QStringList &arguments, int timeoutMs, const QByteArray &input,
                        const QString &workingDirectory)
{
    return runProgram(programPath(QStringLiteral("mivctl")), arguments, timeoutMs, input,
                      workingDirectory);
}
