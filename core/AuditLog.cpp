#include "core/AuditLog.h"

#include "core/AuditChain.h"
#include "core/ExclusiveFileLock.h"
#include "core/FileErrorReason.h"
#include "core/Operator.h"
#include "core/ProgramFolders.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#ifdef Q_OS_UNIX
#  include <pwd.h>
#  include <unistd.h>
#endif

namespace miv {

namespace {

// How long a writer waits for another to finish its line. A writer that
// holds the lock longer hangs; the line is then written without it rather
// than lost (a chain forked so is named by its check).
constexpr int lockWaitMs = 5000;

const QString auditNotWritten = QStringLiteral(
        "Журнал записей в реле не ведётся: не удалось записать %1 (%2). Записи в реле выполняются.");

QString targetOf(const AuditWrite &write)
{
    const QString number = QStringLiteral("0x")
            + QStringLiteral("%1").arg(write.number, 4, 16, QLatin1Char('0')).toUpper();
    return write.coil ? QStringLiteral("coil ") + number : number;
}

} // namespace

QString AuditLog::defaultFolder()
{
    const QString overridden = qEnvironmentVariable("MIV_DATA_DIR");
    if (!overridden.isEmpty())
        return overridden;
    return programFolders().dataFolder;
}

QString AuditLog::systemUserName()
{
    for (const char *name : {"USER", "USERNAME", "LOGNAME"}) {
        const QString user = qEnvironmentVariable(name);
        if (!user.isEmpty())
            return user;
    }
#ifdef Q_OS_UNIX
    // A service or a shell started without a login names no user: the
    // account the program runs under does.
    if (const passwd *account = ::getpwuid(::geteuid()); account && account->pw_name)
        return QString::fromLocal8Bit(account->pw_name);
#endif
    return QStringLiteral("?");
}

AuditLog::AuditLog(const QString &folder) : m_folder(folder) { }

QString AuditLog::filePath() const
{
    return QDir(m_folder).filePath(fileName);
}

bool AuditLog::record(int address, int factoryNumber, const AuditWrite &write,
                      const QString &answer, Operator &op, const QString &id)
{
    AuditEntry entry;
    entry.time = QDateTime::currentDateTime();
    entry.user = userName;
    entry.port = portName ? portName() : QString();
    entry.address = address;
    entry.factoryNumber = factoryNumber;
    entry.target = targetOf(write);
    entry.item = write.item;
    entry.oldValue = write.oldValue;
    entry.newValue = write.newValue;
    entry.answer = answer;
    entry.id = id;

    const std::optional<QString> failure = appendLine(toJsonLine(entry));
    if (failure && !m_failureTold) {
        m_failureTold = true;
        op.note(auditNotWritten.arg(filePath(), *failure));
    }
    return !failure;
}

QString AuditLog::newWriteId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

std::optional<QString> AuditLog::appendLine(const QByteArray &entryJson) const
{
    if (m_folder.isEmpty())
        return QStringLiteral("папка данных программы не найдена");
    if (!QDir().mkpath(m_folder))
        return folderErrorReason(m_folder, lastSystemError());
    QFile file(filePath());
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return fileErrorReason(file, lastSystemError());
    // The window and mivctl may write at once: the link read and the line
    // appended under one lock, so that the chain never forks.
    const ExclusiveFileLock lock(file, lockWaitMs);
    const std::optional<AuditChain::Tail> tail = AuditChain::tailOf(file);
    if (!tail)
        return fileErrorReason(file, lastSystemError());
    // One write, so that a line is cut, if ever, only by the power going.
    const QByteArray line = (tail->lineEndMissing ? QByteArray("\n") : QByteArray())
            + AuditChain::linkedLine(entryJson, *tail) + '\n';
    if (file.write(line) != line.size())
        return fileErrorReason(file, lastSystemError());
    return std::nullopt;
}

QByteArray AuditLog::toJsonLine(const AuditEntry &entry)
{
    QJsonObject object{
            {QStringLiteral("time"), entry.time.toString(Qt::ISODate)},
            {QStringLiteral("user"), entry.user},
            {QStringLiteral("port"), entry.port},
            {QStringLiteral("address"), entry.address},
            {QStringLiteral("factory"), entry.factoryNumber},
            {QStringLiteral("register"), entry.target},
            {QStringLiteral("item"), entry.item},
            {QStringLiteral("old"), entry.oldValue},
            {QStringLiteral("new"), entry.newValue},
            {QStringLiteral("answer"), entry.answer},
    };
    if (!entry.id.isEmpty())
        object.insert(QStringLiteral("id"), entry.id);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<AuditEntry> AuditLog::fromJsonLine(const QByteArray &line)
{
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    AuditEntry entry;
    entry.time =
            QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODate);
    if (!entry.time.isValid())
        return std::nullopt;
    entry.user = object.value(QStringLiteral("user")).toString();
    entry.port = object.value(QStringLiteral("port")).toString();
    entry.address = object.value(QStringLiteral("address")).toInt();
    entry.factoryNumber = object.value(QStringLiteral("factory")).toInt();
    entry.target = object.value(QStringLiteral("register")).toString();
    entry.item = object.value(QStringLiteral("item")).toString();
    entry.oldValue = object.value(QStringLiteral("old")).toString();
    entry.newValue = object.value(QStringLiteral("new")).toString();
    entry.answer = object.value(QStringLiteral("answer")).toString();
    entry.id = object.value(QStringLiteral("id")).toString();
    return entry;
}

QString AuditLog::readableLine(const AuditEntry &entry)
{
    QString change = entry.oldValue.isEmpty() && entry.newValue.isEmpty()
            ? QStringLiteral("-")
            : (entry.oldValue.isEmpty() ? QStringLiteral("?") : entry.oldValue)
                    + QStringLiteral(" → ") + entry.newValue;
    return QStringLiteral("%1  %2  %3  %4/%5  %6 %7  %8  %9")
            .arg(entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), entry.user,
                 entry.port.isEmpty() ? QStringLiteral("-") : entry.port,
                 QString::number(entry.address), QString::number(entry.factoryNumber), entry.target,
                 entry.item, change,
                 entry.answer == AuditAnswer::sent ? QStringLiteral("sent, answer unknown")
                                                   : entry.answer);
}

std::optional<QList<AuditEntry>> AuditLog::readEntries(const QString &path, const QDateTime &since,
                                                       QString *error)
{
    QList<AuditEntry> entries;
    QFile file(path);
    if (!file.exists())
        return entries;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = fileErrorReason(file, lastSystemError());
        return std::nullopt;
    }
    QHash<QString, qsizetype> sentAt; // a write's id: where its "sent" line stands
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty())
            continue;
        const std::optional<AuditEntry> entry = fromJsonLine(line);
        if (!entry)
            continue;
        if (const auto sent = sentAt.constFind(entry->id); sent != sentAt.cend()) {
            // Shown when it was sent, with the answer it got.
            AuditEntry &answered = entries[*sent];
            answered.answer = entry->answer;
            sentAt.erase(sent);
            continue;
        }
        if (!entry->id.isEmpty() && entry->answer == AuditAnswer::sent)
            sentAt.insert(entry->id, entries.size());
        entries.append(*entry);
    }
    if (since.isValid())
        entries.removeIf([&since](const AuditEntry &entry) { return entry.time < since; });
    return entries;
}

} // namespace miv
