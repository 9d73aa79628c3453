#pragma once

#include "app/DialogOperator.h"
#include "app/Tdm.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

// The window's operator for a window that runs on its own (the memory soak,
// the README's pictures): every modal dialog is answered at once, since
// offscreen nobody could close one, and told on stderr. Status bar notes stay real.
class UnattendedOperator : public miv::DialogOperator
{
public:
    using miv::DialogOperator::DialogOperator;

    Answer message(Icon, const QString &text, Buttons buttons, const QString &) override
    {
        ++m_messages;
        std::fprintf(stderr, "%s: message: %s\n",
                     qPrintable(QFileInfo(QCoreApplication::applicationFilePath()).fileName()),
                     qPrintable(QString(text).replace(u'\r', u' ')));
        return buttons == Buttons::YesNo    ? Answer::No
                : buttons == Buttons::Abort ? Answer::Abort
                                            : Answer::Ok;
    }
    std::optional<QString> askPassword() override { return std::nullopt; }
    std::optional<PasswordChange> askPasswordChange() override { return std::nullopt; }
    std::optional<ValueEditResult> editValue(const ValueEditRequest &) override
    {
        return std::nullopt;
    }
    QString askSaveFileName(const QString &, const QString &) override { return {}; }
    QString askOpenFileName(const QString &, const QString &) override { return {}; }
    // The interval box of "Установить обновление".
    std::optional<QString> askText(const QString &, const QString &, const QString &) override
    {
        return m_period;
    }
    Answer confirmWarning(const QString &) override { return Answer::Cancel; }

    void setPeriod(const QString &seconds) { m_period = seconds; }
    int messages() const { return m_messages; }

private:
    QString m_period = QStringLiteral("1");
    int m_messages = 0;
};

// The data module's surroundings for such a window: a program folder of its
// own (no "front.ini" of the build tree is read or written), the port given
// for the run, no port setup dialog and no desktop to open files with.
inline Tdm::Environment unattendedEnvironment(const QString &programDir, const QString &port)
{
    Tdm::Environment environment;
    environment.programDir = programDir + QLatin1Char('/');
    environment.portOverride = miv::PortOverride{miv::PortSettings::Transport::Serial, port};
    environment.portSetupDialog =
            [](const miv::PortSettings &) -> std::optional<miv::PortSettings> {
        return std::nullopt;
    };
    environment.openFile = [](const QString &) {};
    return environment;
}
