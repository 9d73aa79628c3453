#include "telemetry/JournalLedger.h"

#include "core/AuditLog.h"
#include "core/FileErrorReason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTemporaryFile>

namespace miv::telemetry {

namespace {

const QString lineField = QStringLiteral("line");
const QString relaysField = QStringLiteral("relays");
const QString ringsField = QStringLiteral("rings");
constexpr qint64 largestFile = 16 * 1024 * 1024;
constexpr int entryBytes = 22;

// The rings of the file: each a list of slots of 22 bytes in hex. A ring
// that is no such list is left out (it only saves reading).
QHash<QString, QList<QByteArray>> ringsOf(const QJsonObject &rings)
{
    QHash<QString, QList<QByteArray>> result;
    for (auto ring = rings.begin(); ring != rings.end(); ++ring) {
        QList<QByteArray> kept;
        for (const QJsonValue &slot : ring.value().toArray()) {
            const QByteArray bytes = QByteArray::fromHex(slot.toString().toLatin1());
            if (bytes.size() != entryBytes)
                break;
            kept << bytes;
        }
        if (!kept.isEmpty() && kept.size() == ring.value().toArray().size())
            result.insert(ring.key(), kept);
    }
    return result;
}

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
    m_rings.clear();
    m_onDisk.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (file.size() > largestFile) {
        *error = m_path + QStringLiteral(": too large for a state file");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = m_path + QStringLiteral(": ") + fileErrorReason(file, lastSystemError());
        return false;
    }
    const QByteArray bytes = file.readAll();
    const QString notState =
            m_path + QStringLiteral(": not a state file of published journal entries (%1)");
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = notState.arg(QStringLiteral("%1 at byte %2")
                                      .arg(parseError.errorString())
                                      .arg(parseError.offset));
        return false;
    }
    if (!document.isObject()) {
        *error = notState.arg(QStringLiteral("no JSON object"));
        return false;
    }
    const QJsonObject root = document.object();
    if (root.value(lineField).toString() != m_line) {
        *error = m_path
                + QStringLiteral(": the state file of line \"%1\", not of \"%2\"")
                          .arg(root.value(lineField).toString(), m_line);
        return false;
    }
    const QJsonValue relaysValue = root.value(relaysField);
    if (!relaysValue.isObject()) {
        *error = notState.arg(QStringLiteral("\"relays\" is no object"));
        return false;
    }
    const QJsonObject relays = relaysValue.toObject();
    QHash<QString, QStringList> published;
    for (auto relay = relays.begin(); relay != relays.end(); ++relay) {
        if (!relay.value().isArray()) {
            *error = notState.arg(QStringLiteral("relay %1 has no list").arg(relay.key()));
            return false;
        }
        QStringList keys;
        for (const QJsonValue &key : relay.value().toArray()) {
            if (!key.isString()) {
                *error = notState.arg(
                        QStringLiteral("relay %1 has an entry that is no text").arg(relay.key()));
                return false;
            }
            keys << key.toString();
        }
        published.insert(relay.key(), keys);
    }
    m_published = std::move(published);
    m_rings = ringsOf(root.value(ringsField).toObject());
    m_onDisk = bytes;
    return true;
}

bool JournalLedger::checkWritable(QString *error) const
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = folder + QStringLiteral(": ") + folderErrorReason(folder, lastSystemError());
        return false;
    }
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".publish-XXXXXX")));
    if (!probe.open()) {
        *error = folder + QStringLiteral(": ") + fileErrorReason(probe, lastSystemError());
        return false;
    }
    return true;
}

bool JournalLedger::save(QString *error)
{
    QJsonObject relays;
    for (auto relay = m_published.cbegin(); relay != m_published.cend(); ++relay)
        relays.insert(relay.key(), QJsonArray::fromStringList(relay.value()));
    QJsonObject rings;
    for (auto ring = m_rings.cbegin(); ring != m_rings.cend(); ++ring) {
        QJsonArray kept;
        for (const QByteArray &slot : ring.value())
            kept.append(QString::fromLatin1(slot.toHex()));
        rings.insert(ring.key(), kept);
    }
    const QJsonObject root{{lineField, m_line}, {relaysField, relays}, {ringsField, rings}};
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Compact);

    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = folder + QStringLiteral(": ") + folderErrorReason(folder, lastSystemError());
        return false;
    }
    const auto writeWhole = [error](const QString &path, const QByteArray &content) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()
            || !file.commit()) {
            *error = path + QStringLiteral(": ") + fileErrorReason(file, lastSystemError());
            return false;
        }
        return true;
    };
    if (!m_onDisk.isEmpty() && !writeWhole(backupPath(), m_onDisk))
        return false;
    if (!writeWhole(m_path, bytes))
        return false;
    m_onDisk = bytes;
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
    for (const JournalEntry &entry : entries)
        keys << entryKey(entry, ++seen[entry.identity()]);
    return keys;
}

QString JournalLedger::entryKey(const JournalEntry &entry, int rank)
{
    return entry.identity() + QStringLiteral("|#") + QString::number(rank);
}

QString JournalLedger::earlierEntryKey(const JournalEntry &entry, int rank)
{
    return entry.date + u'|' + QString::number(entry.code) + u'|' + entry.info + u'|'
            + QString::number(rank);
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

void JournalLedger::keepRing(const QString &relay, const QList<QByteArray> &entries)
{
    if (m_rings.value(relay) == entries)
        return;
    m_rings.insert(relay, entries);
    m_unsaved = true;
}

} // namespace miv::telemetry
