#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>

namespace miv {

// The relay keeps its last 100 events in a ring: it writes each into the slot
// after its newest entry and goes round from slot 99 to slot 0, leaving the
// slot after the new entry empty until the ring is full. A whole reading
// lists the slots from 0 on; the order the relay wrote them in is told here,
// once for the register's archive and the publisher.

// The relay's time an entry tells (bytes 1 to 6: day, month, year within the
// century, hour, minute, second); invalid when they are no date.
QDateTime journalEntryTime(const QByteArray &entry);

// The slots of a full ring where the date falls going round (an entry dated
// before the one ahead of it), the steepest fall first (the lower slot first
// of two alike); entries with no date are passed over. The writing place,
// where the newest entry stands before the oldest, falls by the time from the
// oldest entry to the newest, days or weeks of a relay's life; a clock set
// back falls by what the setting took back.
QList<int> journalFallingSlots(const QList<QByteArray> &ring);

// The slots of a whole reading in the order the relay wrote them, oldest
// first: from slot 0 for a reading of fewer slots than the ring holds (it
// ended at the empty slot after the newest entry), else from the steepest
// fall, or slot 0 where no date falls.
QList<int> journalOldestFirst(const QList<QByteArray> &reading);

} // namespace miv
