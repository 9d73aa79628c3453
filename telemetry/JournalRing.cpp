#include "telemetry/JournalRing.h"

#include <algorithm>

namespace miv::telemetry {

namespace {

// An entry's date and time as one number that orders them: year, month,
// day, hour, minute, second (bytes 3, 2, 1, 4, 5, 6), a byte each.
quint64 moment(const QByteArray &entry)
{
    quint64 value = 0;
    for (int k : {3, 2, 1, 4, 5, 6})
        value = value << 8 | (k < entry.size() ? quint8(entry[k]) : 0);
    return value;
}

// The slots of a full ring whose entry is older than the one before it,
// going round; the steepest fall first.
QList<int> fallingSlots(const QList<QByteArray> &entries)
{
    QList<std::pair<quint64, int>> falls;
    for (int slot = 0; slot < entries.size(); ++slot) {
        const quint64 before = moment(entries[JournalRing::preceding(slot)]);
        const quint64 at = moment(entries[slot]);
        if (at < before)
            falls.append({before - at, slot});
    }
    std::sort(falls.begin(), falls.end(), std::greater<>());
    QList<int> places;
    for (const auto &fall : falls)
        places << fall.second;
    return places;
}

} // namespace

JournalRing::JournalRing(QList<QByteArray> entries) : m_entries(std::move(entries))
{
    if (m_entries.size() > slotCount)
        m_entries.resize(slotCount);
    if (size() < slotCount) {
        m_writingPlaces = {size()};
        return;
    }
    m_writingPlaces = fallingSlots(m_entries);
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
