#pragma once

#include "telemetry/TelemetryPayloads.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv::telemetry {

// The journal entries already published, relay by relay, kept in a state
// file so that a restart neither repeats nor skips one.
//
// The rule. An entry is known by what it says, its date, code and info,
// plus its rank among the entries of one reading that say the same (two
// equal entries count twice); never by its slot, since the slots move when
// the relay's journal of 100 entries wraps or is cleared. A relay is known by
// its address and its factory number: another relay put at the same address
// has a record of its own, so its whole journal is published, and the one
// that left keeps its record should it come back. A record keeps the keys of
// the last 200 entries published, twice what a journal holds: every entry
// the relay still holds stays known, and the file stays small. An entry of a
// wrapped or cleared journal is new by what it says and is published once.
//
// The file (UTF-8 JSON) names its line: one file serves one line, and a file
// of another line is refused rather than mixed up.
//
// Beside the keys it keeps each relay's ring as last read (JournalRing's
// slots, in hex), so that a publisher started again looks only at where
// each relay writes next rather than reading every journal whole. The ring
// only saves reading: what was published is told by the keys alone, and a
// file without rings, or with one that is no ring, is read as having none.
class JournalLedger
{
public:
    static constexpr int keysKept = 200;

    JournalLedger(QString path, QString line);

    // The default file of a line: publish-LINE.json in the program's data
    // folder (MIV_DATA_DIR, else the system's folder for the program's data).
    static QString defaultPath(const QString &line);

    const QString &path() const { return m_path; }
    // The previous state, kept beside the file when it is replaced: PATH.bak.
    QString backupPath() const { return m_path + QStringLiteral(".bak"); }
    // Reads the file; a missing file means nothing was published yet. False,
    // with the reason, for a file that cannot be read, is no such file (not
    // JSON, or a "relays" that is no object of lists of texts) or belongs to
    // another line: never taken as empty, which would publish every journal
    // again.
    bool load(QString *error);
    // Whether the file can be written where it is: its folder made if
    // missing, and a file made in it and removed. False, with the system's
    // reason, when not: found at start rather than after publishing.
    bool checkWritable(QString *error) const;
    // Writes the file whole beside itself and then puts it in place, so that
    // a stop at any moment leaves the old file or the new one; what the file
    // held before is kept at backupPath() first.
    bool save(QString *error);
    bool hasUnsavedChanges() const { return m_unsaved; }

    static QString relayKey(int address, int factoryNumber);
    // The keys of the entries of one reading, in their order: what each
    // says (JournalEntry::identity) and its rank among the entries of the
    // reading that say the same.
    static QStringList entryKeys(const QList<JournalEntry> &entries);
    static QString entryKey(const JournalEntry &entry, int rank);
    // The key a file written before the identity held the entry's numbers
    // knows it by: its date, code and details text with a decimal point.
    static QString earlierEntryKey(const JournalEntry &entry, int rank);

    bool isPublished(const QString &relay, const QString &entryKey) const;
    void markPublished(const QString &relay, const QString &entryKey);

    // The relay's ring as last kept (slot 0 on); empty when none is.
    QList<QByteArray> ring(const QString &relay) const { return m_rings.value(relay); }
    void keepRing(const QString &relay, const QList<QByteArray> &entries);

private:
    QString m_path;
    QString m_line;
    QHash<QString, QStringList> m_published; // relay key: entry keys, oldest first
    QHash<QString, QList<QByteArray>> m_rings; // relay key: the slots as last read
    QByteArray m_onDisk; // what the file holds, for the backup
    bool m_unsaved = false;
};

} // namespace miv::telemetry
