#pragma once

#include <QDialog>

namespace miv {

class PasswordField;

// The password prompt "Ввод пароля".
class Tpf : public QDialog
{
    Q_OBJECT
public:
    explicit Tpf(QWidget *parent = nullptr);
    PasswordField *e1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override; // FormShow: focus into e1
};

// The password change dialog "Смена пароля".
class Tcpf : public QDialog
{
    Q_OBJECT
public:
    explicit Tcpf(QWidget *parent = nullptr);
    PasswordField *e1 = nullptr; // old password
    PasswordField *e2 = nullptr; // new password
    PasswordField *e3 = nullptr; // confirmation
};

} // namespace miv
