#include "device/RelayClock.h"

#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "device/Identification.h"
#include "device/LinkFailure.h"
#include "device/RelayCommands.h"
#include "link/LinkError.h"
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

std::optional<ClockReading> readRelayClock(RelaySession &session, quint8 address,
                                           const std::function<QDateTime()> &now)
{
    const QDateTime sentAt = now();
    const ReplyString reply = session.bus.readRegisters(address, R::clock, R::clockCount);
    const QDateTime answeredAt = now();
    if (reply.size() != 3 + 2 * R::clockCount || RelayBus::isExceptionReply(reply))
        return std::nullopt;
    ClockReading reading;
    reading.relayTime =
            relayClockTime(replyWord(reply, 0), replyWord(reply, 1), replyWord(reply, 2));
    if (reading.relayTime)
        reading.offsetMs = clockOffsetMs(*reading.relayTime, sentAt, answeredAt);
    return reading;
}

bool clockNeedsSetting(const ClockReading &reading, std::optional<int> maxOffsetSeconds)
{
    if (!maxOffsetSeconds || !reading.offsetMs)
        return true;
    return std::llabs(*reading.offsetMs) > qint64(*maxOffsetSeconds) * 1000;
}

namespace {

// One relay of the synchronisation; a LinkError of the reads is raised on.
ClockSyncResult syncOneClock(RelaySession &session, Operator &op, quint8 address,
                             std::optional<int> maxOffsetSeconds,
                             const std::function<QDateTime()> &now)
{
    ClockSyncResult result;
    result.address = address;
    const ReplyString reply = session.bus.readRegisters(address, R::name, R::identityCount);
    CurrentDevice blank;
    blank.networkAddress = address;
    const std::optional<CurrentDevice> identity = decodeIdentity(reply, blank);
    if (!identity) {
        result.reason = Texts::linkError;
        return result;
    }
    result.factoryNumber = identity->factoryNumber;
    const std::optional<ClockReading> before = readRelayClock(session, address, now);
    if (!before) {
        result.reason = Texts::linkError;
        return result;
    }
    result.before = *before;
    if (!clockNeedsSetting(*before, maxOffsetSeconds)) {
        result.outcome = ClockSyncResult::Outcome::Kept;
        return result;
    }
    // The writes go to the selected relay and are logged under it.
    session.device = *identity;
    switch (setRelayClock(session, op, now())) {
    case BusOutcome::Done:
        result.outcome = ClockSyncResult::Outcome::Set;
        break;
    case BusOutcome::Refused:
        result.outcome = ClockSyncResult::Outcome::Failed;
        result.reason = Texts::relayRefused.arg(int(session.bus.lastException().value_or(0)));
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
        try {
            results << syncOneClock(session, op, address, maxOffsetSeconds, now);
        } catch (const LinkError &error) {
            const LinkFailure failure = handleLinkFailure(session, error);
            ClockSyncResult result;
            result.address = address;
            result.outcome = failure.portLost ? ClockSyncResult::Outcome::PortLost
                                              : ClockSyncResult::Outcome::NoLink;
            result.reason = failure.reason;
            results << result;
        }
        if (results.last().outcome == ClockSyncResult::Outcome::PortLost)
            break;
    }
    return results;
}

} // namespace miv
