#pragma once

#include "core/Operator.h"

#include <functional>

namespace miv {

// The window's operator as every operation of the data module sees it: the
// real dialogs, but automatic refresh is switched off before any failure is
// shown, so that no refresh tick runs under the box and stacks a box of its
// own on it. Every question and message is passed on unchanged: each of the
// operator's functions is passed on here, the ones with a default too.
class RefreshStoppingOperator final : public Operator
{
public:
    RefreshStoppingOperator(Operator &inner, std::function<void()> stopRefresh)
        : m_inner(inner), m_stopRefresh(std::move(stopRefresh))
    { }

    Answer message(Icon icon, const QString &text, Buttons buttons = Buttons::Ok,
                   const QString &caption = {}) override
    {
        if (icon == Icon::Error && m_stopRefresh)
            m_stopRefresh();
        return m_inner.message(icon, text, buttons, caption);
    }
    std::optional<QString> askPassword() override { return m_inner.askPassword(); }
    std::optional<PasswordChange> askPasswordChange() override
    {
        return m_inner.askPasswordChange();
    }
    std::optional<ValueEditResult> editValue(const ValueEditRequest &request) override
    {
        return m_inner.editValue(request);
    }
    QString askSaveFileName(const QString &filter, const QString &defaultSuffix) override
    {
        return m_inner.askSaveFileName(filter, defaultSuffix);
    }
    QString askOpenFileName(const QString &filter, const QString &defaultSuffix) override
    {
        return m_inner.askOpenFileName(filter, defaultSuffix);
    }
    void note(const QString &text) override { m_inner.note(text); }
    void keepAlive() override { m_inner.keepAlive(); }
    std::optional<QString> askText(const QString &caption, const QString &prompt,
                                   const QString &defaultText) override
    {
        return m_inner.askText(caption, prompt, defaultText);
    }
    std::optional<int> askChoice(const QString &caption, const QString &prompt,
                                 const QStringList &options, int defaultIndex) override
    {
        return m_inner.askChoice(caption, prompt, options, defaultIndex);
    }
    Answer confirmWarning(const QString &warning) override
    {
        return m_inner.confirmWarning(warning);
    }

private:
    Operator &m_inner;
    std::function<void()> m_stopRefresh;
};

} // namespace miv
