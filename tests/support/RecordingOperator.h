#pragma once

#include "core/Operator.h"

#include <QList>
#include <QStringList>
#include <utility>

using namespace miv;

// An operator who reads every message (kept in `shown`, answered OK) and
// declines every question and dialog. For code that should only tell, never ask.
class RecordingOperator : public Operator
{
public:
    Answer message(Icon icon, const QString &text, Buttons, const QString &) override
    {
        shown.append({icon, text});
        return Answer::Ok;
    }
    std::optional<QString> askPassword() override { return std::nullopt; }
    std::optional<PasswordChange> askPasswordChange() override { return std::nullopt; }
    std::optional<ValueEditResult> editValue(const ValueEditRequest &) override
    {
        return std::nullopt;
    }
    QString askSaveFileName(const QString &, const QString &) override { return {}; }
    QString askOpenFileName(const QString &, const QString &) override { return {}; }
    void note(const QString &) override { }

    QStringList shownTexts() const
    {
        QStringList texts;
        for (const auto &entry : shown)
            texts.append(entry.second);
        return texts;
    }

    QList<std::pair<Icon, QString>> shown;
};
