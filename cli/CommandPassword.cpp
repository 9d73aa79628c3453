// mivctl password ADDR --old PW --new PW
//
// Changes the relay password as the password change dialog does: the old
// password must be the relay's, the new one is typed twice (here: --new is
// taken as both fields), and the first four letters of it reach the relay.
// The outcome is told on stderr with the window's texts. Exit 3 for a wrong
// old password or a new one that is not confirmed (fewer than four letters),
// 1 when the relay does not take it. A new password with anything but the
// capital Latin letters the window's fields take is refused (exit 3).
#include "access/PasswordAccess.h"
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"

namespace miv::cli {

namespace {

const QString passwordUsage = QStringLiteral("password ADDR --old PW --new PW");
// The window's fields take nothing else; a password typed here must stay one
// that the window can type.
const QString lettersOnly =
        QStringLiteral("Новый пароль может содержать только заглавные латинские буквы A-Z");

bool typableInTheWindow(const QString &password)
{
    for (QChar c : password)
        if (!PasswordAccess::isPasswordCharacter(c))
            return false;
    return true;
}

int statusOf(PasswordAccess::Change change)
{
    switch (change) {
    case PasswordAccess::Change::Changed:
        return ExitStatus::Done;
    case PasswordAccess::Change::LinkFailed:
        return ExitStatus::LinkFailure;
    case PasswordAccess::Change::WrongOldPassword:
    case PasswordAccess::Change::NotConfirmed:
    case PasswordAccess::Change::Cancelled:
        break;
    }
    return ExitStatus::Refused;
}

} // namespace

int runPassword(CliContext &context, const QStringList &arguments)
{
    if (arguments.size() != 5)
        return context.wrongUsage(QStringLiteral("password takes an address, --old and --new"),
                                  passwordUsage);
    const auto address = parseRelayAddress(arguments[0]);
    if (!address)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0],
                                  passwordUsage);
    Operator::PasswordChange fields;
    bool hasOld = false;
    bool hasNew = false;
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QStringLiteral("--old") && !hasOld) {
            fields.oldPassword = arguments[i + 1];
            hasOld = true;
        } else if (arguments[i] == QStringLiteral("--new") && !hasNew) {
            fields.newPassword = fields.confirmation = arguments[i + 1];
            hasNew = true;
        } else {
            return context.wrongUsage(QStringLiteral("unexpected ") + arguments[i], passwordUsage);
        }
    }

    if (!typableInTheWindow(fields.newPassword)) {
        context.err() << lettersOnly << Qt::endl;
        return ExitStatus::Refused;
    }

    if (!context.openPort())
        return ExitStatus::LinkFailure;
    if (identifyAt(context, *address).outcome != IdentificationResult::Outcome::Identified)
        return ExitStatus::LinkFailure;
    context.console().setPasswordChange(fields);
    return statusOf(PasswordAccess::change(context.session(), context.messages()));
}

} // namespace miv::cli
