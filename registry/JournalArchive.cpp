#include "registry/JournalArchive.h"

#include "core/ParameterCatalogue.h"
#include "core/RegisterMap.h"
#include "device/JournalOrder.h"
#include "device/JournalReader.h"

#include <algorithm>

namespace miv {

namespace {

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
        // 100 events or more came since: nothing of the kept ring tells the
        // writing place any more, the dates do.
        return journalOldestFirst(read);
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

QStringList journalEntryTexts(const QByteArray &entry, QChar decimalSeparator)
{
    // The reply string the reading had: address, function, byte count, the entry.
    const ReplyString reply = QByteArray(3, '\0') + entry;
    const EventName *event = findEvent(journalEventCode(reply));
    return {journalDateText(reply), event ? event->name : QString(),
            journalDetailsText(reply, decimalSeparator)};
}

} // namespace miv
