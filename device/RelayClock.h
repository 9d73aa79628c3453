#pragma once

#include "device/LiveRead.h"
#include "link/BusReply.h"

#include <functional>
#include <optional>
#include <QDateTime>
#include <QList>
#include <QString>

namespace miv {

class Operator;
struct RelaySession;

// The relay's clock against the PC's.
//
// The relay keeps its clock in registers 115 to 117 (year within the century
// × 256 + month, day × 256 + hour, minute × 256 + second) on its own local
// time, in whole seconds. Its offset is the relay's time minus the PC's at the
// moment the relay answered: the read takes a while (tens of milliseconds at
// 9600 bit/s, more through a gateway), so the PC's time is taken as the middle
// of the exchange, and the relay's whole second as its middle (+500 ms).

// The time the three clock words tell, on the PC's local time; nullopt for
// words that are no date (a month 0 or 13, a day 31 in April: a relay whose
// clock was never set or lost it).
std::optional<QDateTime> relayClockTime(quint16 yearMonth, quint16 dayHour, quint16 minuteSecond);

// The relay's clock minus the PC's, in milliseconds, for a clock read sent at
// `sentAt` and answered at `answeredAt` that told `relayTime`.
qint64 clockOffsetMs(const QDateTime &relayTime, const QDateTime &sentAt,
                     const QDateTime &answeredAt);

struct ClockReading
{
    std::optional<QDateTime> relayTime; // nullopt when the words were no date
    std::optional<qint64> offsetMs; // known with relayTime
};

// What a clock read brought: the reading, when the relay answered in full,
// and the bus's reply (a failed port shows there).
struct ClockRead
{
    std::optional<ClockReading> reading; // nullopt when the relay did not answer in full or refused
    BusReply reply;
};

// Reads registers 115 to 117 of the relay at `address` with the bus's
// repetitions, the PC's time taken by `now` before and after.
ClockRead readRelayClock(RelaySession &session, quint8 address,
                         const std::function<QDateTime()> &now);

// Whether `clock sync --max-offset` sets a clock: always without a bound; with
// one, when the relay's clock is off by more than that many seconds, or holds
// no date at all.
bool clockNeedsSetting(const ClockReading &reading, std::optional<int> maxOffsetSeconds);

// One relay of a clock synchronisation of the line.
struct ClockSyncResult
{
    enum class Outcome {
        Set, // the three words were written and taken
        Kept, // within the bound: nothing written
        NoLink, // the relay did not answer its identity or its clock: nothing written
        Failed, // a write was refused or not answered; the writes stopped there
        PortLost, // the port failed and would not open again; the synchronisation stopped
    };
    quint8 address = 0;
    std::optional<quint16> factoryNumber;
    ClockReading before; // the clock as read before anything was written
    Outcome outcome = Outcome::NoLink;
    QString reason; // with NoLink, Failed and PortLost
};

// Sets the clock of each relay at `addresses` in turn to the PC's time, as
// the live page's "Синхронизация" does (the same three writes, each in the
// audit log under the relay's address and factory number, the time read
// before as the old value): each relay is
// identified (registers 0 to 6), its clock read, and, when
// clockNeedsSetting says so, set to `now()` of that moment. The session's
// selected relay is that of the last relay asked when this returns. A port
// that is lost ends the synchronisation: the addresses after it get no
// result.
QList<ClockSyncResult> syncLineClocks(RelaySession &session, Operator &op,
                                      const QList<quint8> &addresses,
                                      std::optional<int> maxOffsetSeconds,
                                      const std::function<QDateTime()> &now);

} // namespace miv
