#include "app/Tpf.h"
#include "ui_Tpf.h"

#include "app/PasswordField.h"

#include <QPushButton>

namespace miv {

Tpf::Tpf(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui(std::make_unique<Ui::Tpf>())
{
    ui->setupUi(this);
    e1 = ui->e1;
    ui->buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    // The form's size, or more where the font needs it.
    setFixedSize(sizeHint().expandedTo(minimumSize()));
}

Tpf::~Tpf() = default;

void Tpf::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    e1->setFocus();
}

} // namespace miv
