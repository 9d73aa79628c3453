#include "app/Tcpf.h"
#include "ui_Tcpf.h"

#include "app/PasswordField.h"

#include <QPushButton>

namespace miv {

Tcpf::Tcpf(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui(std::make_unique<Ui::Tcpf>())
{
    ui->setupUi(this);
    e1 = ui->e1;
    e2 = ui->e2;
    e3 = ui->e3;
    ui->buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    // The form's size, or more where the font needs it.
    setFixedSize(sizeHint().expandedTo(minimumSize()));
}

Tcpf::~Tcpf() = default;

} // namespace miv
