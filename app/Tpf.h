#pragma once

#include <memory>
#include <QDialog>

namespace Ui {
class Tpf;
}

namespace miv {

class PasswordField;

// The password prompt "Ввод пароля" (form Tpf.ui): the field e1 under its
// caption, OK (default) and Cancel; at least 255 x 106 and never resized.
class Tpf : public QDialog
{
    Q_OBJECT
public:
    explicit Tpf(QWidget *parent = nullptr);
    ~Tpf() override;
    PasswordField *e1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override; // FormShow: focus into e1

private:
    std::unique_ptr<Ui::Tpf> ui;
};

} // namespace miv
