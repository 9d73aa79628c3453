#include "device/RelayCommands.h"

#include "core/Operator.h"
#include "core/RegisterMap.h"
#include "core/RelaySession.h"
#include "core/Texts.h"
#include "link/RelayBus.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace miv {

namespace {

namespace R = RelayRegister;

constexpr quint16 current02A = 2; // 0.2 A in tenths

quint16 coilOf(RelayOutput output)
{
    switch (output) {
    case RelayOutput::Work:
        return RelayCoil::work;
    case RelayOutput::Alarm:
        return RelayCoil::alarm;
    case RelayOutput::Overload:
        return RelayCoil::overload;
    }
    return RelayCoil::work;
}

// One single write, checked: the refusal or the silence is told at once.
template <class Write>
BusOutcome checkedWrite(RelaySession &session, Operator &op, Write write)
{
    try {
        const ReplyString reply = write(session.bus, session.device.networkAddress);
        if (!RelayBus::isExceptionReply(reply))
            return BusOutcome::Done;
        op.message(Operator::Icon::Error, Texts::relayRefused.arg(int(session.bus.lastException().value_or(0))));
        return BusOutcome::Refused;
    } catch (const LinkError &error) {
        if (error.kind() == LinkError::Kind::NoAnswer) {
            op.message(Operator::Icon::Error, Texts::linkError);
            return BusOutcome::NoAnswer;
        }
        op.message(Operator::Icon::Error, error.message());
        return BusOutcome::PortFailed;
    }
}

BusOutcome writeCoil(RelaySession &session, Operator &op, quint16 coil, bool on)
{
    return checkedWrite(session, op, [&](RelayBus &bus, quint8 address) {
        return bus.writeCoil(address, coil, on ? RelayCoil::on : RelayCoil::off);
    });
}

BusOutcome writeRegister(RelaySession &session, Operator &op, quint16 reg, quint16 value)
{
    return checkedWrite(session, op,
                        [&](RelayBus &bus, quint8 address) { return bus.writeRegister(address, reg, value); });
}

// Writes the registers in the given order, stopping at the first failure.
BusOutcome writeInOrder(RelaySession &session, Operator &op, std::initializer_list<std::pair<quint16, quint16>> writes)
{
    for (const auto &[reg, value] : writes)
        if (const BusOutcome outcome = writeRegister(session, op, reg, value); outcome != BusOutcome::Done)
            return outcome;
    return BusOutcome::Done;
}

// A read that must bring `count` registers whole; the failure is told.
std::optional<ReplyString> checkedRead(RelaySession &session, Operator &op, quint16 first, quint16 count)
{
    try {
        ReplyString reply = session.bus.readRegisters(session.device.networkAddress, first, count);
        if (reply.size() == 3 + 2 * count && !RelayBus::isExceptionReply(reply))
            return reply;
        if (const auto code = session.bus.lastException())
            op.message(Operator::Icon::Error, Texts::relayRefused.arg(int(*code)));
        else
            op.message(Operator::Icon::Error, Texts::linkError);
    } catch (const LinkError &error) {
        op.message(Operator::Icon::Error, error.message());
    }
    return std::nullopt;
}

} // namespace

BusOutcome switchOutput(RelaySession &session, Operator &op, RelayOutput output, bool on)
{
    return writeCoil(session, op, coilOf(output), on);
}

std::optional<BusOutcome> acknowledgeAlarm(RelaySession &session, Operator &op)
{
    if (op.confirmWarning(Texts::acknowledgeWarning) != Operator::Answer::Ok)
        return std::nullopt;
    return writeCoil(session, op, RelayCoil::acknowledge, true);
}

ClockWords clockWords(const QDateTime &when)
{
    const QDate date = when.date();
    const QTime time = when.time();
    return {quint16((date.year() % 100) << 8 | date.month()), quint16(date.day() << 8 | time.hour()),
            quint16(time.minute() << 8 | time.second())};
}

BusOutcome setRelayClock(RelaySession &session, Operator &op, const QDateTime &when)
{
    const ClockWords words = clockWords(when);
    return writeInOrder(session, op,
                        {{R::clock, words.yearMonth}, {quint16(R::clock + 1), words.dayHour},
                         {quint16(R::clock + 2), words.minuteSecond}});
}

MotorResourceWords motorResourceWords(quint32 hours, quint32 minutes)
{
    return {quint16(std::min<quint32>(minutes, 59)), quint16(hours >> 16), quint16(hours & 0xFFFF)};
}

BusOutcome setMotorResource(RelaySession &session, Operator &op, quint32 hours, quint32 minutes)
{
    const MotorResourceWords words = motorResourceWords(hours, minutes);
    return writeInOrder(session, op,
                        {{R::motorMinutes, words.minutes}, {R::motorHours, words.hoursHigh},
                         {quint16(R::motorHours + 1), words.hoursLow}});
}

BusOutcome setSerialNumber(RelaySession &session, Operator &op, quint32 number)
{
    return writeRegister(session, op, R::factoryNumber, quint16(std::min<quint32>(number, 65535)));
}

std::optional<ServiceValues> readServiceValues(RelaySession &session, Operator &op)
{
    const auto hours = checkedRead(session, op, R::motorHours, R::motorHoursCount);
    if (!hours)
        return std::nullopt;
    const auto identity = checkedRead(session, op, R::name, R::identityCount);
    if (!identity)
        return std::nullopt;
    ServiceValues values;
    values.hours = qint32(quint32(replyWord(*hours, 0)) << 16 | replyWord(*hours, 1));
    values.minutes = replyWord(*hours, 2) & 0xFF;
    values.serialNumber = replyWord(*identity, R::factoryNumber);
    return values;
}

bool motorCarriesCurrent(const RelaySession &session)
{
    for (int phase = 0; phase < 3; ++phase)
        if (session.live.value(quint16(R::phaseCurrent + phase)) >= current02A)
            return true;
    return false;
}

RelayControlEntry checkRelayControlEntry(RelaySession &session, Operator &op, const std::function<void()> &refreshed)
{
    if (op.confirmWarning(Texts::relayControlWarning) != Operator::Answer::Ok)
        return RelayControlEntry::BackToLiveValues;
    if (!checkedRead(session, op, R::liveBlockA, R::liveBlockACount))
        return RelayControlEntry::BackToDevices;
    // The currents are judged only from a refresh that came whole: stale
    // values of an earlier read never let the operator in.
    const LiveReadResult read = readLiveValues(session, op);
    if (read.outcome == BusOutcome::PortFailed)
        op.message(Operator::Icon::Error, read.portError);
    if (!read.done())
        return RelayControlEntry::BackToDevices;
    if (refreshed)
        refreshed();
    if (motorCarriesCurrent(session)) {
        op.message(Operator::Icon::Warning, Texts::currentsFlowing);
        return RelayControlEntry::BackToLiveValues;
    }
    return RelayControlEntry::Stay;
}

} // namespace miv
