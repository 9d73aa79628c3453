#include "device/RelayCommands.h"

#include "core/Operator.h"
#include "core/RegisterMap.h"
#include "core/RelayWords.h"
#include "core/Texts.h"
#include "device/LinkFailure.h"
#include "link/AuditedWrite.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace miv {

namespace {

namespace R = RelayRegister;

// What the audit log calls the coils and the written registers.
const QString acknowledgeItem = QStringLiteral("Квитирование");
const QString clockItems[] = {QStringLiteral("Часы реле: год, месяц"),
                              QStringLiteral("Часы реле: день, час"),
                              QStringLiteral("Часы реле: минута, секунда")};
const QString motorItems[] = {QStringLiteral("Моторесурс: минуты"),
                              QStringLiteral("Моторесурс: часы, старшее слово"),
                              QStringLiteral("Моторесурс: часы, младшее слово")};
const QString serialItem = QStringLiteral("Заводской номер");

QString outputItem(RelayOutput output)
{
    switch (output) {
    case RelayOutput::Work:
        return QStringLiteral("Работа");
    case RelayOutput::Alarm:
        return QStringLiteral("Авария");
    case RelayOutput::Overload:
        return QStringLiteral("Перегрузка");
    }
    return {};
}

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

// One single write, checked and logged: the refusal or the silence is told at once.
WriteOutcome checkedWrite(RelaySession &session, Operator &op, const AuditWrite &what,
                          quint16 value)
{
    const WriteOutcome outcome = auditedWrite(session, op, what, value);
    if (!outcome.written())
        op.message(Operator::Icon::Error,
                   writeFailureText(session, outcome, RefusalTold::WithCode));
    return outcome;
}

WriteOutcome writeCoil(RelaySession &session, Operator &op, quint16 coil, const QString &item,
                       bool on)
{
    const AuditWrite what{coil, true, item, {}, onOffTexts[on ? 1 : 0]};
    return checkedWrite(session, op, what, on ? RelayCoil::on : RelayCoil::off);
}

// One register of a command that writes several: its register, its name in
// the audit log, the value as the operator gave it (the whole command's) and
// the word.
struct CommandWrite
{
    quint16 reg;
    QString item;
    QString shown;
    quint16 value;
};

// Writes the registers in the given order, stopping at the first failure;
// `before`, the whole command's value before where it was read, is each
// write's old value in the audit log.
WriteOutcome writeInOrder(RelaySession &session, Operator &op,
                          std::initializer_list<CommandWrite> writes, const QString &before = {})
{
    WriteOutcome outcome;
    for (const CommandWrite &w : writes) {
        outcome = checkedWrite(session, op, {w.reg, false, w.item, before, w.shown}, w.value);
        if (!outcome.written())
            break;
    }
    return outcome;
}

} // namespace

BusOutcome busOutcomeOf(const WriteOutcome &outcome)
{
    switch (outcome.kind) {
    case WriteOutcome::Kind::Written:
        return BusOutcome::Done;
    case WriteOutcome::Kind::Refused:
        return BusOutcome::Refused;
    case WriteOutcome::Kind::NoAnswer:
    case WriteOutcome::Kind::NotSent:
        return BusOutcome::NoAnswer;
    case WriteOutcome::Kind::PortFailure:
    case WriteOutcome::Kind::Stopped:
        break;
    }
    return BusOutcome::PortFailed;
}

BusOutcome switchOutput(RelaySession &session, Operator &op, RelayOutput output, bool on)
{
    return busOutcomeOf(writeCoil(session, op, coilOf(output), outputItem(output), on));
}

std::optional<BusOutcome> acknowledgeAlarm(RelaySession &session, Operator &op)
{
    if (op.confirmWarning(Texts::acknowledgeWarning) != Operator::Answer::Ok)
        return std::nullopt;
    return busOutcomeOf(writeCoil(session, op, RelayCoil::acknowledge, acknowledgeItem, true));
}

ClockWords clockWords(const QDateTime &when)
{
    const QDate date = when.date();
    const QTime time = when.time();
    return {quint16((date.year() % 100) << 8 | date.month()),
            quint16(date.day() << 8 | time.hour()), quint16(time.minute() << 8 | time.second())};
}

BusOutcome setRelayClock(RelaySession &session, Operator &op, const QDateTime &when)
{
    return busOutcomeOf(writeRelayClock(session, op, when));
}

WriteOutcome writeRelayClock(RelaySession &session, Operator &op, const QDateTime &when,
                             const std::optional<QDateTime> &before)
{
    const ClockWords words = clockWords(when);
    const QString format = QStringLiteral("dd.MM.yyyy HH:mm:ss");
    const QString shown = when.toString(format);
    return writeInOrder(session, op,
                        {{R::clock, clockItems[0], shown, words.yearMonth},
                         {quint16(R::clock + 1), clockItems[1], shown, words.dayHour},
                         {quint16(R::clock + 2), clockItems[2], shown, words.minuteSecond}},
                        before ? before->toString(format) : QString());
}

BusOutcome setMotorResource(RelaySession &session, Operator &op, quint32 hours, quint32 minutes)
{
    const MotorResourceWords words = motorResourceWords(hours, minutes);
    const QString shown = QStringLiteral("%1 ч %2 мин").arg(hours).arg(words.minutes);
    return busOutcomeOf(
            writeInOrder(session, op,
                         {{R::motorMinutes, motorItems[0], shown, words.minutes},
                          {R::motorHours, motorItems[1], shown, words.hoursHigh},
                          {quint16(R::motorHours + 1), motorItems[2], shown, words.hoursLow}}));
}

BusOutcome setSerialNumber(RelaySession &session, Operator &op, quint32 number)
{
    const quint16 value = quint16(std::min<quint32>(number, 65535));
    const AuditWrite what{R::factoryNumber, false, serialItem,
                          QString::number(session.device.factoryNumber), QString::number(value)};
    return busOutcomeOf(checkedWrite(session, op, what, value));
}

std::optional<ReplyString> readWholeOrTell(RelaySession &session, Operator &op, quint16 first,
                                           quint16 count)
{
    const BusReply answer = session.bus.askRegisters(session.device.networkAddress, first, count);
    if (answer.answered() && answer.reply.size() == 3 + 2 * count)
        return answer.reply;
    op.message(Operator::Icon::Error,
               handleLinkFailure(session, answer, RefusalTold::WithCode).text);
    return std::nullopt;
}

std::optional<ServiceValues> readServiceValues(RelaySession &session, Operator &op)
{
    const auto hours = readWholeOrTell(session, op, R::motorHours, R::motorHoursCount);
    if (!hours)
        return std::nullopt;
    const auto identity = readWholeOrTell(session, op, R::name, R::identityCount);
    if (!identity)
        return std::nullopt;
    ServiceValues values;
    const MotorResource resource =
            motorResource(replyWord(*hours, 0), replyWord(*hours, 1), replyWord(*hours, 2));
    values.hours = resource.hours;
    values.minutes = resource.minutes;
    values.serialNumber = replyWord(*identity, R::factoryNumber);
    return values;
}

} // namespace miv
