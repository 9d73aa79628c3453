#include "device/JournalOrder.h"

#include "core/RegisterMap.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace miv {

QDateTime journalEntryTime(const QByteArray &entry)
{
    const auto byte = [&entry](int k) { return k < entry.size() ? int(quint8(entry[k])) : 0; };
    const QDate date(2000 + byte(3), byte(2), byte(1));
    const QTime time(byte(4), byte(5), byte(6));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

QList<int> journalFallingSlots(const QList<QByteArray> &ring)
{
    const int size = int(ring.size());
    QList<std::pair<qint64, int>> falls; // minus the fall, so that the steepest sorts first
    for (int slot = 0; slot < size; ++slot) {
        const QDateTime before = journalEntryTime(ring[(slot + size - 1) % size]);
        const QDateTime at = journalEntryTime(ring[slot]);
        if (before.isValid() && at.isValid() && at < before)
            falls.append({-at.secsTo(before), slot});
    }
    std::sort(falls.begin(), falls.end());
    QList<int> order;
    for (const auto &fall : std::as_const(falls))
        order << fall.second;
    return order;
}

QList<int> journalOldestFirst(const QList<QByteArray> &reading)
{
    QList<int> order(reading.size());
    std::iota(order.begin(), order.end(), 0);
    if (reading.size() < RelayRegister::journalEntries)
        return order;
    const QList<int> falling = journalFallingSlots(reading);
    std::rotate(order.begin(), order.begin() + falling.value(0), order.end());
    return order;
}

} // namespace miv
