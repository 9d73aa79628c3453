#pragma once

#include "link/BusCounters.h"

#include <QDateTime>
#include <QList>
#include <array>
#include <functional>
#include <limits>
#include <memory>

namespace miv {

// The bus's figures for every relay address: since the statistics started
// (the bus was made or reset() was called; whoever opens the port resets them
// when the figures are to start there) and over the last minute. The minute
// is 60 one-second buckets that are reused as time goes on, so that counting
// costs two small updates and no allocation once an address was seen.
class BusStatistics
{
public:
    // Milliseconds of a clock that never goes back; tests give their own.
    using Clock = std::function<qint64()>;
    static constexpr int windowSeconds = 60;

    explicit BusStatistics(Clock clock = {});
    BusStatistics(const BusStatistics &) = delete;
    BusStatistics &operator=(const BusStatistics &) = delete;
    ~BusStatistics();

    void setClock(Clock clock);
    // Forgets every figure; since() is now.
    void reset();
    QDateTime since() const { return m_since; }

    // Applies `change` to the figures of `address`, to the totals and to the
    // current second's alike.
    template<typename Change>
    void count(quint8 address, Change &&change)
    {
        Figures &figures = figuresOf(address);
        change(figures.total);
        change(currentSecond(figures));
    }

    // The addresses anything was counted for, in ascending order.
    QList<quint8> addresses() const;
    BusCounters total(quint8 address) const;
    // The figures of the current second and the 59 before it.
    BusCounters lastMinute(quint8 address) const;

private:
    struct Figures
    {
        BusCounters total;
        std::array<BusCounters, windowSeconds> seconds;
        std::array<qint64, windowSeconds> secondOf; // which second each bucket holds
        Figures() { secondOf.fill(std::numeric_limits<qint64>::min()); }
    };

    Figures &figuresOf(quint8 address);
    BusCounters &currentSecond(Figures &figures);
    qint64 nowSecond() const;

    Clock m_clock;
    std::array<std::unique_ptr<Figures>, 256> m_figures;
    QDateTime m_since;
};

} // namespace miv
