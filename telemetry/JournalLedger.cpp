#include "telemetry/JournalLedger.h"

#include "core/AuditLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace miv::telemetry {

namespace {

const QString lineField = QStringLiteral("line");
const QString relaysField = QStringLiteral("relays");
constexpr qint64 largestFile = 16 * 1024 * 1024;

} // namespace

JournalLedger::JournalLedger(QString path, QString line)
    : m_path(std::move(path)), m_line(std::move(line))
{ }

QString JournalLedger::defaultPath(const QString &line)
{
    return QDir(AuditLog::defaultFolder()).filePath(QStringLiteral("publish-%1.json").arg(line));
}

bool JournalLedger::load(QString *error)
{
    m_published.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (file.size() > largestFile) {
        *error = m_path + QStringLiteral(": too large for a state file");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = m_path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        *error = m_path + QStringLiteral(": not a state file of published journal entries (")
                + parseError.errorString() + u')';
        return false;
    }
    const QJsonObject root = document.object();
    if (root.value(lineField).toString() != m_line) {
        *error = m_path
                + QStringLiteral(": the state file of line \"%1\", not of \"%2\"")
                          .arg(root.value(lineField).toString(), m_line);
        return false;
    }
    const QJsonObject relays = root.value(relaysField).toObject();
    for (auto relay = relays.begin(); relay != relays.end(); ++relay) {
        QStringList keys;
        for (const QJsonValue &key : relay.value().toArray())
            keys << key.toString();
        m_published.insert(relay.key(), keys);
    }
    return true;
}

bool JournalLedger::save(QString *error)
{
    QJsonObject relays;
    for (auto relay = m_published.cbegin(); relay != m_published.cend(); ++relay)
        relays.insert(relay.key(), QJsonArray::fromStringList(relay.value()));
    const QJsonObject root{{lineField, m_line}, {relaysField, relays}};

    const QString folder = QFileInfo(m_path).absolutePath();
    QSaveFile file(m_path);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly)
        || file.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) < 0 || !file.commit()) {
        *error = m_path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    m_unsaved = false;
    return true;
}

QString JournalLedger::relayKey(int address, int factoryNumber)
{
    return QStringLiteral("%1/%2").arg(address).arg(factoryNumber);
}

QStringList JournalLedger::entryKeys(const QList<JournalEntry> &entries)
{
    QHash<QString, int> seen;
    QStringList keys;
    for (const JournalEntry &entry : entries) {
        const QString says = entry.date + u'|' + QString::number(entry.code) + u'|' + entry.info;
        keys << says + u'|' + QString::number(++seen[says]);
    }
    return keys;
}

bool JournalLedger::isPublished(const QString &relay, const QString &entryKey) const
{
    return m_published.value(relay).contains(entryKey);
}

void JournalLedger::markPublished(const QString &relay, const QString &entryKey)
{
    QStringList &keys = m_published[relay];
    if (keys.contains(entryKey))
        return;
    keys.append(entryKey);
    while (keys.size() > keysKept)
        keys.removeFirst();
    m_unsaved = true;
}

} // namespace miv::telemetry
