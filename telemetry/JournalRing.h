#pragma once

#include "telemetry/TelemetryPayloads.h"

#include <optional>
#include <QByteArray>
#include <QList>

namespace miv::telemetry {

// One relay's journal as the publisher last saw it, so that a look at one
// slot tells whether the relay wrote since.
//
// The relay writes each event into the slot after its newest entry and goes
// round from slot 99 to slot 0; until the ring is full it empties the slot
// after the new entry, where a reading ends. The ring kept here is what a
// whole reading lists: the slots from 0 on, each entry's 22 bytes, up to the
// first empty slot or the 100th. The relay's next event goes to its writing
// place: the end of a ring that is not full; in a full ring the slot after
// the newest entry, which the dates tell (the one slot whose entry is older
// than the one before it, going round), or, once a run of new entries was
// read, the slot after that run. When the dates leave it open (a clock set
// back leaves several such slots) each of them is a writing place to look
// at, until one of them shows a new entry.
class JournalRing
{
public:
    static constexpr int slotCount = 100;
    // A clock so broken that more slots than this could be the writing place:
    // slot 0 is looked at, and the whole readings find the rest.
    static constexpr int mostWritingPlaces = 4;

    JournalRing() = default;
    // The ring of a whole reading (slot 0 on), its writing places from the dates.
    explicit JournalRing(QList<QByteArray> entries);

    const QList<QByteArray> &entries() const { return m_entries; }
    int size() const { return int(m_entries.size()); }
    const QList<int> &writingPlaces() const { return m_writingPlaces; }

    // Whether an entry read at `slot` is one the ring did not hold there:
    // beyond the ring's end, or other bytes.
    bool isNewAt(int slot, const QByteArray &entry) const;
    // Puts an entry read at `slot`: within the ring, or just after its end
    // (the ring grows). False, and nothing changed, for a slot further on.
    bool put(int slot, const QByteArray &entry);
    // The relay writes its next event at `slot` (where a run of new entries ended).
    void setWritingPlace(int slot);
    // The entry at `slot`; nullopt beyond the ring or for no known event.
    std::optional<JournalEntry> entryAt(int slot) const;
    // The rank a whole reading gives the entry at `slot` (JournalLedger::entryKey):
    // 1 and one more for each slot before it whose entry says the same.
    int rankAt(int slot) const;

    static int following(int slot) { return (slot + 1) % slotCount; }
    static int preceding(int slot) { return (slot + slotCount - 1) % slotCount; }

private:
    QList<QByteArray> m_entries;
    QList<int> m_writingPlaces;
};

} // namespace miv::telemetry
