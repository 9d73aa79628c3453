#include "registry/JournalStore.h"

#include "core/RegisterMap.h"
#include "registry/JournalArchive.h"
#include "registry/RegistryStore.h"

#include <QSqlQuery>

namespace miv {

namespace {

constexpr int entryBytes = 2 * RelayRegister::journalEntryCount;

QString timeText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime timeFromText(const QString &text)
{
    if (text.isEmpty())
        return {};
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

// The relay's time as the archive keeps it: local, to the second, no zone.
QString relayTimeText(const QDateTime &time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) : QString();
}

QString ringText(const QList<QByteArray> &ring)
{
    QByteArray all;
    for (const QByteArray &entry : ring)
        all += entry;
    return QString::fromLatin1(all.toHex());
}

QList<QByteArray> ringFromText(const QString &text)
{
    const QByteArray all = QByteArray::fromHex(text.toLatin1());
    QList<QByteArray> ring;
    for (qsizetype at = 0; at + entryBytes <= all.size(); at += entryBytes)
        ring << all.mid(at, entryBytes);
    return ring;
}

const QString entryColumns = QStringLiteral(
        "SELECT e.id, e.relay_id, r.factory_number, r.tag, e.bytes, e.relay_time, e.pc_time, "
        "e.recorded_at, e.number FROM journal_entries e JOIN relays r ON r.id = e.relay_id ");

} // namespace

JournalStore::JournalStore(RegistryStore &store) : m_store(store) { }

QString JournalStore::error() const
{
    return m_error.isEmpty() ? m_store.error() : m_error;
}

std::optional<int> JournalStore::addRead(const JournalRecord &record,
                                         const RecordingContext &context)
{
    m_error.clear();
    if (!m_store.open())
        return std::nullopt;
    const QString now = timeText(context.time);
    const bool sqlite = m_store.location().kind == RegistryLocation::Kind::Sqlite;
    int added = 0;
    const bool done = m_store.inTransaction([&](QSqlQuery &query) {
        if (!m_store.exec(query,
                          QStringLiteral("INSERT INTO relays (factory_number, type_code, "
                                         "device_name, software_version, first_seen, last_seen, "
                                         "last_port, last_address) VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
                                         "ON CONFLICT (factory_number, type_code) DO NOTHING"),
                          {int(record.factoryNumber), int(record.typeCode), record.deviceName,
                           int(record.softwareVersion), now, now, record.port,
                           int(record.address)}))
            return false;
        // The relay's row held to the end, so that a second reader of the
        // same relay waits and then sees this one's ring (SQLite holds the
        // whole file from BEGIN IMMEDIATE on).
        if (!m_store.exec(query,
                          QStringLiteral("SELECT id FROM relays WHERE factory_number = ? AND "
                                         "type_code = ?")
                                  + (sqlite ? QString() : QStringLiteral(" FOR UPDATE")),
                          {int(record.factoryNumber), int(record.typeCode)})
            || !query.next())
            return false;
        const qint64 relayId = query.value(0).toLongLong();
        if (!m_store.exec(query,
                          QStringLiteral("SELECT ring FROM journal_rings WHERE relay_id = ?"),
                          {relayId}))
            return false;
        const QList<QByteArray> kept =
                query.next() ? ringFromText(query.value(0).toString()) : QList<QByteArray>{};
        const JournalMatch match = matchJournalRead(kept, record.entries);
        added = int(match.newEntries.size());

        if (!m_store.exec(query,
                          QStringLiteral("INSERT INTO journal_reads (relay_id, read_at, os_user, "
                                         "port, address, clock_offset_ms, entries, new_entries) "
                                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"),
                          {relayId, now, context.user, record.port, int(record.address),
                           record.clockOffsetMs ? QVariant(*record.clockOffsetMs)
                                                : QVariant(QMetaType(QMetaType::LongLong)),
                           int(record.entries.size()), added})
            || !query.next())
            return false;
        const qint64 read = query.value(0).toLongLong();
        // The relay's last number: its entries go in the relay's order.
        if (!m_store.exec(query,
                          QStringLiteral("SELECT number FROM journal_entries WHERE relay_id = ? "
                                         "ORDER BY id DESC LIMIT 1"),
                          {relayId}))
            return false;
        qint64 number = query.next() ? query.value(0).toLongLong() : 0;

        const QString insert = QStringLiteral(
                "INSERT INTO journal_entries (relay_id, read_id, code, bytes, relay_time, pc_time, "
                "recorded_at, number) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        for (int position : match.newEntries) {
            const QByteArray &bytes = record.entries[position];
            const QDateTime relayTime = journalEntryTime(bytes);
            QDateTime pcTime = relayTime;
            // In whole seconds, as the relay counts: an offset is known to
            // half a second at best.
            if (pcTime.isValid() && record.clockOffsetMs)
                pcTime = pcTime.addSecs(-qRound64(double(*record.clockOffsetMs) / 1000.0));
            if (!m_store.exec(query, insert,
                              {relayId, read, int(bytes.isEmpty() ? 0 : quint8(bytes.at(0))),
                               QString::fromLatin1(bytes.toHex()), relayTimeText(relayTime),
                               pcTime.isValid() ? timeText(pcTime) : QString(), now, ++number}))
                return false;
        }
        return m_store.exec(
                query,
                QStringLiteral("INSERT INTO journal_rings (relay_id, ring) VALUES (?, ?) "
                               "ON CONFLICT (relay_id) DO UPDATE SET ring = "
                               "excluded.ring"),
                {relayId, ringText(match.ring)});
    });
    if (!done)
        return std::nullopt;
    return added;
}

std::optional<QList<ArchivedJournalEntry>>
JournalStore::select(const QString &where, const QVariantList &values, const QString &order)
{
    m_error.clear();
    if (!m_store.open())
        return std::nullopt;
    QSqlQuery query(m_store.database());
    query.setForwardOnly(true);
    if (!m_store.exec(query, entryColumns + where + order, values))
        return std::nullopt;
    QList<ArchivedJournalEntry> entries;
    while (query.next()) {
        ArchivedJournalEntry entry;
        entry.id = query.value(0).toLongLong();
        entry.relayId = query.value(1).toLongLong();
        entry.factoryNumber = quint16(query.value(2).toUInt());
        entry.tag = query.value(3).toString();
        entry.bytes = QByteArray::fromHex(query.value(4).toString().toLatin1());
        entry.relayTime = QDateTime::fromString(query.value(5).toString(), Qt::ISODate);
        entry.pcTime = timeFromText(query.value(6).toString());
        entry.recordedAt = timeFromText(query.value(7).toString());
        entry.number = query.value(8).toLongLong();
        entries << entry;
    }
    return entries;
}

namespace {

// The condition of a time range on the PC's time, and its values. An entry
// that holds no date lies in no range.
QString rangeCondition(const QDateTime &since, const QDateTime &until, QVariantList &values)
{
    QString condition;
    if (since.isValid() || until.isValid())
        condition += QStringLiteral(" AND e.pc_time <> ''");
    if (since.isValid()) {
        condition += QStringLiteral(" AND e.pc_time >= ?");
        values << timeText(since);
    }
    if (until.isValid()) {
        condition += QStringLiteral(" AND e.pc_time < ?");
        values << timeText(until);
    }
    return condition;
}

} // namespace

std::optional<QList<ArchivedJournalEntry>>
JournalStore::relayEntries(qint64 relayId, const QDateTime &since, const QDateTime &until)
{
    QVariantList values{relayId};
    const QString range = rangeCondition(since, until, values);
    return select(QStringLiteral("WHERE e.relay_id = ?") + range, values,
                  QStringLiteral(" ORDER BY e.id"));
}

std::optional<QList<ArchivedJournalEntry>> JournalStore::lineEntries(const QDateTime &since,
                                                                     const QDateTime &until)
{
    QVariantList values;
    const QString range = rangeCondition(since, until, values);
    return select(QStringLiteral("WHERE e.pc_time <> ''") + range, values,
                  QStringLiteral(" ORDER BY e.pc_time, e.relay_id, e.id"));
}

std::optional<QList<ArchivedJournalEntry>>
JournalStore::entriesRecordedBetween(qint64 relayId, const QDateTime &from, const QDateTime &to)
{
    return select(QStringLiteral("WHERE e.relay_id = ? AND e.recorded_at >= ? AND "
                                 "e.recorded_at <= ?"),
                  {relayId, timeText(from), timeText(to)}, QStringLiteral(" ORDER BY e.id"));
}

namespace {

QString gridTime(const QDateTime &time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy.MM.dd HH:mm:ss"))
                          : QString();
}

} // namespace

QStringList archivedEntryHeadings()
{
    return {QStringLiteral("Номер"), QStringLiteral("Дата события"), QStringLiteral("Время ПК"),
            QStringLiteral("Событие"), QStringLiteral("Информация")};
}

QStringList archivedEntryFields(const ArchivedJournalEntry &entry, qint64 number,
                                QChar decimalSeparator)
{
    const QStringList texts = journalEntryTexts(entry.bytes, decimalSeparator);
    return {QString::number(number), texts[0], gridTime(entry.pcTime), texts[1], texts[2]};
}

QStringList lineEventHeadings()
{
    return {QStringLiteral("Время ПК"), QStringLiteral("Заводской №"),
            QStringLiteral("Метка"),    QStringLiteral("Дата события"),
            QStringLiteral("Событие"),  QStringLiteral("Информация")};
}

QStringList lineEventFields(const ArchivedJournalEntry &entry, QChar decimalSeparator)
{
    const QStringList texts = journalEntryTexts(entry.bytes, decimalSeparator);
    return {gridTime(entry.pcTime),
            QString::number(entry.factoryNumber),
            entry.tag,
            texts[0],
            texts[1],
            texts[2]};
}

} // namespace miv
