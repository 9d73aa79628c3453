#include "registry/RegistrySchema.h"

#include "registry/RegistryServerFunctions.h"

namespace miv::RegistrySchema {

namespace {

// Version 1: relays, their software versions, settings contents (stored
// once), snapshots, approvals and replaced relays. Times are UTC as ISO 8601
// text with milliseconds, so that they sort as text on both drivers.
// relays.last_snapshot_id, approval_id and their content ids keep the list of
// a large register a read of one table.
const QStringList version1 = {
        QStringLiteral("CREATE TABLE relays ("
                       " id {ID},"
                       " factory_number INTEGER NOT NULL,"
                       " type_code INTEGER NOT NULL,"
                       " device_name TEXT NOT NULL,"
                       " tag TEXT NOT NULL DEFAULT '',"
                       " software_version INTEGER NOT NULL,"
                       " first_seen TEXT NOT NULL,"
                       " last_seen TEXT NOT NULL,"
                       " last_port TEXT NOT NULL,"
                       " last_address INTEGER NOT NULL,"
                       " last_snapshot_id BIGINT,"
                       " last_content_id BIGINT,"
                       " approval_id BIGINT,"
                       " approved_content_id BIGINT,"
                       " UNIQUE (factory_number, type_code))"),
        QStringLiteral("CREATE INDEX relays_place ON relays (last_port, last_address, last_seen)"),
        QStringLiteral("CREATE TABLE software_versions ("
                       " id {ID},"
                       " relay_id BIGINT NOT NULL REFERENCES relays (id),"
                       " version INTEGER NOT NULL,"
                       " seen_at TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX software_versions_relay ON software_versions (relay_id, id)"),
        QStringLiteral("CREATE TABLE settings_contents ("
                       " id {ID},"
                       " digest TEXT NOT NULL UNIQUE,"
                       " type_code INTEGER NOT NULL,"
                       " registers TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE snapshots ("
                       " id {ID},"
                       " relay_id BIGINT NOT NULL REFERENCES relays (id),"
                       " content_id BIGINT NOT NULL REFERENCES settings_contents (id),"
                       " kind TEXT NOT NULL,"
                       " taken_at TEXT NOT NULL,"
                       " os_user TEXT NOT NULL,"
                       " program_version TEXT NOT NULL,"
                       " port TEXT NOT NULL,"
                       " address INTEGER NOT NULL,"
                       " software_version INTEGER NOT NULL,"
                       " approval TEXT NOT NULL,"
                       " note TEXT NOT NULL DEFAULT '')"),
        QStringLiteral("CREATE INDEX snapshots_relay ON snapshots (relay_id, id)"),
        QStringLiteral("CREATE TABLE approvals ("
                       " id {ID},"
                       " relay_id BIGINT NOT NULL REFERENCES relays (id),"
                       " snapshot_id BIGINT NOT NULL REFERENCES snapshots (id),"
                       " approved_at TEXT NOT NULL,"
                       " approved_by TEXT NOT NULL,"
                       " source TEXT NOT NULL,"
                       " note TEXT NOT NULL DEFAULT '')"),
        QStringLiteral("CREATE INDEX approvals_relay ON approvals (relay_id, id)"),
        QStringLiteral("CREATE TABLE replacements ("
                       " id {ID},"
                       " port TEXT NOT NULL,"
                       " address INTEGER NOT NULL,"
                       " old_relay_id BIGINT NOT NULL REFERENCES relays (id),"
                       " new_relay_id BIGINT NOT NULL REFERENCES relays (id),"
                       " seen_at TEXT NOT NULL)"),
};

// Version 2: the journal archive. Each journal read with the relay's clock
// offset seen; each entry the reads brought, once, as its 22 bytes in hex,
// with the relay's time (local, to the second, "" when no date) and the PC's
// (UTC, the read's offset taken off); the ring each relay's reads left, for
// matching the next read (registry/JournalArchive.h).
const QStringList version2 = {
        QStringLiteral("CREATE TABLE journal_reads ("
                       " id {ID},"
                       " relay_id BIGINT NOT NULL REFERENCES relays (id),"
                       " read_at TEXT NOT NULL,"
                       " os_user TEXT NOT NULL,"
                       " port TEXT NOT NULL,"
                       " address INTEGER NOT NULL,"
                       " clock_offset_ms BIGINT,"
                       " entries INTEGER NOT NULL,"
                       " new_entries INTEGER NOT NULL)"),
        QStringLiteral("CREATE INDEX journal_reads_relay ON journal_reads (relay_id, id)"),
        QStringLiteral("CREATE TABLE journal_entries ("
                       " id {ID},"
                       " relay_id BIGINT NOT NULL REFERENCES relays (id),"
                       " read_id BIGINT NOT NULL REFERENCES journal_reads (id),"
                       " code INTEGER NOT NULL,"
                       " bytes TEXT NOT NULL,"
                       " relay_time TEXT NOT NULL,"
                       " pc_time TEXT NOT NULL,"
                       " recorded_at TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX journal_entries_relay ON journal_entries (relay_id, id)"),
        QStringLiteral("CREATE INDEX journal_entries_time ON journal_entries (pc_time)"),
        QStringLiteral("CREATE INDEX journal_entries_recorded ON journal_entries (relay_id, "
                       "recorded_at)"),
        QStringLiteral("CREATE TABLE journal_rings ("
                       " relay_id BIGINT PRIMARY KEY REFERENCES relays (id),"
                       " ring TEXT NOT NULL)"),
};

// Version 3: a relay's entries of a time range are found without reading
// all of them: each entry carries its number among the relay's (from 1, in
// the relay's order), and the PC's time is indexed by relay. The entries on
// record are numbered as the archive listed them.
const QStringList version3 = {
        QStringLiteral("ALTER TABLE journal_entries ADD COLUMN number BIGINT NOT NULL DEFAULT 0"),
        QStringLiteral("UPDATE journal_entries SET number = ranked.number FROM (SELECT id, "
                       "ROW_NUMBER() OVER (PARTITION BY relay_id ORDER BY id) AS number FROM "
                       "journal_entries) AS ranked WHERE ranked.id = journal_entries.id"),
        QStringLiteral("CREATE INDEX journal_entries_relay_time ON journal_entries (relay_id, "
                       "pc_time)"),
};

// Version 4: change control. Who recorded a row is kept beside the PC's user
// (recorded_by, recorded_at): on PostgreSQL the server writes the role the
// connection logged in as and its own time, whatever the program sends; on
// SQLite the program writes the PC's user, which nothing verifies.
// A proposal of settings waits for another person's confirmation; every step
// of a relay's settings (proposed, confirmed, rejected, applied, verified,
// locked, unlocked) is a sign-off. Recorded rows are never changed or
// removed: triggers refuse it on both drivers (a later migration that must
// change one disables the trigger for its statement). Adding a column stays
// possible. On PostgreSQL an approval, a confirmation, a rejection and a lock
// are made only by the functions below, which run as the register's owner
// and check the caller by session_user; `mivctl registry roles --setup`
// grants them (registry/RegistryRoles.h).
QStringList keptTable(const QString &table)
{
    return {QStringLiteral("{SQLITE}CREATE TRIGGER %1_kept_update BEFORE UPDATE ON %1 BEGIN "
                           "SELECT RAISE(ABORT, 'Записи реестра реле не изменяются (%1)'); END")
                    .arg(table),
            QStringLiteral("{SQLITE}CREATE TRIGGER %1_kept_delete BEFORE DELETE ON %1 BEGIN "
                           "SELECT RAISE(ABORT, 'Записи реестра реле не удаляются (%1)'); END")
                    .arg(table),
            QStringLiteral("{PG}CREATE TRIGGER %1_kept BEFORE UPDATE OR DELETE ON %1 FOR EACH ROW "
                           "EXECUTE FUNCTION miv_refuse_change()")
                    .arg(table),
            QStringLiteral("{PG}CREATE TRIGGER %1_kept_truncate BEFORE TRUNCATE ON %1 FOR EACH "
                           "STATEMENT EXECUTE FUNCTION miv_refuse_change()")
                    .arg(table)};
}

QStringList stampedTable(const QString &table, bool addColumns)
{
    QStringList statements;
    if (addColumns)
        statements
                << QStringLiteral("ALTER TABLE %1 ADD COLUMN recorded_by TEXT NOT NULL DEFAULT ''")
                           .arg(table)
                << QStringLiteral("ALTER TABLE %1 ADD COLUMN recorded_at TEXT NOT NULL DEFAULT ''")
                           .arg(table);
    statements << QStringLiteral("{PG}CREATE TRIGGER %1_stamp BEFORE INSERT ON %1 FOR EACH ROW "
                                 "EXECUTE FUNCTION miv_stamp()")
                          .arg(table);
    return statements;
}

QStringList version4()
{
    QStringList statements = {
            QStringLiteral(
                    "{PG}CREATE OR REPLACE FUNCTION miv_stamp() RETURNS trigger LANGUAGE plpgsql AS $$ "
                    "BEGIN NEW.recorded_by := session_user; NEW.recorded_at := ")
                    + serverNowExpression() + QStringLiteral("; RETURN NEW; END $$"),
            QStringLiteral(
                    "{PG}CREATE OR REPLACE FUNCTION miv_refuse_change() RETURNS trigger LANGUAGE plpgsql "
                    "AS $$ BEGIN RAISE EXCEPTION 'Записи реестра реле не изменяются и не "
                    "удаляются (%)', TG_TABLE_NAME; END $$"),
            QStringLiteral("CREATE TABLE proposals ("
                           " id {ID},"
                           " relay_id BIGINT NOT NULL REFERENCES relays (id),"
                           " content_id BIGINT NOT NULL REFERENCES settings_contents (id),"
                           " source_snapshot_id BIGINT REFERENCES snapshots (id),"
                           " source TEXT NOT NULL,"
                           " note TEXT NOT NULL DEFAULT '',"
                           " os_user TEXT NOT NULL,"
                           " program_version TEXT NOT NULL,"
                           " recorded_by TEXT NOT NULL DEFAULT '',"
                           " recorded_at TEXT NOT NULL DEFAULT '')"),
            QStringLiteral("CREATE INDEX proposals_relay ON proposals (relay_id, id)"),
            QStringLiteral("CREATE TABLE signoffs ("
                           " id {ID},"
                           " relay_id BIGINT NOT NULL REFERENCES relays (id),"
                           " meaning TEXT NOT NULL,"
                           " proposal_id BIGINT REFERENCES proposals (id),"
                           " approval_id BIGINT REFERENCES approvals (id),"
                           " note TEXT NOT NULL DEFAULT '',"
                           " os_user TEXT NOT NULL,"
                           " recorded_by TEXT NOT NULL DEFAULT '',"
                           " recorded_at TEXT NOT NULL DEFAULT '')"),
            QStringLiteral("CREATE INDEX signoffs_relay ON signoffs (relay_id, id)"),
            QStringLiteral("CREATE INDEX signoffs_proposal ON signoffs (proposal_id)"),
    };
    for (const QString &table : {QStringLiteral("snapshots"), QStringLiteral("approvals"),
                                 QStringLiteral("journal_reads")})
        statements << stampedTable(table, true);
    for (const QString &table : {QStringLiteral("proposals"), QStringLiteral("signoffs")})
        statements << stampedTable(table, false);
    for (const QString &table : {QStringLiteral("snapshots"), QStringLiteral("approvals"),
                                 QStringLiteral("journal_reads"), QStringLiteral("journal_entries"),
                                 QStringLiteral("proposals"), QStringLiteral("signoffs")})
        statements << keptTable(table);
    statements << serverFunctions();
    return statements;
}

} // namespace

const QList<Migration> &migrations()
{
    static const QList<Migration> all = {
            {1, version1},
            {2, version2},
            {3, version3},
            {4, version4()},
    };
    return all;
}

} // namespace miv::RegistrySchema
