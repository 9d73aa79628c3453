#pragma once

#include <optional>
#include <QString>
#include <QTextStream>

namespace miv::cli {

// Whether standard input is a terminal an operator types on.
bool standardInputIsTerminal();

// The terminal mivctl was started from, for what is better typed than given
// on the command line. Tests give their own.
class Terminal
{
public:
    virtual ~Terminal() = default;
    // Whether an operator can type an answer: standard input is a terminal.
    virtual bool interactive() const = 0;
    // Shows `prompt` and reads one line without showing what is typed. The
    // line without its end; nullopt when input ended before a line.
    virtual std::optional<QString> readSecret(const QString &prompt) = 0;
};

// Standard input, with the prompt on standard error. Echo is off only while
// the line is read, and turned on again also when the program is ended then
// (Ctrl+C), so that the shell is never left typing blind.
class ProcessTerminal final : public Terminal
{
public:
    explicit ProcessTerminal(QTextStream &err) : m_err(err) { }
    bool interactive() const override;
    std::optional<QString> readSecret(const QString &prompt) override;

private:
    QTextStream &m_err;
};

} // namespace miv::cli
