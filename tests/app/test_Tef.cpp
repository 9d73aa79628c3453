#include "ScriptedOperator.h"
#include "app/Tef.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace miv;

namespace {

Operator::ValueEditRequest overloadRequest(const char *text)
{
    Operator::ValueEditRequest request;
    request.caption = QStringLiteral("Кратность перегрузки");
    request.initialText = QString::fromUtf8(text);
    request.stepText = QStringLiteral(".1");
    request.minimum = 11;
    request.maximum = 60;
    return request;
}

void type(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        const int key = c.isDigit() ? Qt::Key_0 + c.digitValue()
                : c == u'.'         ? Qt::Key_Period
                : c == u','         ? Qt::Key_Comma
                                    : 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

TEST(Tef, showsRangeAndNameInBoldAndHasNoTitle)
{
    ScriptedOperator op;
    Tef dialog(overloadRequest("2,5"), op, QChar(u','));
    EXPECT_TRUE(dialog.windowTitle().isEmpty());
    EXPECT_EQ(dialog.l1->text(), QStringLiteral("Диапазон значений [1,1..6,0] с шагом .1"));
    EXPECT_EQ(dialog.l2->text(), QStringLiteral("Кратность перегрузки"));
    EXPECT_TRUE(dialog.l1->font().bold());
    EXPECT_TRUE(dialog.l2->font().bold());
    EXPECT_EQ(dialog.e->text(), QStringLiteral("2,5"));
    EXPECT_EQ(dialog.e->maxLength(), 4);
    EXPECT_TRUE(dialog.BitBtn1->isDefault());
    dialog.show();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()); // fixed size
    EXPECT_TRUE(dialog.e->hasFocus() || !QApplication::activeWindow());

    if (const QByteArray shots = qgetenv("MIV_SHOTS_DIR"); !shots.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(shots));
        dialog.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/editor.png"));
    }
}

TEST(Tef, typedKeysPassTheFilter)
{
    ScriptedOperator op;
    Tef dialog(overloadRequest(""), op, QChar(u','));
    type(dialog.e, QStringLiteral("5.5,a-7"));
    EXPECT_EQ(dialog.e->text(), QStringLiteral("5,57"));
    type(dialog.e, QStringLiteral("9"));
    EXPECT_EQ(dialog.e->text(), QStringLiteral("5,57")); // four characters at most
    QTest::keyClick(dialog.e, Qt::Key_Backspace);
    QTest::keyClick(dialog.e, Qt::Key_Backspace);
    EXPECT_EQ(dialog.e->text(), QStringLiteral("5,"));
    // Replacing a selection that holds the comma lets a new one in.
    dialog.e->selectAll();
    type(dialog.e, QStringLiteral(","));
    EXPECT_EQ(dialog.e->text(), QStringLiteral(","));
}

TEST(Tef, spinButtonsStepAndSaturate)
{
    ScriptedOperator op;
    Tef dialog(overloadRequest("5,9"), op, QChar(u','));
    dialog.SpinUp->click();
    EXPECT_EQ(dialog.e->text(), QStringLiteral("6,0"));
    dialog.SpinUp->click();
    EXPECT_EQ(dialog.e->text(), QStringLiteral("6,0"));
    dialog.SpinDown->click();
    EXPECT_EQ(dialog.e->text(), QStringLiteral("5,9"));
}

TEST(Tef, okClampsWithAPlainMessageAndCloses)
{
    ScriptedOperator op;
    Tef dialog(overloadRequest("9,9"), op, QChar(u','));
    dialog.BitBtn1->click();
    EXPECT_EQ(dialog.QDialog::result(), QDialog::Accepted);
    ASSERT_TRUE(dialog.result().has_value());
    EXPECT_EQ(dialog.result()->value, 60);
    EXPECT_EQ(dialog.result()->text, QStringLiteral("6,0"));
    EXPECT_EQ(dialog.e->text(), QStringLiteral("6,0"));
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].text, QStringLiteral("Значение больше максимально допустимого"));
    EXPECT_EQ(op.shown()[0].icon, Operator::Icon::None);
}

TEST(Tef, okWithoutANumberKeepsTheDialogOpen)
{
    ScriptedOperator op;
    Tef dialog(overloadRequest(""), op, QChar(u','));
    dialog.show();
    dialog.BitBtn1->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.result().has_value());
    EXPECT_TRUE(op.shown().isEmpty());
    type(dialog.e, QStringLiteral(","));
    dialog.BitBtn1->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.e->selectedText(), QStringLiteral(","));
    dialog.e->setText(QStringLiteral("2,5"));
    dialog.BitBtn1->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result()->value, 25);
}

TEST(Tef, enterInTheFieldIsOk)
{
    ScriptedOperator op;
    Tef dialog(overloadRequest(""), op, QChar(u','));
    dialog.show();
    QTest::keyClick(dialog.e, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()); // an empty field is no value
    type(dialog.e, QStringLiteral("0,5"));
    QTest::keyClick(dialog.e, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_TRUE(dialog.result().has_value());
    EXPECT_EQ(dialog.result()->value, 11);
    EXPECT_EQ(op.shownTexts(),
              QStringList{QStringLiteral("Значение меньше минимально допустимого")});
}

TEST(Tef, cancelGivesNothing)
{
    ScriptedOperator op;
    QTimer::singleShot(0, [] {
        if (auto *dialog = qobject_cast<Tef *>(QApplication::activeModalWidget()))
            dialog->BitBtn2->click();
    });
    EXPECT_FALSE(Tef::edit(overloadRequest("2,5"), op).has_value());
}

} // namespace
