#include "registry/RegistryStore.h"

#include "core/FileErrorReason.h"
#include "registry/RegistrySchema.h"
#include "registry/SettingsContent.h"
#include "registry/SettingsSource.h"

#include <atomic>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace miv {

namespace {

const QString sqliteDriver = QStringLiteral("QSQLITE");
const QString postgresqlDriver = QStringLiteral("QPSQL");

// A key that no other program's advisory lock is likely to use: held while
// a PostgreSQL database is made or migrated, so that two seats starting at
// once do not both make it.
constexpr qint64 migrationLockKey = 0x4D49565245474931; // "MIVREGI1"

QString timeText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime timeFromText(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

RecordOutcome::Approval approvalFromKey(const QString &key)
{
    if (key == QStringLiteral("approved"))
        return RecordOutcome::Approval::Same;
    if (key == QStringLiteral("differs"))
        return RecordOutcome::Approval::Differs;
    return RecordOutcome::Approval::None;
}

// SQLite's primary result codes; the driver may hand an extended one, whose
// low byte is the primary.
constexpr int sqliteBusy = 5;
constexpr int sqliteLocked = 6;
constexpr int sqliteReadOnly = 8;
constexpr int sqliteIoError = 10;
constexpr int sqliteFull = 13;
constexpr int sqliteCannotOpen = 14;
constexpr int sqliteNotADatabase = 26;

int sqliteCode(const QString &nativeCode)
{
    return nativeCode.toInt() & 0xFF;
}

QString notRegisterText(const QString &where)
{
    return QStringLiteral("Файл «%1» не является базой реестра реле").arg(where);
}

// Another program's database, named by what it holds.
QString otherProgramText(const QString &where, const QStringList &tables)
{
    constexpr int named = 5;
    QString names = tables.mid(0, named).join(QStringLiteral(", "));
    if (tables.size() > named)
        names += QStringLiteral(" и ещё %1").arg(tables.size() - named);
    return notRegisterText(where)
            + QStringLiteral(": в нём база другой программы (таблицы %1)").arg(names);
}

// The tables a register of `version` holds: those the migrations up to it make.
QStringList registerTables(int version)
{
    static const QRegularExpression created(QStringLiteral("^CREATE TABLE (\\w+)"));
    QStringList tables{QStringLiteral("schema_version")};
    for (const RegistrySchema::Migration &migration : RegistrySchema::migrations())
        if (migration.version <= version)
            for (const QString &statement : migration.statements)
                if (const QRegularExpressionMatch match = created.match(statement);
                    match.hasMatch())
                    tables << match.captured(1);
    return tables;
}

// Whether the SQLite file alone holds every commit: no write-ahead log with
// pages not yet copied back, no rollback journal of a write cut short.
bool fileAloneHoldsEverything(const QString &path)
{
    const QFileInfo log(path + QStringLiteral("-wal"));
    return !(log.exists() && log.size() > 0)
            && !QFileInfo::exists(path + QStringLiteral("-journal"));
}

// The SQLite address of a file with its opening parameters: "immutable=1"
// reads it as it lies (no locks taken, no shared memory made beside it),
// "mode=ro" only reads it.
QString fileUri(const QString &path, const QString &parameters)
{
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    url.setQuery(parameters);
    return url.toString(QUrl::FullyEncoded);
}

const QString fileAloneParameters = QStringLiteral("immutable=1");

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("miv-registry-%1").arg(++counter);
}

// Columns of a snapshot with its content, in the order snapshotFrom reads them.
const QString snapshotColumns = QStringLiteral(
        "s.id, s.relay_id, s.content_id, s.kind, s.taken_at, s.os_user, s.program_version, s.port,"
        " s.address, s.software_version, s.approval, s.note, c.type_code, c.registers,"
        " s.recorded_by, s.recorded_at"
        " FROM snapshots s JOIN settings_contents c ON c.id = s.content_id");

RegistrySnapshot snapshotFrom(const QSqlQuery &query, bool serverIdentity)
{
    RegistrySnapshot snapshot;
    snapshot.id = query.value(0).toLongLong();
    snapshot.relayId = query.value(1).toLongLong();
    snapshot.contentId = query.value(2).toLongLong();
    snapshot.kind = settingsKindFromKey(query.value(3).toString()).value_or(SettingsKind::AsFound);
    snapshot.time = timeFromText(query.value(4).toString());
    snapshot.user = query.value(5).toString();
    snapshot.programVersion = query.value(6).toString();
    snapshot.port = query.value(7).toString();
    snapshot.address = query.value(8).toInt();
    snapshot.softwareVersion = quint16(query.value(9).toUInt());
    snapshot.approval = approvalFromKey(query.value(10).toString());
    snapshot.note = query.value(11).toString();
    snapshot.typeCode = quint16(query.value(12).toUInt());
    snapshot.registers = SettingsContent::fromCanonicalText(query.value(13).toString())
                                 .value_or(SettingsRegisters{});
    snapshot.recordedBy = query.value(14).toString();
    snapshot.recordedAt = timeFromText(query.value(15).toString());
    snapshot.recordedByVerified = serverIdentity && !snapshot.recordedBy.isEmpty();
    return snapshot;
}

} // namespace

QString settingsKindKey(SettingsKind kind)
{
    switch (kind) {
    case SettingsKind::AsFound:
        return QStringLiteral("as-found");
    case SettingsKind::AsLeft:
        return QStringLiteral("as-left");
    case SettingsKind::Approved:
        return QStringLiteral("approved");
    }
    return {};
}

std::optional<SettingsKind> settingsKindFromKey(const QString &key)
{
    for (SettingsKind kind : {SettingsKind::AsFound, SettingsKind::AsLeft, SettingsKind::Approved})
        if (settingsKindKey(kind) == key)
            return kind;
    return std::nullopt;
}

QString approvalKey(RecordOutcome::Approval approval)
{
    switch (approval) {
    case RecordOutcome::Approval::None:
        return QStringLiteral("none");
    case RecordOutcome::Approval::Same:
        return QStringLiteral("approved");
    case RecordOutcome::Approval::Differs:
        return QStringLiteral("differs");
    }
    return {};
}

QString settingsKindText(SettingsKind kind)
{
    switch (kind) {
    case SettingsKind::AsFound:
        return QStringLiteral("при получении");
    case SettingsKind::AsLeft:
        return QStringLiteral("после записи");
    case SettingsKind::Approved:
        return QStringLiteral("утверждено");
    }
    return {};
}

QString approvalText(RecordOutcome::Approval approval)
{
    switch (approval) {
    case RecordOutcome::Approval::None:
        return QStringLiteral("нет");
    case RecordOutcome::Approval::Same:
        return QStringLiteral("совпадает");
    case RecordOutcome::Approval::Differs:
        return QStringLiteral("отличается");
    }
    return {};
}

int RegistryStore::knownSchemaVersion()
{
    return RegistrySchema::migrations().back().version;
}

RegistryStore::RegistryStore(RegistryLocation location)
    : m_location(std::move(location)), m_connectionName(nextConnectionName())
{ }

RegistryStore::~RegistryStore()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

QSqlDatabase RegistryStore::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool RegistryStore::failWith(const QString &text)
{
    return fail(text);
}

bool RegistryStore::fail(const QString &text)
{
    m_error = text;
    return false;
}

QString RegistryStore::operatorText(const QString &driverText, const QString &nativeCode) const
{
    const QString where = m_location.displayName();
    if (m_location.kind == RegistryLocation::Kind::Sqlite) {
        const int code = sqliteCode(nativeCode);
        if (code == sqliteNotADatabase || driverText.contains(QStringLiteral("not a database")))
            return notRegisterText(where);
        if (code == sqliteBusy || code == sqliteLocked
            || driverText.contains(QStringLiteral("locked")))
            return QStringLiteral("База реестра реле «%1» занята другой программой дольше %2 с")
                    .arg(where)
                    .arg(QString::number(m_busyTimeoutMs / 1000.0));
        // SQLite tells a read-only or full disk as a file it cannot open, a
        // read-only database or an input/output error; the disk tells which.
        if (code == sqliteReadOnly || code == sqliteIoError || code == sqliteFull
            || code == sqliteCannotOpen)
            if (const std::optional<QString> reason = writeBlockedReason(m_location.filePath))
                return (m_readOnly ? QStringLiteral("Базу реестра реле «%1» нельзя прочитать: %2")
                                   : QStringLiteral("Базу реестра реле «%1» нельзя записать: %2"))
                        .arg(where, *reason);
        return QStringLiteral("Ошибка базы реестра реле «%1»: %2").arg(where, driverText);
    }
    static const QStringList refusals = {
            QStringLiteral("authentication"), QStringLiteral("does not exist"),
            QStringLiteral("pg_hba.conf"),    QStringLiteral("permission denied"),
            QStringLiteral("no password"),    QStringLiteral("password"),
    };
    if (!m_open) {
        for (const QString &word : refusals)
            if (driverText.contains(word, Qt::CaseInsensitive))
                return QStringLiteral("Сервер реестра реле %1 отказал в подключении: %2")
                        .arg(where, driverText);
        return QStringLiteral("Сервер реестра реле %1 недоступен: %2").arg(where, driverText);
    }
    return QStringLiteral("Ошибка базы реестра реле %1: %2").arg(where, driverText);
}

// libpq tells a connection it lost with no SQLSTATE at all, the server one it
// ends with class 08 (connection exception) or 57P01 to 57P03 (shut down,
// crashed, not yet accepting connections).
bool RegistryStore::isConnectionLoss(const QSqlError &error) const
{
    if (m_location.kind != RegistryLocation::Kind::Postgresql || !m_open
        || error.type() == QSqlError::NoError)
        return false;
    const QString state = error.nativeErrorCode();
    return state.isEmpty() || state.startsWith(QStringLiteral("08"))
            || state == QStringLiteral("57P01") || state == QStringLiteral("57P02")
            || state == QStringLiteral("57P03");
}

bool RegistryStore::failOn(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    m_errorCode = error.nativeErrorCode().toInt();
    if (isConnectionLoss(error)) {
        // The next open() connects anew.
        m_connectionLost = true;
        m_open = false;
        return fail(QStringLiteral("Сервер реестра реле %1 недоступен: %2")
                            .arg(m_location.displayName(), text));
    }
    return fail(operatorText(text, error.nativeErrorCode()));
}

bool RegistryStore::failOn(const QSqlQuery &query)
{
    return failOn(query.lastError());
}

bool RegistryStore::exec(QSqlQuery &query, const QString &sql, const QVariantList &values)
{
    if (run(query, sql, values))
        return true;
    // A statement outside a transaction (a read) that found the connection
    // lost is asked once more on a new one; a transaction is run again whole.
    if (!m_connectionLost || m_inTransaction || !open())
        return false;
    const bool forwardOnly = query.isForwardOnly();
    query = QSqlQuery(database());
    query.setForwardOnly(forwardOnly);
    return run(query, sql, values);
}

bool RegistryStore::run(QSqlQuery &query, const QString &sql, const QVariantList &values)
{
    bool done = false;
    if (values.isEmpty()) {
        done = query.exec(sql);
    } else {
        if (!query.prepare(sql))
            return failOn(query);
        // An empty text is stored as such, never as NULL.
        for (const QVariant &value : values)
            query.addBindValue(value.typeId() == QMetaType::QString && value.toString().isNull()
                                       ? QVariant(QStringLiteral(""))
                                       : value);
        done = query.exec();
    }
    return done || failOn(query);
}

bool RegistryStore::inTransaction(const std::function<bool(QSqlQuery &query)> &body)
{
    if (m_readOnly && m_open)
        return fail(QStringLiteral("База реестра реле «%1» открыта только для чтения")
                            .arg(m_location.displayName()));
    const bool wasOpen = m_open;
    bool committing = false;
    if (attemptTransaction(body, &committing))
        return true;
    // A commit sent on a connection that broke may have been kept: running
    // the body again could record it twice, so that failure is reported.
    if (!wasOpen || !m_connectionLost || committing)
        return false;
    return open() && attemptTransaction(body, &committing);
}

bool RegistryStore::attemptTransaction(const std::function<bool(QSqlQuery &query)> &body,
                                       bool *committing)
{
    QSqlQuery query(database());
    const bool sqlite = m_location.kind == RegistryLocation::Kind::Sqlite;
    *committing = false;
    m_inTransaction = true;
    const auto leave = qScopeGuard([this] { m_inTransaction = false; });
    if (!exec(query, sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN")))
        return false;
    if (body(query)) {
        *committing = true;
        if (exec(query, QStringLiteral("COMMIT")))
            return true;
    }
    if (m_connectionLost)
        return false; // nothing to roll back on a connection that is gone
    const QString reason = m_error;
    QSqlQuery rollback(database());
    rollback.exec(QStringLiteral("ROLLBACK"));
    m_error = reason;
    return false;
}

bool RegistryStore::open()
{
    if (m_open)
        return true;
    if (m_connectionLost) {
        database().close();
        m_connectionLost = false;
    }
    m_error.clear();
    m_errorCode = 0;
    const bool opened = m_location.kind == RegistryLocation::Kind::Sqlite
            ? openSqlite()
            : connectPostgresql() && migrate();
    if (!opened) {
        database().close();
        return false;
    }
    m_open = true;
    return true;
}

bool RegistryStore::addConnection()
{
    const bool sqlite = m_location.kind == RegistryLocation::Kind::Sqlite;
    const QString driver = sqlite ? sqliteDriver : postgresqlDriver;
    if (!QSqlDatabase::isDriverAvailable(driver))
        return fail(QStringLiteral("Нет драйвера %1 для реестра реле (пакет %2)")
                            .arg(driver,
                                 sqlite ? QStringLiteral("libqt6sql6-sqlite")
                                        : QStringLiteral("libqt6sql6-psql")));
    if (!QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::addDatabase(driver, m_connectionName);
    return true;
}

bool RegistryStore::openSqlite()
{
    if (!addConnection())
        return false;
    const QFileInfo file(m_location.filePath);
    if (file.isDir())
        return fail(notRegisterText(m_location.displayName()));
    if (file.exists() && file.size() > 0) {
        const std::optional<int> version = inspectSqlite();
        if (!version)
            return false;
        if (*version > knownSchemaVersion())
            return refuseNewer(*version);
        if (m_readOnly && *version == knownSchemaVersion()) {
            m_schemaVersion = *version;
            return true;
        }
        // An older register that is only read may lie where it cannot be
        // written: it is migrated in memory and the file left as it lies.
        if (m_readOnly && *version > 0)
            return copyIntoMemory() && migrate();
        database().close();
        if (m_readOnly && *version == 0)
            return connectSqlite(SqliteOpening::InMemory) && migrate();
    } else if (m_readOnly) {
        // Nothing recorded yet: an empty register, so that reading makes no file.
        return connectSqlite(SqliteOpening::InMemory) && migrate();
    }
    return connectSqlite(SqliteOpening::Writing) && migrate();
}

bool RegistryStore::connectSqlite(SqliteOpening opening)
{
    QSqlDatabase db = database();
    const QString busyTimeout = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs);
    switch (opening) {
    case SqliteOpening::Reading:
        db.setDatabaseName(m_location.filePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;") + busyTimeout);
        break;
    case SqliteOpening::ReadingFileAlone:
        db.setDatabaseName(fileUri(m_location.filePath, fileAloneParameters));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        break;
    case SqliteOpening::InMemory:
        db.setDatabaseName(QStringLiteral(":memory:"));
        // So that a file is attached by its address, read-only.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        break;
    case SqliteOpening::Writing: {
        const QString folder = QFileInfo(m_location.filePath).absolutePath();
        if (!QDir().mkpath(folder))
            return fail(QStringLiteral("Не удалось создать папку реестра реле «%1»")
                                .arg(QDir::toNativeSeparators(folder)));
        db.setDatabaseName(m_location.filePath);
        db.setConnectOptions(busyTimeout);
        break;
    }
    }
    if (!db.open())
        return failOn(db.lastError());
    if (opening != SqliteOpening::Writing)
        return true;
    QSqlQuery query(db);
    // WAL lets readers go on while one process writes; it is kept in the file.
    if (!exec(query, QStringLiteral("PRAGMA journal_mode=WAL")))
        return false;
    // In WAL mode a commit is never half kept at a crash or a power loss;
    // NORMAL only lets the last commits wait for the next checkpoint to
    // reach the disk, instead of a sync per snapshot.
    if (!exec(query, QStringLiteral("PRAGMA synchronous=NORMAL")))
        return false;
    return exec(query, QStringLiteral("PRAGMA foreign_keys=ON"));
}

bool RegistryStore::copyIntoMemory()
{
    // The file as inspectSqlite read it: by itself when its folder could not be written.
    const bool fileAlone = database().databaseName().startsWith(QLatin1String("file:"));
    database().close();
    if (!connectSqlite(SqliteOpening::InMemory))
        return false;
    QSqlQuery query(database());
    if (!exec(query, QStringLiteral("ATTACH DATABASE ? AS found"),
              {fileUri(m_location.filePath,
                       fileAlone ? fileAloneParameters : QStringLiteral("mode=ro"))})
        || !exec(query,
                 QStringLiteral("SELECT type, name, sql FROM found.sqlite_master WHERE sql IS NOT "
                                "NULL AND name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY type <> "
                                "'table', rowid")))
        return false;
    // The tables as the file made them, their rows, then their indexes.
    QStringList tables;
    QStringList names;
    QStringList others;
    while (query.next()) {
        const bool table = query.value(0).toString() == QLatin1String("table");
        (table ? tables : others) << query.value(2).toString();
        if (table)
            names << query.value(1).toString();
    }
    for (const QString &statement : std::as_const(tables))
        if (!exec(query, statement))
            return false;
    for (const QString &name : std::as_const(names))
        if (!exec(query,
                  QStringLiteral("INSERT INTO main.\"%1\" SELECT * FROM found.\"%1\"").arg(name)))
            return false;
    for (const QString &statement : std::as_const(others))
        if (!exec(query, statement))
            return false;
    return exec(query, QStringLiteral("DETACH DATABASE found"));
}

std::optional<QStringList> RegistryStore::sqliteTables()
{
    QSqlQuery query(database());
    if (!exec(query,
              QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table', 'view') "
                             "AND name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY name")))
        return std::nullopt;
    QStringList tables;
    while (query.next())
        tables << query.value(0).toString();
    return tables;
}

std::optional<int> RegistryStore::inspectSqlite()
{
    std::optional<QStringList> tables;
    if (connectSqlite(SqliteOpening::Reading))
        tables = sqliteTables();
    // SQLite makes its shared memory beside a WAL file even to read it; on a
    // read-only or full disk it cannot, and the file alone is read instead
    // when it holds every commit.
    const int code = m_errorCode & 0xFF;
    if (!tables
        && (code == sqliteReadOnly || code == sqliteIoError || code == sqliteFull
            || code == sqliteCannotOpen)
        && fileAloneHoldsEverything(m_location.filePath)) {
        const QString reason = m_error;
        database().close();
        if (connectSqlite(SqliteOpening::ReadingFileAlone))
            tables = sqliteTables();
        m_error = tables ? QString() : reason;
    }
    if (!tables)
        return std::nullopt;
    if (tables->isEmpty())
        return 0;
    if (tables->contains(QStringLiteral("schema_version"))) {
        QSqlQuery query(database());
        if (query.exec(QStringLiteral("SELECT version FROM schema_version")) && query.next()) {
            const int version = query.value(0).toInt();
            bool complete = version >= 1;
            for (const QString &table : registerTables(std::min(version, knownSchemaVersion())))
                complete = complete && tables->contains(table);
            if (complete)
                return version;
        }
    }
    fail(otherProgramText(m_location.displayName(), *tables));
    return std::nullopt;
}

bool RegistryStore::connectPostgresql()
{
    if (!addConnection())
        return false;
    QSqlDatabase db = database();
    // What the address leaves out is left to libpq (PGHOST, PGPORT, PGUSER,
    // PGDATABASE and its defaults): Qt's driver passes no empty part and no port
    // below 0.
    db.setHostName(m_location.host);
    db.setPort(m_location.port.value_or(-1));
    db.setUserName(m_location.user);
    db.setDatabaseName(m_location.database);
    QString options = m_location.options;
    if (!options.contains(QStringLiteral("connect_timeout="))
        && qEnvironmentVariableIsEmpty("PGCONNECT_TIMEOUT"))
        options += QStringLiteral("%1connect_timeout=10").arg(options.isEmpty() ? "" : ";");
    db.setConnectOptions(options);
    return db.open() || failOn(db.lastError());
}

bool RegistryStore::refuseNewer(int version)
{
    return fail(QStringLiteral("База реестра реле %1 имеет схему версии %2, а эта программа "
                               "знает только версии до %3: обновите программу")
                        .arg(m_location.displayName())
                        .arg(version)
                        .arg(knownSchemaVersion()));
}

bool RegistryStore::migrate()
{
    const bool sqlite = m_location.kind == RegistryLocation::Kind::Sqlite;
    const int known = knownSchemaVersion();
    {
        // A database already up to date needs no writer's lock.
        QSqlQuery query(database());
        if (database().tables().contains(QStringLiteral("schema_version"))
            && exec(query, QStringLiteral("SELECT version FROM schema_version")) && query.next()) {
            m_schemaVersion = query.value(0).toInt();
            if (m_schemaVersion > known)
                return refuseNewer(m_schemaVersion);
            if (m_schemaVersion == known)
                return true;
        } else if (!m_error.isEmpty()) {
            return false;
        }
    }
    return inTransaction([&](QSqlQuery &query) {
        // Another seat may have made the tables since the look above: its
        // schema_version makes PostgreSQL say "already exists, skipping",
        // a notice libpq would print on stderr.
        if (!sqlite
            && (!exec(query, QStringLiteral("SET LOCAL client_min_messages TO warning"))
                || !exec(query,
                         QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(migrationLockKey))))
            return false;
        if (!exec(query,
                  QStringLiteral(
                          "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"))
            || !exec(query, QStringLiteral("SELECT version FROM schema_version")))
            return false;
        int version = 0;
        if (query.next()) {
            version = query.value(0).toInt();
        } else if (!exec(query,
                         QStringLiteral("INSERT INTO schema_version (version) VALUES (0)"))) {
            return false;
        }
        if (version > known)
            return refuseNewer(version);
        const QString idType = sqlite ? QStringLiteral("INTEGER PRIMARY KEY")
                                      : QStringLiteral("BIGSERIAL PRIMARY KEY");
        for (const RegistrySchema::Migration &migration : RegistrySchema::migrations()) {
            if (migration.version <= version)
                continue;
            for (QString statement : migration.statements) {
                const QString other = sqlite ? QStringLiteral("{PG}") : QStringLiteral("{SQLITE}");
                if (statement.startsWith(other))
                    continue;
                statement.remove(sqlite ? QStringLiteral("{SQLITE}") : QStringLiteral("{PG}"));
                if (!exec(query, statement.replace(QStringLiteral("{ID}"), idType)))
                    return false;
            }
            version = migration.version;
        }
        m_schemaVersion = version;
        return exec(query, QStringLiteral("UPDATE schema_version SET version = ?"), {version});
    });
}

RecordOutcome RegistryStore::recordSettings(const SettingsRecord &record,
                                            const RecordingContext &context, QChar decimalSeparator)
{
    RecordOutcome outcome;
    if (!open()) {
        outcome.failure = m_error;
        return outcome;
    }
    const QString now = timeText(context.time);
    const SettingsRegisters registers =
            SettingsContent::settingsOnly(record.registers, record.typeCode);
    const QString canonical = SettingsContent::canonicalText(registers);
    const QString digest = SettingsContent::digest(record.typeCode, registers);
    const bool done = inTransaction([&](QSqlQuery &query) {
        outcome = RecordOutcome{};
        // Who was seen last where this relay answers now.
        std::optional<std::pair<qint64, quint16>> previousHere;
        if (!record.port.isEmpty()) {
            if (!exec(query,
                      QStringLiteral(
                              "SELECT id, factory_number FROM relays WHERE last_port = ? AND "
                              "last_address = ? ORDER BY last_seen DESC, id DESC LIMIT 1"),
                      {record.port, int(record.address)}))
                return false;
            if (query.next())
                previousHere = {query.value(0).toLongLong(), quint16(query.value(1).toUInt())};
        }
        if (!exec(query,
                  QStringLiteral(
                          "INSERT INTO relays (factory_number, type_code, device_name, "
                          "software_version, first_seen, last_seen, last_port, last_address) "
                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
                          "ON CONFLICT (factory_number, type_code) DO NOTHING"),
                  {int(record.factoryNumber), int(record.typeCode), record.deviceName,
                   int(record.softwareVersion), now, now, record.port, int(record.address)}))
            return false;
        const bool newRelay = query.numRowsAffected() == 1;
        if (!exec(query,
                  QStringLiteral("SELECT id, software_version, approval_id, tag FROM relays "
                                 "WHERE factory_number = ? AND type_code = ?"),
                  {int(record.factoryNumber), int(record.typeCode)})
            || !query.next())
            return m_error.isEmpty() ? fail(QStringLiteral("Реле не внесено в реестр")) : false;
        const qint64 relayId = query.value(0).toLongLong();
        const bool versionChanged = quint16(query.value(1).toUInt()) != record.softwareVersion;
        const QVariant approvalId = query.value(2);
        outcome.tag = query.value(3).toString();
        if ((newRelay || versionChanged)
            && !exec(query,
                     QStringLiteral("INSERT INTO software_versions (relay_id, version, seen_at) "
                                    "VALUES (?, ?, ?)"),
                     {relayId, int(record.softwareVersion), now}))
            return false;

        const std::optional<qint64> content =
                this->contentId(query, digest, int(record.typeCode), canonical);
        if (!content)
            return false;
        const qint64 contentId = *content;

        if (!approvalId.isNull()) {
            if (!exec(query,
                      QStringLiteral("SELECT s.content_id, c.registers FROM approvals a "
                                     "JOIN snapshots s ON s.id = a.snapshot_id "
                                     "JOIN settings_contents c ON c.id = s.content_id "
                                     "WHERE a.id = ?"),
                      {approvalId.toLongLong()}))
                return false;
            if (query.next()) {
                if (query.value(0).toLongLong() == contentId) {
                    outcome.approval = RecordOutcome::Approval::Same;
                } else {
                    outcome.approval = RecordOutcome::Approval::Differs;
                    const auto approved =
                            SettingsContent::fromCanonicalText(query.value(1).toString());
                    outcome.differences =
                            SettingsContent::changes(approved.value_or(SettingsRegisters{}),
                                                     registers, record.typeCode, decimalSeparator);
                }
            }
        }
        QString note;
        if (previousHere && previousHere->first != relayId) {
            outcome.replacedFactoryNumber = previousHere->second;
            note = QStringLiteral("заменило реле №%1").arg(previousHere->second);
        }
        if (!exec(query,
                  QStringLiteral("INSERT INTO snapshots (relay_id, content_id, kind, taken_at, "
                                 "os_user, program_version, port, address, software_version, "
                                 "approval, note, recorded_by, recorded_at) VALUES (?, ?, ?, ?, "
                                 "?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"),
                  {relayId, contentId, settingsKindKey(record.kind), now, context.user,
                   context.programVersion, record.port, int(record.address),
                   int(record.softwareVersion), approvalKey(outcome.approval), note, context.user,
                   now})
            || !query.next())
            return false;
        outcome.snapshotId = query.value(0).toLongLong();
        if (!exec(query,
                  QStringLiteral("UPDATE relays SET device_name = ?, software_version = ?, "
                                 "last_seen = ?, last_port = ?, last_address = ?, "
                                 "last_snapshot_id = ?, last_content_id = ? WHERE id = ?"),
                  {record.deviceName, int(record.softwareVersion), now, record.port,
                   int(record.address), outcome.snapshotId, contentId, relayId}))
            return false;
        return !outcome.replacedFactoryNumber
                || exec(query,
                        QStringLiteral("INSERT INTO replacements (port, address, old_relay_id, "
                                       "new_relay_id, seen_at) VALUES (?, ?, ?, ?, ?)"),
                        {record.port, int(record.address), previousHere->first, relayId, now});
    });
    if (!done) {
        RecordOutcome failed;
        failed.failure = m_error;
        return failed;
    }
    outcome.recorded = true;
    return outcome;
}

std::optional<qint64> RegistryStore::approve(qint64 relayId, const SettingsRegisters &approved,
                                             const QString &source, const QString &note,
                                             const RecordingContext &context)
{
    if (!open())
        return std::nullopt;
    std::optional<qint64> approvalId;
    const bool done = inTransaction([&](QSqlQuery &query) {
        approvalId = addApproval(query, relayId, approved, source, note, context);
        return approvalId.has_value();
    });
    if (!done)
        return std::nullopt;
    return approvalId;
}

std::optional<qint64> RegistryStore::contentId(QSqlQuery &query, const QString &digest,
                                               int typeCode, const QString &canonicalText)
{
    if (!exec(query,
              QStringLiteral("INSERT INTO settings_contents (digest, type_code, registers) "
                             "VALUES (?, ?, ?) ON CONFLICT (digest) DO NOTHING"),
              {digest, typeCode, canonicalText})
        || !exec(query, QStringLiteral("SELECT id FROM settings_contents WHERE digest = ?"),
                 {digest})
        || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

std::optional<qint64> RegistryStore::addApproval(QSqlQuery &query, qint64 relayId,
                                                 const SettingsRegisters &approved,
                                                 const QString &source, const QString &note,
                                                 const RecordingContext &context)
{
    const QString now = timeText(context.time);
    if (!exec(query,
              QStringLiteral("SELECT type_code, last_port, last_address, software_version "
                             "FROM relays WHERE id = ?"),
              {relayId}))
        return std::nullopt;
    if (!query.next()) {
        fail(QStringLiteral("Реле нет в реестре"));
        return std::nullopt;
    }
    const int typeCode = query.value(0).toInt();
    const QString port = query.value(1).toString();
    const int address = query.value(2).toInt();
    const int softwareVersion = query.value(3).toInt();
    const SettingsRegisters registers = SettingsContent::settingsOnly(approved, quint16(typeCode));
    const QString digest = SettingsContent::digest(quint16(typeCode), registers);
    const std::optional<qint64> content =
            contentId(query, digest, typeCode, SettingsContent::canonicalText(registers));
    if (!content)
        return std::nullopt;
    const qint64 contentId = *content;
    if (!exec(query,
              QStringLiteral("INSERT INTO snapshots (relay_id, content_id, kind, taken_at, "
                             "os_user, program_version, port, address, software_version, "
                             "approval, note, recorded_by, recorded_at) VALUES (?, ?, ?, ?, "
                             "?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"),
              {relayId, contentId, settingsKindKey(SettingsKind::Approved), now, context.user,
               context.programVersion, port, address, softwareVersion,
               approvalKey(RecordOutcome::Approval::None), note, context.user, now})
        || !query.next())
        return std::nullopt;
    const qint64 snapshotId = query.value(0).toLongLong();
    if (!exec(query,
              QStringLiteral("INSERT INTO approvals (relay_id, snapshot_id, approved_at, "
                             "approved_by, source, note, recorded_by, recorded_at) VALUES (?, ?, "
                             "?, ?, ?, ?, ?, ?) RETURNING id"),
              {relayId, snapshotId, now, context.user, source, note, context.user, now})
        || !query.next())
        return std::nullopt;
    const qint64 approvalId = query.value(0).toLongLong();
    if (!exec(query,
              QStringLiteral("UPDATE relays SET approval_id = ?, approved_content_id = ? "
                             "WHERE id = ?"),
              {approvalId, contentId, relayId}))
        return std::nullopt;
    return approvalId;
}

std::optional<QString> RegistryStore::identity(const QString &osUser)
{
    if (!open())
        return std::nullopt;
    if (m_location.kind == RegistryLocation::Kind::Sqlite)
        return osUser;
    if (m_serverIdentity.isEmpty()) {
        QSqlQuery query(database());
        if (!exec(query, QStringLiteral("SELECT session_user")) || !query.next())
            return std::nullopt;
        m_serverIdentity = query.value(0).toString();
    }
    return m_serverIdentity;
}

bool RegistryStore::setTag(qint64 relayId, const QString &tag)
{
    if (!open())
        return false;
    return inTransaction([&](QSqlQuery &query) {
        if (!exec(query, QStringLiteral("UPDATE relays SET tag = ? WHERE id = ?"), {tag, relayId}))
            return false;
        return query.numRowsAffected() == 1 || fail(QStringLiteral("Реле нет в реестре"));
    });
}

std::optional<QList<RegistryRelay>> RegistryStore::relays(std::optional<quint16> factoryNumber)
{
    if (!open())
        return std::nullopt;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    QString sql = QStringLiteral(
            "SELECT r.id, r.factory_number, r.type_code, r.device_name, r.tag, r.software_version,"
            " r.first_seen, r.last_seen, r.last_port, r.last_address, r.last_content_id,"
            " r.approved_content_id FROM relays r");
    QVariantList values;
    if (factoryNumber) {
        sql += QStringLiteral(" WHERE r.factory_number = ?");
        values << int(*factoryNumber);
    }
    sql += QStringLiteral(" ORDER BY r.factory_number, r.type_code");
    if (!exec(query, sql, values))
        return std::nullopt;
    QList<RegistryRelay> relays;
    while (query.next()) {
        RegistryRelay relay;
        relay.id = query.value(0).toLongLong();
        relay.factoryNumber = quint16(query.value(1).toUInt());
        relay.typeCode = quint16(query.value(2).toUInt());
        relay.deviceName = query.value(3).toString();
        relay.tag = query.value(4).toString();
        relay.softwareVersion = quint16(query.value(5).toUInt());
        relay.firstSeen = timeFromText(query.value(6).toString());
        relay.lastSeen = timeFromText(query.value(7).toString());
        relay.lastPort = query.value(8).toString();
        relay.lastAddress = query.value(9).toInt();
        if (!query.value(11).isNull() && !query.value(10).isNull())
            relay.approval = query.value(10).toLongLong() == query.value(11).toLongLong()
                    ? RecordOutcome::Approval::Same
                    : RecordOutcome::Approval::Differs;
        relays.append(relay);
    }
    return relays;
}

std::optional<QList<RegistrySnapshot>> RegistryStore::history(qint64 relayId)
{
    if (!open())
        return std::nullopt;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!exec(query,
              QStringLiteral("SELECT ") + snapshotColumns
                      + QStringLiteral(" WHERE s.relay_id = ? ORDER BY s.id"),
              {relayId}))
        return std::nullopt;
    QList<RegistrySnapshot> snapshots;
    while (query.next())
        snapshots.append(snapshotFrom(query, identityVerified()));
    return snapshots;
}

std::optional<RegistrySnapshot> RegistryStore::snapshot(qint64 snapshotId)
{
    if (!open())
        return std::nullopt;
    QSqlQuery query(database());
    if (!exec(query,
              QStringLiteral("SELECT ") + snapshotColumns + QStringLiteral(" WHERE s.id = ?"),
              {snapshotId}))
        return std::nullopt;
    if (!query.next()) {
        fail(QStringLiteral("В реестре нет записи настроек №%1").arg(snapshotId));
        return std::nullopt;
    }
    return snapshotFrom(query, identityVerified());
}

std::optional<QList<RegistryApproval>> RegistryStore::approvals(qint64 relayId)
{
    if (!open())
        return std::nullopt;
    QSqlQuery query(database());
    if (!exec(query,
              QStringLiteral("SELECT id, relay_id, snapshot_id, approved_at, approved_by, source, "
                             "note FROM approvals WHERE relay_id = ? ORDER BY id"),
              {relayId}))
        return std::nullopt;
    QList<RegistryApproval> approvals;
    while (query.next())
        approvals.append({query.value(0).toLongLong(), query.value(1).toLongLong(),
                          query.value(2).toLongLong(), timeFromText(query.value(3).toString()),
                          query.value(4).toString(), query.value(5).toString(),
                          query.value(6).toString()});
    return approvals;
}

std::optional<std::optional<RegistrySnapshot>> RegistryStore::approvedSettings(qint64 relayId)
{
    if (!open())
        return std::nullopt;
    QSqlQuery query(database());
    if (!exec(query,
              QStringLiteral("SELECT ") + snapshotColumns
                      + QStringLiteral(" JOIN approvals a ON a.snapshot_id = s.id"
                                       " JOIN relays r ON r.approval_id = a.id WHERE r.id = ?"),
              {relayId}))
        return std::nullopt;
    if (!query.next())
        return std::optional<RegistrySnapshot>{};
    return std::optional<RegistrySnapshot>{snapshotFrom(query, identityVerified())};
}

std::optional<QList<RegistryVersion>> RegistryStore::softwareVersions(qint64 relayId)
{
    if (!open())
        return std::nullopt;
    QSqlQuery query(database());
    if (!exec(query,
              QStringLiteral("SELECT version, seen_at FROM software_versions WHERE relay_id = ? "
                             "ORDER BY id"),
              {relayId}))
        return std::nullopt;
    QList<RegistryVersion> versions;
    while (query.next())
        versions.append(
                {quint16(query.value(0).toUInt()), timeFromText(query.value(1).toString())});
    return versions;
}

} // namespace miv
