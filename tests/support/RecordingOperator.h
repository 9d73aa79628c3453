#pragma once

#include "core/AbsentOperator.h"

#include <QList>
#include <QStringList>
#include <utility>

using namespace miv;

// An operator who reads every message (kept in `shown`, answered OK) and
// declines every question and dialog. For code that should only tell, never ask.
class RecordingOperator : public AbsentOperator
{
public:
    Answer message(Icon icon, const QString &text, Buttons, const QString &) override
    {
        shown.append({icon, text});
        return Answer::Ok;
    }

    QStringList shownTexts() const
    {
        QStringList texts;
        for (const auto &entry : shown)
            texts.append(entry.second);
        return texts;
    }

    QList<std::pair<Icon, QString>> shown;
};
