#include "app/Tkmf.h"

#include "core/Texts.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

Tkmf::Tkmf(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("kmf"));
    setWindowTitle(QString());
    setFixedSize(600, 130);

    Label1 = new QLabel(miv::Texts::relayControlWarning, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    QFont font(QFontDatabase::hasFamily(QStringLiteral("Tahoma")) ? QStringLiteral("Tahoma")
                                                                  : Label1->font().family());
    font.setPixelSize(16);
    font.setBold(true);
    Label1->setFont(font);
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    Label1->setPalette(palette);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects as well

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1, 1);
    layout->addLayout(buttons);

    if (owner)
        move(owner->geometry().center() - rect().center());
}

void Tkmf::setWarning(const QString &text)
{
    Label1->setText(text);
}

QString Tkmf::warning() const
{
    return Label1->text();
}

bool Tkmf::confirm(const QString &warning, QWidget *owner)
{
    Tkmf dialog(owner);
    dialog.setWarning(warning);
    return dialog.exec() == QDialog::Accepted;
}
