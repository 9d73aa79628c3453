#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <optional>

namespace miv {

// Which entries of a journal read are new to the archive.
//
// A relay keeps its last events in a ring of 100 slots; a reading lists the
// slots from 0 up to the first empty one, each entry as its 22 bytes (the
// event code, the relay's date and time to the second, the details). An
// entry has no number of its own: the archive knows it by its bytes and by
// its slot, and keeps, for each relay, the ring as the reads so far left it
// (the last slots seen). A new read is laid over that ring in the one of two
// ways that leaves the most entries known:
//
// - slot by slot: the slots that hold what they held before are known; the
//   slots that changed, or lie beyond the ring kept, must be one run of
//   slots in turn (the relay writes its next slot and goes round from the
//   last to the first), and are new, in that run's order. This is a journal
//   that grew, and a ring that wrapped, however its writing place lies; a
//   read that stopped early (a failed reading, or a reading that raced
//   another) is a part of the ring kept and brings nothing new. When every
//   slot of a full ring changed (100 events or more since the last read),
//   the run begins at the writing place, which only the dates tell: the
//   slot whose entry is dated furthest before the one ahead of it;
// - shifted: the entries kept, less the oldest few, open the read, and the
//   entries after them are new. This is a relay that keeps its journal
//   oldest first and drops the oldest entry to make room.
//
// A relay whose clock was set back writes entries dated before entries it
// wrote earlier, or even dated as they were: the slots tell them apart, the
// dates decide nothing but the writing place of a ring that is new in every
// slot. What cannot be told apart: an entry whose 22 bytes equal those of the
// entry its slot held before (a relay that went round the ring exactly,
// writing the same event in the same second, or whose clock was set back to
// repeat one), an entry lost by the relay itself, written over before any
// read saw it (more than 100 events between two reads), and the writing
// place of a ring new in every slot whose clock was set back on the way by
// more than its newest entry is dated after its oldest.
struct JournalMatch
{
    QList<int> newEntries; // positions in the read, oldest first
    QList<QByteArray> ring; // the ring to keep for the next read
};
JournalMatch matchJournalRead(const QList<QByteArray> &keptRing, const QList<QByteArray> &read);

// The relay's time an entry tells (bytes 1 to 6: day, month, year within the
// century, hour, minute, second); invalid when they are no date.
QDateTime journalEntryTime(const QByteArray &entry);

// An entry's date, event and details as the journal grid shows them
// ("2025.03.03 07:31:00", the event's name, its details).
QStringList journalEntryTexts(const QByteArray &entry, QChar decimalSeparator);

} // namespace miv
