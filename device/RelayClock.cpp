#include "device/RelayClock.h"

#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "device/Identification.h"
#include "device/LinkFailure.h"
#include "device/RelayCommands.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

#include <cstdlib>

namespace miv {

namespace {

namespace R = RelayRegister;

// The relay counts whole seconds: on average it is half a second further on
// than its registers say.
constexpr qint64 halfSecondMs = 500;

} // namespace

std::optional<QDateTime> relayClockTime(quint16 yearMonth, quint16 dayHour, quint16 minuteSecond)
{
    const QDate date(2000 + (yearMonth >> 8), yearMonth & 0xFF, dayHour >> 8);
    const QTime time(dayHour & 0xFF, minuteSecond >> 8, minuteSecond & 0xFF);
    if (!date.isValid() || !time.isValid() || (yearMonth >> 8) > 99)
        return std::nullopt;
    return QDateTime(date, time);
}

qint64 clockOffsetMs(const QDateTime &relayTime, const QDateTime &sentAt,
                     const QDateTime &answeredAt)
{
    const qint64 pcMiddle = sentAt.toMSecsSinceEpoch()
            + (answeredAt.toMSecsSinceEpoch() - sentAt.toMSecsSinceEpoch()) / 2;
    return relayTime.toMSecsSinceEpoch() + halfSecondMs - pcMiddle;
}

ClockRead readRelayClock(RelaySession &session, quint8 address,
                         const std::function<QDateTime()> &now)
{
    const QDateTime sentAt = now();
    ClockRead read{std::nullopt, session.bus.askRegisters(address, R::clock, R::clockCount)};
    const QDateTime answeredAt = now();
    const ReplyString &reply = read.reply.reply;
    if (!read.reply.answered() || reply.size() != 3 + 2 * R::clockCount)
        return read;
    ClockReading reading;
    reading.relayTime =
            relayClockTime(replyWord(reply, 0), replyWord(reply, 1), replyWord(reply, 2));
    if (reading.relayTime)
        reading.offsetMs = clockOffsetMs(*reading.relayTime, sentAt, answeredAt);
    read.reading = reading;
    return read;
}

bool clockNeedsSetting(const ClockReading &reading, std::optional<int> maxOffsetSeconds)
{
    if (!maxOffsetSeconds || !reading.offsetMs)
        return true;
    return std::llabs(*reading.offsetMs) > qint64(*maxOffsetSeconds) * 1000;
}

namespace {

// The relay at `address` as one that could not be asked: its port failed
// (and was lost when it would not open again), or it did not answer.
ClockSyncResult unreachable(RelaySession &session, quint8 address, const BusReply &failure)
{
    ClockSyncResult result;
    result.address = address;
    if (!failure.portFailed()) {
        result.reason = Texts::linkError;
        return result;
    }
    const LinkFailure told = handleLinkFailure(session, failure);
    result.outcome =
            told.portLost ? ClockSyncResult::Outcome::PortLost : ClockSyncResult::Outcome::NoLink;
    result.reason = told.reason;
    return result;
}

// One relay of the synchronisation.
ClockSyncResult syncOneClock(RelaySession &session, Operator &op, quint8 address,
                             std::optional<int> maxOffsetSeconds,
                             const std::function<QDateTime()> &now)
{
    const BusReply reply = session.bus.askRegisters(address, R::name, R::identityCount);
    CurrentDevice blank;
    blank.networkAddress = address;
    const std::optional<CurrentDevice> identity = decodeIdentity(reply.reply, blank);
    if (!identity)
        return unreachable(session, address, reply);
    const ClockRead before = readRelayClock(session, address, now);
    if (!before.reading) {
        ClockSyncResult failed = unreachable(session, address, before.reply);
        if (!before.reply.portFailed())
            failed.factoryNumber = identity->factoryNumber;
        return failed;
    }
    ClockSyncResult result;
    result.address = address;
    result.factoryNumber = identity->factoryNumber;
    result.before = *before.reading;
    if (!clockNeedsSetting(*before.reading, maxOffsetSeconds)) {
        result.outcome = ClockSyncResult::Outcome::Kept;
        return result;
    }
    // The writes go to the selected relay and are logged under it.
    session.device = *identity;
    const WriteOutcome written = writeRelayClock(session, op, now(), before.reading->relayTime);
    switch (busOutcomeOf(written)) {
    case BusOutcome::Done:
        result.outcome = ClockSyncResult::Outcome::Set;
        break;
    case BusOutcome::Refused:
        result.outcome = ClockSyncResult::Outcome::Failed;
        result.reason = handleWriteFailure(session, written, RefusalTold::WithCode).reason;
        break;
    case BusOutcome::NoAnswer:
        result.outcome = ClockSyncResult::Outcome::Failed;
        result.reason = Texts::linkError;
        break;
    case BusOutcome::PortFailed:
        result.outcome = session.portHeldOpenNow() ? ClockSyncResult::Outcome::Failed
                                                   : ClockSyncResult::Outcome::PortLost;
        result.reason = Texts::linkError;
        break;
    }
    return result;
}

} // namespace

QList<ClockSyncResult> syncLineClocks(RelaySession &session, Operator &op,
                                      const QList<quint8> &addresses,
                                      std::optional<int> maxOffsetSeconds,
                                      const std::function<QDateTime()> &now)
{
    QList<ClockSyncResult> results;
    for (quint8 address : addresses) {
        results << syncOneClock(session, op, address, maxOffsetSeconds, now);
        if (results.last().outcome == ClockSyncResult::Outcome::PortLost)
            break;
    }
    return results;
}

} // namespace miv
