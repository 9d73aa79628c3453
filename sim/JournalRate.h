#pragma once

#include <QList>
#include <QtGlobal>

namespace miv::sim {

// New journal events at a steady rate, as a relay in use writes them:
// `perMinute` events a minute from `startMs` on (the PC's time, ms since the
// epoch), the first one a period after the start. Events are taken when their
// time has come, each once, whenever the relay is next asked: what a master
// reads is what the relay would have written by then.
class JournalRate
{
public:
    static constexpr int maxPerMinute = 6000;

    JournalRate() = default; // no events
    JournalRate(int perMinute, qint64 startMs);

    // The times (ms since the epoch) of the events due by `nowMs` and not
    // taken yet, oldest first.
    QList<qint64> take(qint64 nowMs);

private:
    qint64 dueBy(qint64 nowMs) const;

    int m_perMinute = 0;
    qint64 m_startMs = 0;
    qint64 m_taken = 0;
};

} // namespace miv::sim
