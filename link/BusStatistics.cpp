#include "link/BusStatistics.h"

#include <chrono>

namespace miv {

namespace {

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
}

} // namespace

BusStatistics::BusStatistics(Clock clock)
{
    setClock(std::move(clock));
    reset();
}

BusStatistics::~BusStatistics() = default;

void BusStatistics::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(steadyMs);
}

void BusStatistics::reset()
{
    for (auto &figures : m_figures)
        figures.reset();
    m_since = QDateTime::currentDateTime();
}

qint64 BusStatistics::nowSecond() const
{
    // Floor division: a test's clock may start below zero.
    const qint64 ms = m_clock();
    return ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
}

BusStatistics::Figures &BusStatistics::figuresOf(quint8 address)
{
    std::unique_ptr<Figures> &figures = m_figures[address];
    if (!figures)
        figures = std::make_unique<Figures>();
    return *figures;
}

BusCounters &BusStatistics::currentSecond(Figures &figures)
{
    const qint64 second = nowSecond();
    const auto slot = std::size_t(((second % windowSeconds) + windowSeconds) % windowSeconds);
    if (figures.secondOf[slot] != second) {
        figures.seconds[slot] = BusCounters();
        figures.secondOf[slot] = second;
    }
    return figures.seconds[slot];
}

QList<quint8> BusStatistics::addresses() const
{
    QList<quint8> list;
    for (std::size_t address = 0; address < m_figures.size(); ++address)
        if (m_figures[address])
            list.append(quint8(address));
    return list;
}

BusCounters BusStatistics::total(quint8 address) const
{
    return m_figures[address] ? m_figures[address]->total : BusCounters();
}

BusCounters BusStatistics::lastMinute(quint8 address) const
{
    BusCounters sum;
    const Figures *figures = m_figures[address].get();
    if (!figures)
        return sum;
    const qint64 now = nowSecond();
    for (std::size_t slot = 0; slot < figures->seconds.size(); ++slot) {
        const qint64 second = figures->secondOf[slot];
        if (second > now - windowSeconds && second <= now)
            sum += figures->seconds[slot];
    }
    return sum;
}

} // namespace miv
