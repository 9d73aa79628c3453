#include "app/PasswordDialogs.h"

#include "app/PasswordField.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace miv {

namespace {

QLabel *boldLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QDialogButtonBox *okCancel(QDialog *dialog)
{
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

void fixSize(QDialog *dialog, int width, int height)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    dialog->setMinimumSize(width, height);
    dialog->adjustSize();
    dialog->setFixedSize(dialog->sizeHint().expandedTo(QSize(width, height)));
}

} // namespace

Tpf::Tpf(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("pf"));
    setWindowTitle(QStringLiteral("Ввод пароля"));
    e1 = new PasswordField(this);
    e1->setObjectName(QStringLiteral("e1"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(boldLabel(QStringLiteral("Введите пароль"), this));
    layout->addWidget(e1);
    layout->addWidget(okCancel(this));
    fixSize(this, 255, 106);
}

void Tpf::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    e1->setFocus();
}

Tcpf::Tcpf(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("cpf"));
    setWindowTitle(QStringLiteral("Смена пароля"));
    e1 = new PasswordField(this);
    e2 = new PasswordField(this);
    e3 = new PasswordField(this);
    e1->setObjectName(QStringLiteral("e1"));
    e2->setObjectName(QStringLiteral("e2"));
    e3->setObjectName(QStringLiteral("e3"));
    auto *form = new QFormLayout;
    form->addRow(boldLabel(QStringLiteral("Старый пароль"), this), e1);
    form->addRow(boldLabel(QStringLiteral("Новый пароль"), this), e2);
    form->addRow(boldLabel(QStringLiteral("Подтверждение"), this), e3);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
    fixSize(this, 255, 146);
}

} // namespace miv
