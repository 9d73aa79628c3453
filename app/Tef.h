#pragma once

#include "config/ValueEditor.h"
#include "core/Operator.h"

#include <memory>
#include <optional>
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace Ui {
class Tef;
}

namespace miv {

// The value editor `ef`: an untitled fixed-size dialog with the field `e`,
// the spin button `SpinButton1` (up and down arrows), OK `BitBtn1` (default)
// and Cancel `BitBtn2`, and the bold labels `l1` (range) and `l2` (the
// parameter's name). What the keys, the arrows and OK do is ValueEditor's;
// the clamping messages go to the operator given.
class Tef : public QDialog
{
    Q_OBJECT
public:
    Tef(const Operator::ValueEditRequest &request, Operator &messages,
        QChar decimalSeparator = systemDecimalSeparator(), QWidget *parent = nullptr);
    ~Tef() override;

    // The value accepted by OK; nullopt until then.
    const std::optional<Operator::ValueEditResult> &result() const { return m_result; }

    // Shows the editor modally; the accepted value, nullopt for Cancel.
    static std::optional<Operator::ValueEditResult>
    edit(const Operator::ValueEditRequest &request, Operator &messages, QWidget *parent = nullptr);

    // --- Handlers ---
    void FormShow();
    // True when the key was dealt with here (refused, or typed as the separator).
    bool eKeyPress(QKeyEvent *event);
    void BitBtn1Click();
    void SpinButton1DownClick();
    void SpinButton1UpClick();

    // --- Components (from Tef.ui) ---
    QLineEdit *e = nullptr;
    QWidget *SpinButton1 = nullptr;
    QToolButton *SpinUp = nullptr;
    QToolButton *SpinDown = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QLabel *l1 = nullptr;
    QLabel *l2 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setFieldText(const QString &text);

    std::unique_ptr<Ui::Tef> ui;
    ValueEditor m_editor;
    Operator &m_messages;
    std::optional<Operator::ValueEditResult> m_result;
};

} // namespace miv
