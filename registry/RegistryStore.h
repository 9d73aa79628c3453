#pragma once

#include "core/RelayRecorder.h"
#include "registry/RegistryLocation.h"

#include <functional>
#include <optional>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QSqlError;
class QSqlQuery;

namespace miv {

// A relay on record: keyed by factory number and type code.
struct RegistryRelay
{
    qint64 id = 0;
    quint16 factoryNumber = 0;
    quint16 typeCode = 0;
    QString deviceName;
    QString tag; // the engineer's free text ("Насос Н-3, РУ-0,4 кВ, ячейка 12")
    quint16 softwareVersion = 0; // as seen last
    QDateTime firstSeen; // UTC
    QDateTime lastSeen;
    QString lastPort;
    int lastAddress = 0;
    RecordOutcome::Approval approval = RecordOutcome::Approval::None; // of the last snapshot
};

// One snapshot of a relay's settings.
struct RegistrySnapshot
{
    qint64 id = 0;
    qint64 relayId = 0;
    qint64 contentId = 0; // identical contents share one
    SettingsKind kind = SettingsKind::AsFound;
    QDateTime time; // UTC
    QString user; // the PC's user
    QString programVersion;
    QString port;
    int address = 0;
    quint16 softwareVersion = 0;
    quint16 typeCode = 0;
    // As it stood against the approval when recorded (None for an approval).
    RecordOutcome::Approval approval = RecordOutcome::Approval::None;
    QString note; // an approval's note; what else the recording says
    SettingsRegisters registers;
    // Who recorded it as the register knows him: on PostgreSQL the role the
    // connection logged in as and the server's time, on SQLite the PC's user
    // (not verified) and the PC's time; "" for a row of an older register.
    QString recordedBy;
    QDateTime recordedAt;
    bool recordedByVerified = false; // recordedBy is the server's
};

// One approval of a relay's settings; the earlier ones stay.
struct RegistryApproval
{
    qint64 id = 0;
    qint64 relayId = 0;
    qint64 snapshotId = 0; // the snapshot of kind Approved that holds the settings
    QDateTime time;
    QString user;
    QString source; // "snapshot N" or the settings file's name
    QString note;
};

// A software version a relay was seen with, from the time it was first seen.
struct RegistryVersion
{
    quint16 version = 0;
    QDateTime since;
};

// What a snapshot records beside the relay's own record.
struct RecordingContext
{
    QDateTime time = QDateTime::currentDateTimeUtc();
    QString user;
    QString programVersion;
};

// The relay register's store: one SQLite file or one PostgreSQL database
// through Qt SQL, the same schema on both.
//
// The schema carries its version in the table schema_version; open() makes a
// new database and brings an older one up to date by the migrations, each
// step in one transaction, and refuses a database of a newer schema naming
// its version. A later version adds its tables as a further migration (see
// RegistrySchema.cpp); nothing else here needs to change.
//
// Every write (a snapshot with its relay, content and approval state; an
// approval; a tag) is one transaction: a crash or a killed process never
// leaves half of it. SQLite runs in WAL mode with a busy time-out, so the
// window and several mivctl processes share one file.
//
// A SQLite file is read before anything is written to it: tables are made
// only in an empty file or added to a register, and another program's
// database is refused, naming its tables, and left as it was to the byte.
//
// Every call returns nullopt or false with the reason in `error()`, in the
// operator's words (a file that is no database, a lock held past the
// time-out, a PostgreSQL server that cannot be reached or refuses); it never
// throws. One object holds one connection and belongs to one thread.
//
// A PostgreSQL connection lost under an open store (the server restarted,
// the network dropped) is opened anew at the next use, once: a transaction
// that found it lost is run once more on the new connection, so that the
// record is written then, and so is a read.
class RegistryStore
{
public:
    // The newest schema this program knows.
    static int knownSchemaVersion();
    // How long a SQLite writer waits for another one, by default.
    static constexpr int defaultBusyTimeoutMs = 5000;

    explicit RegistryStore(RegistryLocation location);
    ~RegistryStore();
    RegistryStore(const RegistryStore &) = delete;
    RegistryStore &operator=(const RegistryStore &) = delete;

    // Connects (making the SQLite file and its folder on first use) and
    // migrates. False with error() when the register cannot be used.
    bool open();
    bool isOpen() const { return m_open; }
    // Before open(): how long to wait for another writer of a SQLite file.
    void setBusyTimeoutMs(int ms) { m_busyTimeoutMs = ms; }
    // Before open(): for reading only. A SQLite register that is up to date
    // is then read without a byte written to it or beside it, so that one on
    // a read-only or full disk is read all the same; one not made yet reads
    // as an empty register and is not made; an older one is brought up to
    // date as a writer would. Every write fails with error() then.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool isReadOnly() const { return m_readOnly; }
    const RegistryLocation &location() const { return m_location; }
    QString error() const { return m_error; }
    // The schema version of the open database.
    int schemaVersion() const { return m_schemaVersion; }

    // Records one configuration read in one transaction: the relay (made on
    // first sight; software version history, last port, address and time
    // updated), the content (stored once), the snapshot, and how it stands
    // against the relay's approval. Sets replacedFactoryNumber when another
    // relay was seen last at this port and address. recorded = false with
    // the failure otherwise.
    RecordOutcome recordSettings(const SettingsRecord &record, const RecordingContext &context,
                                 QChar decimalSeparator);

    // Approves a set of settings for a relay: a snapshot of kind Approved
    // and an approval referencing it, in one transaction. The approval
    // before stays in the history. The new approval's id.
    std::optional<qint64> approve(qint64 relayId, const SettingsRegisters &registers,
                                  const QString &source, const QString &note,
                                  const RecordingContext &context);
    // approve()'s statements inside a transaction of inTransaction() (a
    // confirmation on SQLite adds its sign-off in the same one).
    std::optional<qint64> addApproval(QSqlQuery &query, qint64 relayId,
                                      const SettingsRegisters &approved, const QString &source,
                                      const QString &note, const RecordingContext &context);
    // The id of a set of settings kept once by its digest (inside a
    // transaction): stored when it is new, found when it is not.
    std::optional<qint64> contentId(QSqlQuery &query, const QString &digest, int typeCode,
                                    const QString &canonicalText);
    // Sets a relay's tag.
    bool setTag(qint64 relayId, const QString &tag);

    // The relays on record, by factory number and type; with a factory
    // number only that one (of any type).
    std::optional<QList<RegistryRelay>> relays(std::optional<quint16> factoryNumber = {});
    // The relay's snapshots, oldest first.
    std::optional<QList<RegistrySnapshot>> history(qint64 relayId);
    std::optional<RegistrySnapshot> snapshot(qint64 snapshotId);
    // The relay's approvals, oldest first; the last one holds.
    std::optional<QList<RegistryApproval>> approvals(qint64 relayId);
    // The settings approved for the relay now; an empty optional inside
    // when none were.
    std::optional<std::optional<RegistrySnapshot>> approvedSettings(qint64 relayId);
    std::optional<QList<RegistryVersion>> softwareVersions(qint64 relayId);

    // Who the register takes the caller for: on PostgreSQL the role the
    // connection logged in as (session_user), which the server writes into
    // every row recorded; on SQLite `osUser`, which nothing verifies.
    std::optional<QString> identity(const QString &osUser);
    // Whether identity() is the server's (PostgreSQL) rather than the PC's word.
    bool identityVerified() const { return m_location.kind == RegistryLocation::Kind::Postgresql; }

    // The connection, for tables that later versions add.
    QSqlDatabase database() const;
    // Runs `body` in one transaction (IMMEDIATE on SQLite, so that two
    // writers never deadlock): committed when it returns true, rolled back
    // when it returns false or a statement failed. False with error() then.
    // A PostgreSQL connection found lost before the commit was sent is
    // opened anew and `body` run once more, so it must start from nothing
    // each time it is called.
    bool inTransaction(const std::function<bool(QSqlQuery &query)> &body);
    // Prepares and runs one statement with its values bound in order; false
    // with error() when it failed. Outside a transaction, a statement that
    // found the connection lost is run once more on a new one, in a new
    // `query`.
    bool exec(QSqlQuery &query, const QString &sql, const QVariantList &values = {});
    // Sets error() to `text` (the operator's words) for a refusal found by a
    // caller inside inTransaction(); false.
    bool failWith(const QString &text);

private:
    // How a SQLite file is opened: for reading, for reading the file as it
    // lies (no locks, nothing made beside it), in memory, for writing.
    enum class SqliteOpening { Reading, ReadingFileAlone, InMemory, Writing };

    bool addConnection();
    bool openSqlite();
    bool connectSqlite(SqliteOpening opening);
    std::optional<int> inspectSqlite();
    // The register inspectSqlite found, copied into a database in memory
    // (its tables, rows and indexes), the file only read.
    bool copyIntoMemory();
    std::optional<QStringList> sqliteTables();
    bool connectPostgresql();
    bool run(QSqlQuery &query, const QString &sql, const QVariantList &values);
    bool attemptTransaction(const std::function<bool(QSqlQuery &query)> &body, bool *committing);
    bool isConnectionLoss(const QSqlError &error) const;
    bool migrate();
    bool refuseNewer(int version);
    bool fail(const QString &text);
    bool failOn(const QSqlQuery &query);
    bool failOn(const QSqlError &error);
    QString operatorText(const QString &driverText, const QString &nativeCode) const;

    RegistryLocation m_location;
    QString m_connectionName;
    QString m_error;
    int m_schemaVersion = 0;
    bool m_open = false;
    bool m_readOnly = false;
    bool m_connectionLost = false; // the server's connection broke under the open store
    bool m_inTransaction = false;
    int m_errorCode = 0; // the driver's code of the last failure
    int m_busyTimeoutMs = defaultBusyTimeoutMs;
    QString m_serverIdentity;
};

// Texts of SettingsKind and Approval as the register keeps them and mivctl
// prints them ("as-found", "as-left", "approved"; "approved", "differs", "none").
QString settingsKindKey(SettingsKind kind);
std::optional<SettingsKind> settingsKindFromKey(const QString &key);
QString approvalKey(RecordOutcome::Approval approval);
// The operator's words: "при получении", "после записи", "утверждено"; for an
// approval state "совпадает", "отличается", "нет".
QString settingsKindText(SettingsKind kind);
QString approvalText(RecordOutcome::Approval approval);

} // namespace miv
