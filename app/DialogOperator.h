#pragma once

#include "core/Operator.h"

#include <functional>
#include <QPointer>
#include <QWidget>

class QStatusBar;

namespace miv {

// The operator at the window: standard message boxes with exactly the buttons
// asked for, the password dialogs, file dialogs, and notes in the status bar.
class DialogOperator : public Operator
{
public:
    // The value editor belongs to the configuration grid and is handed in by it.
    using ValueEditor = std::function<std::optional<ValueEditResult>(const ValueEditRequest &,
                                                                     QWidget *parent)>;

    explicit DialogOperator(QWidget *parentWindow = nullptr);

    void setParentWindow(QWidget *parentWindow) { m_parent = parentWindow; }
    void setStatusBar(QStatusBar *statusBar);
    // The "front.ini" whose folder memory the file dialogs use: each starts
    // in the folder of the file chosen last. Empty: the dialogs' own start.
    void setFrontIni(const QString &frontIni) { m_frontIni = frontIni; }
    void setValueEditor(ValueEditor editor) { m_valueEditor = std::move(editor); }

    Answer message(Icon icon, const QString &text, Buttons buttons = Buttons::Ok,
                   const QString &caption = {}) override;
    std::optional<QString> askPassword() override;
    std::optional<PasswordChange> askPasswordChange() override;
    // The value editor Tef, unless another editor was handed in.
    std::optional<ValueEditResult> editValue(const ValueEditRequest &request) override;
    QString askSaveFileName(const QString &filter, const QString &defaultSuffix) override;
    QString askOpenFileName(const QString &filter, const QString &defaultSuffix) override;
    void note(const QString &text) override;
    void keepAlive() override;
    // The input box.
    std::optional<QString> askText(const QString &caption, const QString &prompt,
                                   const QString &defaultText) override;
    // A list to choose from (the relay type), the default chosen first.
    std::optional<int> askChoice(const QString &caption, const QString &prompt,
                                 const QStringList &options, int defaultIndex) override;
    // The confirmation dialog Tkmf with the warning.
    Answer confirmWarning(const QString &warning) override;

    // A carriage return alone starts a new line in the box.
    static QString boxText(const QString &text);

private:
    QString askFileName(bool save, const QString &filter, const QString &defaultSuffix);

    QPointer<QWidget> m_parent;
    QPointer<QStatusBar> m_statusBar;
    QString m_frontIni;
    ValueEditor m_valueEditor;
};

} // namespace miv
