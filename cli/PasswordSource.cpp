#include "cli/PasswordSource.h"

#include "cli/Commands.h"
#include "cli/Terminal.h"
#include "core/FileErrorReason.h"

#include <QDir>
#include <QFile>

namespace miv::cli {

namespace {

// A password is four letters; a line longer than this is no password file.
constexpr qint64 longestLine = 1024;

PasswordChoice failed(int status, const QString &problem)
{
    PasswordChoice choice;
    choice.failureStatus = status;
    choice.problem = problem;
    return choice;
}

PasswordChoice given(PasswordChoice::Source source, const QString &password,
                     const std::optional<QString> &confirmation = std::nullopt)
{
    PasswordChoice choice;
    choice.source = source;
    choice.password = password;
    choice.confirmation = confirmation.value_or(password);
    return choice;
}

PasswordChoice fromFile(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(ExitStatus::Refused,
                      QStringLiteral("Не удалось прочитать файл пароля %1: %2")
                              .arg(shown, fileErrorReason(file, lastSystemError())));
    QByteArray line = file.readLine(longestLine);
    if (line.startsWith("\xEF\xBB\xBF")) // an editor's UTF-8 mark
        line.remove(0, 3);
    const QString password = QString::fromUtf8(line).trimmed();
    if (password.isEmpty())
        return failed(ExitStatus::Refused,
                      QStringLiteral("В первой строке файла пароля %1 нет пароля").arg(shown));
    PasswordChoice choice = given(PasswordChoice::Source::File, password);
#ifdef Q_OS_UNIX
    // Taken all the same, as a script may rely on it; the owner is told, as
    // ssh tells of a key that others may read.
    if (file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther))
        choice.warning = QStringLiteral("Внимание: файл пароля %1 могут читать другие "
                                        "пользователи; оставьте его доступным только себе "
                                        "(chmod 600)")
                                 .arg(shown);
#endif
    return choice;
}

PasswordChoice fromTerminal(const PasswordSources &sources, Terminal &terminal)
{
    const std::optional<QString> password = terminal.readSecret(sources.prompt);
    if (!password)
        return failed(ExitStatus::Refused, QStringLiteral("Пароль не введён"));
    if (sources.confirmationPrompt.isEmpty())
        return given(PasswordChoice::Source::Terminal, *password);
    const std::optional<QString> confirmation = terminal.readSecret(sources.confirmationPrompt);
    if (!confirmation)
        return failed(ExitStatus::Refused, QStringLiteral("Пароль не введён"));
    return given(PasswordChoice::Source::Terminal, *password, *confirmation);
}

} // namespace

PasswordSources relayPasswordSources(const std::optional<QString> &option,
                                     const std::optional<QString> &file)
{
    PasswordSources sources;
    sources.optionName = QStringLiteral("--password");
    sources.option = option;
    sources.fileOptionName = QStringLiteral("--password-file");
    sources.file = file;
    sources.prompt = QStringLiteral("Введите пароль: ");
    return sources;
}

PasswordChoice choosePassword(const PasswordSources &sources, Terminal *terminal)
{
    if (sources.option && sources.file)
        return failed(ExitStatus::WrongUsage,
                      QStringLiteral("give either %1 or %2, not both")
                              .arg(sources.optionName, sources.fileOptionName));
    if (sources.option)
        return given(PasswordChoice::Source::CommandLine, *sources.option);
    if (sources.file)
        return fromFile(*sources.file);
    const QString environment = qEnvironmentVariable(sources.environmentVariable);
    if (!environment.isEmpty())
        return given(PasswordChoice::Source::Environment, environment);
    if (terminal && terminal->interactive())
        return fromTerminal(sources, *terminal);
    return failed(
            ExitStatus::WrongUsage,
            QStringLiteral("no password given: %1 FILE or the environment variable %2 "
                           "(on a terminal it is asked)")
                    .arg(sources.fileOptionName, QString::fromLatin1(sources.environmentVariable)));
}

QString argumentForMessage(const QString &argument)
{
    if (argument.startsWith(QLatin1String("--")))
        return argument;
    return QStringLiteral("a value where an option was due");
}

} // namespace miv::cli
