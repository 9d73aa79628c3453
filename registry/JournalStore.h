#pragma once

#include "core/RelayRecorder.h"

#include <optional>
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv {

class RegistryStore;
struct RecordingContext;

// One journal entry in the archive.
struct ArchivedJournalEntry
{
    qint64 id =
            0; // in the order the archive learnt them: a relay's entries in the order it wrote them
    qint64 relayId = 0;
    quint16 factoryNumber = 0;
    QString tag;
    QByteArray bytes; // the entry's 22 bytes as the relay gave them
    QDateTime relayTime; // on the relay's own clock (local time); invalid when no date
    // On the PC's clock: the relay's time less the clock offset seen with the
    // read that brought the entry (the relay's time when none was seen), UTC.
    QDateTime pcTime;
    QDateTime recordedAt; // the read that brought it, UTC
    qint64 number = 0; // among the relay's entries on record, from 1, in the relay's order
};

// The columns of an archived entry. A relay's entry: its number in the
// archive (from 1, in the relay's order), the date on the relay's clock as the
// journal grid shows it, the date on the PC's clock in the same form (empty
// when the entry holds no date), the event and its details. An entry of the
// line: the date on the PC's clock, the factory number, the tag, then the
// relay's date, the event and the details.
QStringList archivedEntryHeadings();
QStringList archivedEntryFields(const ArchivedJournalEntry &entry, qint64 number,
                                QChar decimalSeparator);
QStringList lineEventHeadings();
QStringList lineEventFields(const ArchivedJournalEntry &entry, QChar decimalSeparator);

// The journal archive in the relay register: the entries of every journal
// read not yet on record, under the relay (its factory number and type), the
// ring each relay's reads left (registry/JournalArchive.h) and, with each
// read, the relay's clock offset. A read is one transaction, and two
// processes recording the same relay take turns, so that no entry is
// recorded twice or lost between them.
class JournalStore
{
public:
    explicit JournalStore(RegistryStore &store);

    // Records a journal read; the entries new to the archive, or nullopt with
    // the reason in error().
    std::optional<int> addRead(const JournalRecord &record, const RecordingContext &context);

    // A relay's entries from `since` up to, not including, `until` (each may
    // be invalid: open) on the PC's time, in the order the relay wrote them;
    // with a range, an entry that holds no date is left out. Found through
    // the index of the relay's PC times: a day of a relay with a million
    // entries reads that day's only.
    std::optional<QList<ArchivedJournalEntry>> relayEntries(qint64 relayId, const QDateTime &since,
                                                            const QDateTime &until);
    // Every relay's entries from `since` to `until` on the PC's time, in that
    // time's order (a relay's own order where two fall in one millisecond).
    std::optional<QList<ArchivedJournalEntry>> lineEntries(const QDateTime &since,
                                                           const QDateTime &until);
    // The entries a relay's reads brought between two times (the visit of a
    // commissioning report), in the relay's order.
    std::optional<QList<ArchivedJournalEntry>>
    entriesRecordedBetween(qint64 relayId, const QDateTime &from, const QDateTime &to);

    QString error() const;

private:
    std::optional<QList<ArchivedJournalEntry>>
    select(const QString &where, const QVariantList &values, const QString &order);
    RegistryStore &m_store;
    QString m_error;
};

} // namespace miv
