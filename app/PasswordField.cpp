#include "app/PasswordField.h"

#include "access/PasswordAccess.h"

#include <QApplication>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QRegularExpressionValidator>

namespace miv {

namespace {

class HashEchoStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '#';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

PasswordField::PasswordField(QWidget *parent) : QLineEdit(parent)
{
    auto *style = new HashEchoStyle;
    style->setParent(this);
    setStyle(style);
    setEchoMode(QLineEdit::Password);
    // Pasted text obeys the same rule as typed keys.
    setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Z]*")), this));
}

void PasswordField::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    const bool typesCharacter = !text.isEmpty() && text.at(0).isPrint();
    if (event->key() == Qt::Key_Backspace || !typesCharacter) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (text.size() == 1 && PasswordAccess::isPasswordCharacter(text.at(0))) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    QApplication::beep();
}

} // namespace miv
