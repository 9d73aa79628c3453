#include "cli/ConsoleOperator.h"

#include "cli/Terminal.h"

#include <cstdio>

namespace miv::cli {

ConsoleOperator::ConsoleOperator(QTextStream &err) : m_err(err) { }

Operator::Answer ConsoleOperator::message(Icon, const QString &text, Buttons buttons,
                                          const QString &caption)
{
    if (!caption.isEmpty())
        m_err << caption << ": ";
    m_err << text << Qt::endl;

    Answer answer = Answer::Ok;
    switch (buttons) {
    case Buttons::Ok:
        answer = Answer::Ok;
        break;
    case Buttons::OkCancel:
        answer = m_assumeYes ? Answer::Ok : Answer::Cancel;
        break;
    case Buttons::OkNo:
        answer = m_assumeYes ? Answer::Ok : Answer::No;
        break;
    case Buttons::YesNo:
        answer = m_assumeYes ? Answer::Yes : Answer::No;
        break;
    case Buttons::Abort:
        answer = Answer::Abort;
        break;
    }
    if (buttons != Buttons::Ok && buttons != Buttons::Abort)
        m_err << (m_assumeYes ? "(answered yes: --yes)" : "(answered no; --yes answers yes)")
              << Qt::endl;
    return answer;
}

std::optional<QString> ConsoleOperator::askPassword()
{
    return m_password;
}

std::optional<Operator::PasswordChange> ConsoleOperator::askPasswordChange()
{
    return m_passwordChange;
}

std::optional<Operator::ValueEditResult> ConsoleOperator::editValue(const ValueEditRequest &)
{
    return std::nullopt;
}

QString ConsoleOperator::askSaveFileName(const QString &, const QString &)
{
    return m_saveFileName;
}

QString ConsoleOperator::askOpenFileName(const QString &, const QString &)
{
    return m_openFileName;
}

void ConsoleOperator::note(const QString &text)
{
    m_err << text << Qt::endl;
}

Operator::Answer ConsoleOperator::confirmWarning(const QString &warning)
{
    m_err << warning << Qt::endl;
    if (m_assumeYes) {
        m_err << "(answered yes: --yes)" << Qt::endl;
        return Answer::Ok;
    }
    QTextStream terminal(stdin);
    QTextStream *input =
            m_answerInput ? m_answerInput : (standardInputIsTerminal() ? &terminal : nullptr);
    if (!input) {
        m_err << "(answered no; --yes answers yes)" << Qt::endl;
        return Answer::Cancel;
    }
    m_err << "OK? [y/N] " << Qt::flush;
    const QString answer = input->readLine().trimmed().toLower();
    const bool accepted = answer == QStringLiteral("y") || answer == QStringLiteral("yes")
            || answer == QStringLiteral("д") || answer == QStringLiteral("да");
    return accepted ? Answer::Ok : Answer::Cancel;
}

} // namespace miv::cli
