#include "access/PasswordAccess.h"

#include "core/RegisterMap.h"
#include "core/RelayWords.h"
#include "core/Texts.h"
#include "device/LinkFailure.h"
#include "link/AuditedWrite.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

namespace miv {

namespace PasswordAccess {
namespace {

const QString errorCaption = QStringLiteral("Ошибка");
const QString messageCaption = QStringLiteral("Сообщение");
const QString notConfirmed = QStringLiteral("Не подтвержден новый пароль!");
const QString changed = QStringLiteral("Пароль был успешно изменен!");

quint16 wordOf(QChar high, QChar low)
{
    return quint16((high.unicode() & 0xFF) << 8 | (low.unicode() & 0xFF));
}

const QString passwordItem = QStringLiteral("пароль");

// True when the relay took the word; otherwise `failure` says what the
// operator is told. The audit line names the register only.
bool writeWord(RelaySession &session, Operator &op, quint16 reg, quint16 value, QString &failure)
{
    const WriteOutcome outcome =
            auditedWrite(session, op, {reg, false, passwordItem, {}, {}}, value);
    if (outcome.written())
        return true;
    failure = writeFailureText(session, outcome, RefusalTold::AsNoAnswer);
    return false;
}

// The relay took the first two letters of the new password and not the last
// two: it now holds neither password.
const QString halfWritten =
        QStringLiteral("Новый пароль записан не полностью: устройство приняло первые два символа, "
                       "но не последние два. Смените пароль снова, когда связь восстановится.");

} // namespace

bool isPasswordCharacter(QChar c)
{
    return c >= u'A' && c <= u'Z';
}

Unlock unlock(Operator &op, const CurrentDevice &device, SessionFlags &flags)
{
    const std::optional<QString> typed = op.askPassword();
    if (!typed)
        return Unlock::Cancelled;
    if (*typed == device.password) {
        flags.editingLocked = false;
        return Unlock::Unlocked;
    }
    op.message(Operator::Icon::Error, Texts::passwordError);
    return Unlock::WrongPassword;
}

QString passwordFromWords(quint16 first, quint16 second)
{
    // The relay keeps 8-bit characters; the letters typed here are Latin.
    QString text;
    text.append(QChar(highByte(first)));
    text.append(QChar(lowByte(first)));
    text.append(QChar(highByte(second)));
    text.append(QChar(lowByte(second)));
    return text;
}

bool rereadAccessRegisters(RelayBus &bus, CurrentDevice &device)
{
    const ReplyString reply = bus.askRegisters(device.networkAddress, RelayRegister::accessBlock,
                                               RelayRegister::accessBlockCount)
                                      .reply;
    namespace R = RelayRegister;
    device.configuredAddress = replyWord(reply, R::configuredAddress - R::accessBlock);
    device.interfaceWord = replyWord(reply, R::interfaceWord - R::accessBlock);
    device.password = passwordFromWords(replyWord(reply, R::password - R::accessBlock),
                                        replyWord(reply, R::password + 1 - R::accessBlock));
    return reply.size() >= 5;
}

Change change(RelaySession &session, Operator &op)
{
    CurrentDevice &device = session.device;
    const std::optional<Operator::PasswordChange> fields = op.askPasswordChange();
    Change outcome = Change::Cancelled;
    if (fields) {
        if (fields->oldPassword != device.password) {
            op.message(Operator::Icon::Error, Texts::passwordError, Operator::Buttons::Ok,
                       errorCaption);
            outcome = Change::WrongOldPassword;
        } else if (fields->newPassword != fields->confirmation || fields->confirmation.size() < 4) {
            op.message(Operator::Icon::Error, notConfirmed, Operator::Buttons::Ok, errorCaption);
            outcome = Change::NotConfirmed;
        } else {
            const QString word = fields->newPassword.left(4);
            // The second word is only sent when the first was taken; when the
            // first was taken and the second not, the relay holds half the new
            // password, and the operator is told so.
            QString failure;
            const bool firstTaken = writeWord(session, op, RelayRegister::password,
                                              wordOf(word[0], word[1]), failure);
            if (firstTaken
                && writeWord(session, op, RelayRegister::password + 1, wordOf(word[2], word[3]),
                             failure)) {
                op.message(Operator::Icon::Information, changed, Operator::Buttons::Ok,
                           messageCaption);
                outcome = Change::Changed;
            } else {
                op.message(Operator::Icon::Error,
                           firstTaken ? halfWritten + u'\n' + failure : failure);
                outcome = Change::LinkFailed;
            }
        }
    }
    rereadAccessRegisters(session.bus, device);
    return outcome;
}

} // namespace PasswordAccess

} // namespace miv
