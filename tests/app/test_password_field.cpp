#include "app/Tcpf.h"
#include "app/Tpf.h"
#include "app/PasswordField.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

using namespace miv;

namespace {

// Types each character as a key press that carries the character, as a
// keyboard with any layout would.
void type(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent press(
                QEvent::KeyPress,
                c.isLetter() && c.unicode() < 128 ? Qt::Key_A + (c.toUpper().unicode() - 'A') : 0,
                Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

TEST(PasswordField, takesCapitalLatinLettersOnly)
{
    PasswordField field;
    const struct
    {
        QString typed;
        QString kept;
    } cases[] = {
            {QStringLiteral("ABCD"), QStringLiteral("ABCD")},
            {QStringLiteral("abcd"), QString()},
            {QStringLiteral("12#!"), QString()},
            {QStringLiteral("ЖЁЯ"), QString()},
            {QStringLiteral("AbC1D"), QStringLiteral("ACD")},
    };
    for (const auto &c : cases) {
        field.clear();
        type(&field, c.typed);
        EXPECT_EQ(field.text(), c.kept) << c.typed.toStdString();
    }
    field.setText(QStringLiteral("ABC"));
    field.end(false);
    QTest::keyClick(&field, Qt::Key_Backspace);
    EXPECT_EQ(field.text(), QStringLiteral("AB"));
}

TEST(PasswordField, showsHashesAndRefusesPastedLowerCase)
{
    PasswordField field;
    field.setText(QStringLiteral("ab"));
    EXPECT_FALSE(field.hasAcceptableInput());
    EXPECT_EQ(field.echoMode(), QLineEdit::Password);
    EXPECT_EQ(field.style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, &field),
              '#');
}

TEST(PasswordDialogs, captionsAndFields)
{
    Tpf prompt;
    EXPECT_EQ(prompt.windowTitle(), QStringLiteral("Ввод пароля"));
    Tcpf change;
    EXPECT_EQ(change.windowTitle(), QStringLiteral("Смена пароля"));
    EXPECT_NE(change.e1, change.e2);
}

} // namespace
