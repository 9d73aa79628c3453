#pragma once

#include <memory>
#include <QDialog>

namespace Ui {
class Tcpf;
}

namespace miv {

class PasswordField;

// The password change dialog "Смена пароля" (form Tcpf.ui): the old password,
// the new one and its confirmation, OK (default) and Cancel; at least
// 255 x 146 and never resized.
class Tcpf : public QDialog
{
    Q_OBJECT
public:
    explicit Tcpf(QWidget *parent = nullptr);
    ~Tcpf() override;
    PasswordField *e1 = nullptr; // old password
    PasswordField *e2 = nullptr; // new password
    PasswordField *e3 = nullptr; // confirmation

private:
    std::unique_ptr<Ui::Tcpf> ui;
};

} // namespace miv
