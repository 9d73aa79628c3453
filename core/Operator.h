#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace miv {

// Every question and message to the operator goes through this interface.
// The window answers with real dialogs, the tests with scripted answers, and
// mivctl with its options and stderr.
class Operator
{
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Buttons { Ok, OkCancel, OkNo, YesNo, Abort };
    enum class Answer { Ok, Cancel, No, Yes, Abort };

    // What the value editor is given and what it hands back.
    struct ValueEditRequest
    {
        QString caption; // parameter name
        QString initialText; // the grid's value text
        QString stepText; // "1", ".1" or ".01"
        quint16 minimum = 0; // raw
        quint16 maximum = 0; // raw
    };
    struct ValueEditResult
    {
        QString text; // the field text as accepted
        quint16 value; // raw value accepted by OK
    };
    // The three fields of the password change dialog.
    struct PasswordChange
    {
        QString oldPassword;
        QString newPassword;
        QString confirmation;
    };

    virtual ~Operator() = default;

    // A standard message box; caption empty means the application's title.
    virtual Answer message(Icon icon, const QString &text, Buttons buttons = Buttons::Ok,
                           const QString &caption = {}) = 0;
    // The password prompt; nullopt when cancelled.
    virtual std::optional<QString> askPassword() = 0;
    // The password change dialog; nullopt when cancelled.
    virtual std::optional<PasswordChange> askPasswordChange() = 0;
    // The value editor; nullopt when cancelled.
    virtual std::optional<ValueEditResult> editValue(const ValueEditRequest &request) = 0;
    // File dialogs; empty when cancelled. filter as "Файл настроек (*.miv)".
    virtual QString askSaveFileName(const QString &filter, const QString &defaultSuffix) = 0;
    virtual QString askOpenFileName(const QString &filter, const QString &defaultSuffix) = 0;
    // A passing note that needs no answer (the status bar in the window).
    virtual void note(const QString &text) = 0;
    // Called inside long loops so that the window repaints; may do nothing.
    virtual void keepAlive() { }
    // The input box: caption, prompt, default text; nullopt when cancelled.
    // Where nobody can type an answer it is cancelled.
    virtual std::optional<QString> askText(const QString & /*caption*/, const QString & /*prompt*/,
                                           const QString & /*defaultText*/)
    {
        return std::nullopt;
    }
    // A choice among options (the relay type a settings file is opened for):
    // the index chosen, nullopt when cancelled. `defaultIndex` is offered
    // first. Where nobody can choose it is cancelled.
    virtual std::optional<int> askChoice(const QString & /*caption*/, const QString & /*prompt*/,
                                         const QStringList & /*options*/, int /*defaultIndex*/)
    {
        return std::nullopt;
    }
    // A warning the operator must accept before the relay is told to act
    // (the window's red confirmation dialog); Ok only when accepted.
    virtual Answer confirmWarning(const QString &warning)
    {
        return message(Icon::Warning, warning, Buttons::OkCancel);
    }
};

} // namespace miv
