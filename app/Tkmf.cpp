#include "app/Tkmf.h"
#include "ui_Tkmf.h"

#include "core/Texts.h"

#include <QFontDatabase>

Tkmf::Tkmf(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui(std::make_unique<Ui::Tkmf>())
{
    ui->setupUi(this);
    ui->Label1->setText(miv::Texts::relayControlWarning);
    // Red bold Tahoma of 16 pixels (a size a form gives only in points).
    QFont font(QFontDatabase::hasFamily(QStringLiteral("Tahoma")) ? QStringLiteral("Tahoma")
                                                                  : ui->Label1->font().family());
    font.setPixelSize(16);
    font.setBold(true);
    ui->Label1->setFont(font);
    QPalette palette = ui->Label1->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    ui->Label1->setPalette(palette);

    if (owner)
        move(owner->geometry().center() - rect().center());
}

Tkmf::~Tkmf() = default;

void Tkmf::setWarning(const QString &text)
{
    ui->Label1->setText(text);
}

QString Tkmf::warning() const
{
    return ui->Label1->text();
}

bool Tkmf::confirm(const QString &warning, QWidget *owner)
{
    Tkmf dialog(owner);
    dialog.setWarning(warning);
    return dialog.exec() == QDialog::Accepted;
}
