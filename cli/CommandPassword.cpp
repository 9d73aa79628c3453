// mivctl password ADDR [--old-file FILE | --old PW] [--new-file FILE | --new PW]
//
// Changes the relay password as the password change dialog does: the old
// password must be the relay's, the new one is typed twice, and the first
// four letters of it reach the relay. Each is taken from its sources
// (PasswordSource.h) before anything is read: the old one from --old,
// --old-file, MIV_PASSWORD or the terminal; the new one from --new,
// --new-file, MIV_NEW_PASSWORD (each taken as both fields) or the terminal,
// where it is typed twice.
// The outcome is told on stderr with the window's texts. Exit 3 for a wrong
// old password or a new one that is not confirmed (fewer than four letters),
// 1 when the relay does not take it. A new password with anything but the
// capital Latin letters the window's fields take is refused (exit 3).
#include "access/PasswordAccess.h"
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "cli/RegistryLookup.h"

#include <algorithm>

namespace miv::cli {

namespace {

const QString passwordUsage =
        QStringLiteral("password ADDR [--old-file FILE | --old PW] [--new-file FILE | --new PW]");
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
    if (arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("password needs an address"), passwordUsage);
    const auto address = parseRelayAddress(arguments[0]);
    if (!address)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0],
                                  passwordUsage);
    PasswordSources old;
    old.optionName = QStringLiteral("--old");
    old.fileOptionName = QStringLiteral("--old-file");
    old.prompt = QStringLiteral("Старый пароль: ");
    PasswordSources fresh;
    fresh.optionName = QStringLiteral("--new");
    fresh.fileOptionName = QStringLiteral("--new-file");
    fresh.environmentVariable = "MIV_NEW_PASSWORD";
    fresh.prompt = QStringLiteral("Новый пароль: ");
    fresh.confirmationPrompt = QStringLiteral("Подтверждение: ");
    const std::pair<QString, std::optional<QString> *> options[] = {
            {old.optionName, &old.option},
            {old.fileOptionName, &old.file},
            {fresh.optionName, &fresh.option},
            {fresh.fileOptionName, &fresh.file},
    };
    for (qsizetype i = 1; i < arguments.size(); i += 2) {
        const auto option = std::find_if(std::begin(options), std::end(options),
                                         [&](const auto &o) { return o.first == arguments[i]; });
        if (option == std::end(options) || option->second->has_value())
            return context.wrongUsage(QStringLiteral("unexpected ")
                                              + argumentForMessage(arguments[i]),
                                      passwordUsage);
        if (i + 1 >= arguments.size())
            return context.wrongUsage(QStringLiteral("a value is missing after ") + arguments[i],
                                      passwordUsage);
        *option->second = arguments[i + 1];
    }

    int refusal = ExitStatus::Done;
    const std::optional<PasswordChoice> oldPassword =
            context.password(old, passwordUsage, &refusal);
    if (!oldPassword)
        return refusal;
    const std::optional<PasswordChoice> newPassword =
            context.password(fresh, passwordUsage, &refusal);
    if (!newPassword)
        return refusal;
    if (!typableInTheWindow(newPassword->password)) {
        context.err() << lettersOnly << Qt::endl;
        return ExitStatus::Refused;
    }

    if (!context.openPort())
        return ExitStatus::LinkFailure;
    if (identifyAt(context, *address).outcome != IdentificationResult::Outcome::Identified)
        return ExitStatus::LinkFailure;
    if (const auto refused = refuseWriteWhenLocked(context, context.session().device))
        return *refused;
    context.console().setPasswordChange(Operator::PasswordChange{
            oldPassword->password, newPassword->password, newPassword->confirmation});
    return statusOf(PasswordAccess::change(context.session(), context.messages()));
}

} // namespace miv::cli
