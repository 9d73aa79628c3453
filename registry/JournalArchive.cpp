#include "registry/JournalArchive.h"

#include "core/ParameterCatalogue.h"
#include "core/RegisterMap.h"
#include "device/JournalReader.h"

#include <algorithm>
#include <numeric>

namespace miv {

namespace {

// Where a read in which every slot is new begins in the relay's order. A
// read of fewer slots than the ring holds ended at the empty slot the relay
// keeps after its newest entry until the ring is full (or stopped early): it
// lists the journal from slot 0. A full ring was written round from its
// writing place, which nothing of the kept ring tells any more (100 events or
// more came since): the newest entry stands before the oldest there, the one
// place where a date falls going round. Where the clock was set back, a date
// falls there too, by what the setting took back, while the writing place's
// fall is the time from the oldest entry to the newest, days or weeks of a
// relay's life: the largest fall is taken.
int writingPlace(const QList<QByteArray> &read)
{
    const int size = int(read.size());
    if (size < RelayRegister::journalEntries)
        return 0;
    int place = 0;
    qint64 largestFall = 0;
    for (int slot = 0; slot < size; ++slot) {
        const QDateTime before = journalEntryTime(read[(slot + size - 1) % size]);
        const QDateTime after = journalEntryTime(read[slot]);
        if (!before.isValid() || !after.isValid())
            continue;
        const qint64 fall = after.secsTo(before);
        if (fall > largestFall) {
            largestFall = fall;
            place = slot;
        }
    }
    return place;
}

// Slot by slot: how many entries of the read the kept ring explains, and the
// new ones in the order they were written; nullopt when the changed slots
// are not one run (the read does not lie over the ring that way).
std::optional<QList<int>> slotBySlot(const QList<QByteArray> &kept, const QList<QByteArray> &read)
{
    const int size = int(read.size());
    QList<bool> changed(size);
    int changes = 0;
    for (int slot = 0; slot < size; ++slot) {
        changed[slot] = slot >= kept.size() || kept[slot] != read[slot];
        changes += changed[slot];
    }
    if (changes == 0)
        return QList<int>{};
    if (changes == size) {
        QList<int> all(size);
        std::iota(all.begin(), all.end(), 0);
        std::rotate(all.begin(), all.begin() + writingPlace(read), all.end());
        return all;
    }
    // The run begins at a changed slot after an unchanged one, going round.
    int start = -1;
    for (int slot = 0; slot < size; ++slot)
        if (changed[slot] && !changed[(slot + size - 1) % size]) {
            if (start >= 0)
                return std::nullopt; // two runs
            start = slot;
        }
    QList<int> run;
    for (int k = 0; k < changes; ++k)
        run << (start + k) % size;
    return run;
}

// Shifted: the smallest shift that makes the kept ring's rest open the read
// (at least one entry in common), and the entries after it.
std::optional<QList<int>> shifted(const QList<QByteArray> &kept, const QList<QByteArray> &read)
{
    for (qsizetype shift = 1; shift < kept.size(); ++shift) {
        const qsizetype common = kept.size() - shift;
        if (common > read.size())
            continue;
        if (!std::equal(kept.begin() + shift, kept.end(), read.begin()))
            continue;
        QList<int> fresh;
        for (qsizetype k = common; k < read.size(); ++k)
            fresh << int(k);
        return fresh;
    }
    return std::nullopt;
}

} // namespace

JournalMatch matchJournalRead(const QList<QByteArray> &keptRing, const QList<QByteArray> &read)
{
    JournalMatch match;
    const std::optional<QList<int>> bySlot = slotBySlot(keptRing, read);
    const std::optional<QList<int>> byShift = shifted(keptRing, read);
    const bool useShift = byShift && (!bySlot || byShift->size() < bySlot->size());
    if (useShift) {
        match.newEntries = *byShift;
        match.ring = read;
        return match;
    }
    if (bySlot) {
        match.newEntries = *bySlot;
    } else {
        // Changed here and there: every changed slot is new, from the first.
        for (int slot = 0; slot < read.size(); ++slot)
            if (slot >= keptRing.size() || keptRing[slot] != read[slot])
                match.newEntries << slot;
    }
    // The slots the read did not reach keep what they held.
    match.ring = read;
    for (qsizetype slot = read.size(); slot < keptRing.size(); ++slot)
        match.ring << keptRing[slot];
    return match;
}

QDateTime journalEntryTime(const QByteArray &entry)
{
    const auto byte = [&entry](int k) { return k < entry.size() ? int(quint8(entry[k])) : 0; };
    const QDate date(2000 + byte(3), byte(2), byte(1));
    const QTime time(byte(4), byte(5), byte(6));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

QStringList journalEntryTexts(const QByteArray &entry, QChar decimalSeparator)
{
    // The reply string the reading had: address, function, byte count, the entry.
    const ReplyString reply = QByteArray(3, '\0') + entry;
    const EventName *event = findEvent(journalEventCode(reply));
    return {journalDateText(reply), event ? event->name : QString(),
            journalDetailsText(reply, decimalSeparator)};
}

} // namespace miv
