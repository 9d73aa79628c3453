#pragma once

#include <memory>
#include <QDialog>

namespace Ui {
class Tkmf;
}

// The confirmation dialog `kmf` (form Tkmf.ui): a red bold warning across the
// top, OK (Enter) and Cancel (Esc) below; 600 × 130, no title text, no window
// buttons, centred on its owner. A new one is made each time one is needed.
class Tkmf : public QDialog
{
    Q_OBJECT
public:
    explicit Tkmf(QWidget *owner = nullptr);
    ~Tkmf() override;

    void setWarning(const QString &text);
    QString warning() const;

    // Shows a new dialog with `warning` over `owner`; true on OK.
    static bool confirm(const QString &warning, QWidget *owner);

private:
    std::unique_ptr<Ui::Tkmf> ui;
};
