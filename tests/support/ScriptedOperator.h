#pragma once

#include "QtPrinters.h"
#include "core/Operator.h"

#include <deque>
#include <functional>
#include <QList>
#include <QString>
#include <stdexcept>
#include <variant>

using namespace miv;

// An operator for tests: answers come from queues the test fills beforehand,
// and everything shown is recorded. A question the test did not queue an
// answer for is a test failure (it throws), so no box goes unnoticed.
class ScriptedOperator : public Operator
{
public:
    struct Shown
    {
        Icon icon;
        QString text;
        Buttons buttons;
        QString caption;
    };

    // Queue answers, in the order the questions will come.
    void answer(Answer a) { m_answers.push_back(a); }
    void answerPassword(std::optional<QString> password)
    {
        m_passwords.push_back(std::move(password));
    }
    void answerPasswordChange(std::optional<PasswordChange> change)
    {
        m_changes.push_back(std::move(change));
    }
    void answerEdit(std::optional<ValueEditResult> result) { m_edits.push_back(std::move(result)); }
    void answerFileName(const QString &name) { m_fileNames.push_back(name); }
    // The input box's answer; nullopt is Cancel.
    void answerText(std::optional<QString> text) { m_texts.push_back(std::move(text)); }
    // The index chosen from a list; nullopt is Cancel.
    void answerChoice(std::optional<int> index) { m_choices.push_back(index); }

    // When set, message boxes with only an OK button are answered Ok without a queued answer.
    bool acknowledgeOkBoxes = true;
    // Runs inside every keepAlive, as the operator's clicks would while a long loop runs.
    std::function<void()> duringKeepAlive;
    // Runs while each message box is shown, as a timer's tick under it would.
    std::function<void()> duringMessage;

    const QList<Shown> &shown() const { return m_shown; }
    QStringList shownTexts() const
    {
        QStringList texts;
        for (const Shown &s : m_shown)
            texts.append(s.text);
        return texts;
    }
    const QList<ValueEditRequest> &editRequests() const { return m_editRequests; }
    // The options and the one offered first, of every list asked.
    const QList<std::pair<QStringList, int>> &choicesOffered() const { return m_choicesOffered; }
    int passwordPrompts() const { return m_passwordPrompts; }
    int passwordChangePrompts() const { return m_changePrompts; }
    const QStringList &notes() const { return m_notes; }
    int keepAliveCalls() const { return m_keepAlive; }
    void clearShown() { m_shown.clear(); }

    Answer message(Icon icon, const QString &text, Buttons buttons, const QString &caption) override
    {
        m_shown.append({icon, text, buttons, caption});
        if (duringMessage)
            duringMessage();
        if (buttons == Buttons::Ok && acknowledgeOkBoxes && m_answers.empty())
            return Answer::Ok;
        return take(m_answers, "message: " + text.toStdString());
    }
    std::optional<QString> askPassword() override
    {
        ++m_passwordPrompts;
        return take(m_passwords, "password prompt");
    }
    std::optional<PasswordChange> askPasswordChange() override
    {
        ++m_changePrompts;
        return take(m_changes, "password change");
    }
    std::optional<ValueEditResult> editValue(const ValueEditRequest &request) override
    {
        m_editRequests.append(request);
        return take(m_edits, "value editor for " + request.caption.toStdString());
    }
    QString askSaveFileName(const QString &, const QString &) override
    {
        return take(m_fileNames, "save dialog");
    }
    QString askOpenFileName(const QString &, const QString &) override
    {
        return take(m_fileNames, "open dialog");
    }
    void note(const QString &text) override { m_notes.append(text); }
    void keepAlive() override
    {
        ++m_keepAlive;
        if (duringKeepAlive)
            duringKeepAlive();
    }
    std::optional<QString> askText(const QString &caption, const QString &,
                                   const QString &) override
    {
        return take(m_texts, "input box " + caption.toStdString());
    }

    std::optional<int> askChoice(const QString &caption, const QString &,
                                 const QStringList &options, int defaultIndex) override
    {
        m_choicesOffered.append({options, defaultIndex});
        return take(m_choices, "choice " + caption.toStdString());
    }

private:
    template<typename T>
    static T take(std::deque<T> &queue, const std::string &what)
    {
        if (queue.empty())
            throw std::logic_error("unexpected question to the operator: " + what);
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }

    std::deque<Answer> m_answers;
    std::deque<std::optional<QString>> m_passwords;
    std::deque<std::optional<PasswordChange>> m_changes;
    std::deque<std::optional<ValueEditResult>> m_edits;
    std::deque<QString> m_fileNames;
    std::deque<std::optional<QString>> m_texts;
    std::deque<std::optional<int>> m_choices;
    QList<std::pair<QStringList, int>> m_choicesOffered;
    QList<Shown> m_shown;
    QList<ValueEditRequest> m_editRequests;
    QStringList m_notes;
    int m_passwordPrompts = 0;
    int m_changePrompts = 0;
    int m_keepAlive = 0;
};
