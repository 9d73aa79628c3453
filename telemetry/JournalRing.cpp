#include "telemetry/JournalRing.h"

#include "device/JournalOrder.h"

#include <algorithm>

namespace miv::telemetry {

JournalRing::JournalRing(QList<QByteArray> entries) : m_entries(std::move(entries))
{
    if (m_entries.size() > slotCount)
        m_entries.resize(slotCount);
    if (size() < slotCount) {
        m_writingPlaces = {size()};
        return;
    }
    m_writingPlaces = journalFallingSlots(m_entries);
    // None: every entry dated alike; too many: a clock set back and forth.
    if (m_writingPlaces.isEmpty() || m_writingPlaces.size() > mostWritingPlaces)
        m_writingPlaces = {0};
}

bool JournalRing::isNewAt(int slot, const QByteArray &entry) const
{
    return slot >= size() || m_entries[slot] != entry;
}

bool JournalRing::put(int slot, const QByteArray &entry)
{
    if (slot < 0 || slot > size() || slot >= slotCount)
        return false;
    if (slot == size())
        m_entries.append(entry);
    else
        m_entries[slot] = entry;
    return true;
}

void JournalRing::setWritingPlace(int slot)
{
    m_writingPlaces = {std::clamp(slot, 0, slotCount - 1)};
}

std::optional<JournalEntry> JournalRing::entryAt(int slot) const
{
    if (slot < 0 || slot >= size())
        return std::nullopt;
    // The reply string a reading had: address, function, byte count, the entry.
    return journalEntryOfReply(QByteArray(3, '\0') + m_entries[slot]);
}

int JournalRing::rankAt(int slot) const
{
    const std::optional<JournalEntry> entry = entryAt(slot);
    if (!entry)
        return 1;
    // What an entry says begins with its code and date (bytes 0 to 6).
    const QByteArray opening = m_entries[slot].left(7);
    int rank = 1;
    for (int k = 0; k < slot; ++k) {
        if (m_entries[k].left(7) != opening)
            continue;
        if (const auto earlier = entryAt(k); earlier && earlier->identity() == entry->identity())
            ++rank;
    }
    return rank;
}

} // namespace miv::telemetry
