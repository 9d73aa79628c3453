#pragma once

#include "core/Operator.h"

#include <QTextStream>

namespace miv::cli {

// The operator of mivctl: messages and notes go to stderr, and the answers
// come from the command line. A question is answered OK (or Yes) only when
// --yes was given, otherwise Cancel (or No), so that nothing is changed on a
// relay that the command line did not ask for. The password and the
// password change are what the command took from their sources
// (PasswordSource.h), the file names from its own options; without them the
// prompt counts as cancelled. The value editor is never
// offered in a shell: it is always cancelled.
class ConsoleOperator : public miv::Operator
{
public:
    explicit ConsoleOperator(QTextStream &err);

    void setAssumeYes(bool yes) { m_assumeYes = yes; }
    void setPassword(const std::optional<QString> &password) { m_password = password; }
    void setPasswordChange(const std::optional<PasswordChange> &change)
    {
        m_passwordChange = change;
    }
    void setSaveFileName(const QString &name) { m_saveFileName = name; }
    void setOpenFileName(const QString &name) { m_openFileName = name; }

    Answer message(Icon icon, const QString &text, Buttons buttons = Buttons::Ok,
                   const QString &caption = {}) override;
    std::optional<QString> askPassword() override;
    std::optional<PasswordChange> askPasswordChange() override;
    std::optional<ValueEditResult> editValue(const ValueEditRequest &request) override;
    QString askSaveFileName(const QString &filter, const QString &defaultSuffix) override;
    QString askOpenFileName(const QString &filter, const QString &defaultSuffix) override;
    void note(const QString &text) override;
    // The warning on stderr; answered by --yes, else by the terminal when
    // stdin is one ("y" or "д" accepts), else declined.
    Answer confirmWarning(const QString &warning) override;
    // Where the terminal's answer is read from; tests give their own.
    void setAnswerInput(QTextStream *input) { m_answerInput = input; }

private:
    QTextStream &m_err;
    bool m_assumeYes = false;
    std::optional<QString> m_password;
    std::optional<PasswordChange> m_passwordChange;
    QString m_saveFileName;
    QString m_openFileName;
    QTextStream *m_answerInput = nullptr;
};

} // namespace miv::cli
