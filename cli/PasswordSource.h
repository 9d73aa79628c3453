#pragma once

#include <optional>
#include <QString>

namespace miv::cli {

class Terminal;

// Where a relay password is taken from. The first of these that is given
// counts, in this order:
//   1. the command line (--password PW): every user of the machine can read
//      it in the process list, and the shell keeps it in its history; it is
//      kept for the scripts that use it;
//   2. a file (--password-file FILE): its first line, without the spaces
//      around it (a password is capital Latin letters);
//   3. the environment (MIV_PASSWORD), when set and not empty;
//   4. the terminal, asked without echo when standard input is one (a new
//      password twice, as the window's change dialog asks it).
// The option and the file on one command line are wrong usage.
struct PasswordSources
{
    QString optionName; // "--password"
    std::optional<QString> option;
    QString fileOptionName; // "--password-file"
    std::optional<QString> file;
    const char *environmentVariable = "MIV_PASSWORD";
    QString prompt; // "Введите пароль: "
    QString confirmationPrompt; // set: asked a second time on the terminal
};

// The relay's password for a write: --password, --password-file,
// MIV_PASSWORD, "Введите пароль: " on the terminal (as the window's prompt).
PasswordSources relayPasswordSources(const std::optional<QString> &option,
                                     const std::optional<QString> &file);

struct PasswordChoice
{
    enum class Source { None, CommandLine, File, Environment, Terminal };
    Source source = Source::None;
    QString password;
    // The terminal's second entry; from the other sources the password itself.
    QString confirmation;
    // With Source::None: the exit status (wrong usage, or refused for a file
    // that cannot be read or holds no password, or a prompt left without a
    // line) and the reason for stderr, which never holds a password.
    int failureStatus = 0;
    QString problem;
    // Found, but worth a word on stderr: a password file others may read.
    QString warning;
    bool found() const { return source != Source::None; }
};

// The password from the first source that gives one; `terminal` may be null
// (nobody to ask).
PasswordChoice choosePassword(const PasswordSources &sources, Terminal *terminal);

// An argument as a message may show it: an option's name, never a value
// typed where an option was due, which may be a password.
QString argumentForMessage(const QString &argument);

} // namespace miv::cli
