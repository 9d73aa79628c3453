#pragma once

#include "core/Operator.h"

namespace miv {

// An operator who is not at hand (a poller, a test that only reads what was
// shown): every prompt is cancelled, a file dialog gives no name, a note is
// dropped. What becomes of a message is the one thing left to say.
class AbsentOperator : public Operator
{
public:
    std::optional<QString> askPassword() override { return std::nullopt; }
    std::optional<PasswordChange> askPasswordChange() override { return std::nullopt; }
    std::optional<ValueEditResult> editValue(const ValueEditRequest &) override
    {
        return std::nullopt;
    }
    QString askSaveFileName(const QString &, const QString &) override { return {}; }
    QString askOpenFileName(const QString &, const QString &) override { return {}; }
    void note(const QString &) override { }
};

} // namespace miv
