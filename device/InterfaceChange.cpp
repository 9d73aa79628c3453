#include "device/InterfaceChange.h"

#include "core/Texts.h"
#include "device/LineSearch.h"
#include "link/AuditedWrite.h"
#include "link/InterfaceWordChange.h"
#include "link/RelayBus.h"

namespace miv {

namespace {

using Outcome = InterfaceChangeResult::Outcome;

std::optional<quint16> readWord(RelayBus &bus, quint8 address, QString *failure = nullptr)
{
    const BusReply reply = bus.askRegisters(address, InterfaceWord::relayRegister, 1);
    if (reply.answered())
        return quint16(replyWord(reply.reply, 0));
    if (failure)
        *failure = reply.refused() ? Texts::relayRefused.arg(reply.exceptionCode) : reply.text;
    return std::nullopt;
}

// A write without an answer may have reached the relay or not: it is asked
// where it is, first at the old settings, then at the new ones.
void followUnansweredWrite(InterfaceChangeResult &result, RelayBus &bus, quint8 address,
                           const PortSettings &current, const PortSettings &target,
                           const PutInForce &putInForce)
{
    QString error;
    if (const std::optional<quint16> word = readWord(bus, address)) {
        result.wordNow = word;
        if (*word != result.wordSent) {
            result.outcome = Outcome::KeptOld;
            return;
        }
    } else {
        putInForce(target, &error);
        result.wordNow = readWord(bus, address);
        if (!result.wordNow) {
            putInForce(current, &error);
            result.outcome = Outcome::Unknown;
            return;
        }
    }
    // The relay holds the new word: the port follows it.
    putInForce(target, &error);
    result.outcome = Outcome::Changed;
}

// Where the write left the relay, and the port put where it answers.
void followWrite(InterfaceChangeResult &result, RelayBus &bus, quint8 address,
                 const PortSettings &current, const PortSettings &target,
                 const PutInForce &putInForce)
{
    QString error;
    result.wordNow.reset(); // known again once the relay answers
    switch (result.write.kind) {
    case WriteOutcome::Kind::Written:
        result.wordNow = result.wordSent;
        putInForce(target, &error);
        result.outcome = Outcome::Changed;
        break;
    case WriteOutcome::Kind::NoAnswer:
    case WriteOutcome::Kind::PortFailure:
        followUnansweredWrite(result, bus, address, current, target, putInForce);
        break;
    case WriteOutcome::Kind::Refused:
    case WriteOutcome::Kind::Stopped:
    case WriteOutcome::Kind::NotSent:
        result.wordNow = result.wordBefore;
        result.outcome = Outcome::KeptOld;
        break;
    }
}

} // namespace

InterfaceChangeResult changeRelayInterface(RelayBus &bus, quint8 address,
                                           const PortSettings &current, const PortSettings &target,
                                           const PutInForce &putInForce, Operator &op,
                                           AuditLog *audit, quint16 factoryNumber)
{
    InterfaceChangeResult result;
    const std::optional<quint16> relayWord = readWord(bus, address, &result.text);
    if (!relayWord)
        return result;
    result.wordBefore = *relayWord;
    result.wordNow = relayWord; // until something is written
    const InterfaceWord::Change change = InterfaceWord::change(*relayWord, target);
    result.wordSent = change.word;
    if (!change.expressible()) {
        result.outcome = Outcome::Inexpressible;
        result.reasons = change.reasons;
        return result;
    }
    // The port must be able to follow before the relay is told to move.
    if (!putInForce(target, &result.text)) {
        result.outcome = Outcome::PortRefused;
        return result;
    }
    QString error;
    putInForce(current, &error);

    const AuditWrite what{InterfaceWord::relayRegister, false, QStringLiteral("Слово интерфейса"),
                          InterfaceWord::hex(result.wordBefore), InterfaceWord::hex(change.word)};
    result.write = audit
            ? auditedWrite(bus, *audit, op, address, factoryNumber, what, change.word)
            : WriteOutcome::of(bus.askWriteRegister(address, what.number, change.word));
    followWrite(result, bus, address, current, target, putInForce);
    return result;
}

QString interfaceChangeText(const InterfaceChangeResult &result, const PortSettings &current,
                            const PortSettings &target)
{
    const QString before = settingsText(current);
    switch (result.outcome) {
    case Outcome::Changed:
        return {};
    case Outcome::Inexpressible:
        return QStringLiteral("Настройки не изменены, реле ничего не записано:\r")
                + result.reasons.join(u'\r');
    case Outcome::NotRead:
        return Texts::linkError + u'\r'
                + QStringLiteral("Реле не ответило при настройках %1: ничего не записано, порт "
                                 "остался при них")
                          .arg(before);
    case Outcome::PortRefused:
        return result.text + u'\r'
                + QStringLiteral("Реле ничего не записано, порт остался при настройках %1")
                          .arg(before);
    case Outcome::KeptOld:
        if (result.write.refused())
            return Texts::relayRefused.arg(result.write.exceptionCode) + u'\r'
                    + QStringLiteral("Реле и порт остались при настройках %1").arg(before);
        if (result.write.kind != WriteOutcome::Kind::NoAnswer
            && result.write.kind != WriteOutcome::Kind::PortFailure)
            return {}; // never sent
        return Texts::linkError + u'\r'
                + QStringLiteral("Реле не ответило на запись и осталось при настройках %1, порт "
                                 "тоже")
                          .arg(before);
    case Outcome::Unknown:
        break;
    }
    return Texts::linkError + u'\r'
            + QStringLiteral("Реле не ответило на запись слова интерфейса %1, ни при прежних "
                             "настройках (%2), ни при новых (%3): приняло ли оно слово, "
                             "неизвестно. Порт оставлен при прежних настройках; если реле не "
                             "отвечает, найдите его через «Поиск устройства...»")
                      .arg(InterfaceWord::hex(result.wordSent), before, settingsText(target));
}

} // namespace miv
