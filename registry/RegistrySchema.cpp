#include "registry/RegistrySchema.h"

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

} // namespace

const QList<Migration> &migrations()
{
    static const QList<Migration> all = {
            {1, version1},
            {2, version2},
            {3, version3},
    };
    return all;
}

} // namespace miv::RegistrySchema
