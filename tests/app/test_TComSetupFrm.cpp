#include "app/TComSetupFrm.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace miv;

namespace {

QComboBox *listLabelled(QWidget &dialog, const QString &label)
{
    for (QLabel *candidate : dialog.findChildren<QLabel *>()) {
        if (candidate->text() == label)
            return qobject_cast<QComboBox *>(candidate->buddy());
    }
    return nullptr;
}

PortSettings unusual()
{
    PortSettings settings;
    settings.portName = QStringLiteral("/dev/pts/77"); // not among the ports present
    settings.baudRate = QStringLiteral("38400");
    settings.dataBits = QStringLiteral("7");
    settings.stopBits = QStringLiteral("1.5");
    settings.parity = QStringLiteral("Space");
    settings.flowControl = QStringLiteral("Software");
    return settings;
}

TEST(TComSetupFrm, showsEveryCurrentValueInItsList)
{
    TComSetupFrm dialog(unusual());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Setup"));
    ASSERT_EQ(dialog.findChildren<QGroupBox *>().size(), 1);
    EXPECT_EQ(dialog.findChildren<QGroupBox *>().first()->title(), QStringLiteral(" Settings "));
    const std::pair<const char *, const char *> shown[] = {
            {"Port", "/dev/pts/77"}, {"Baud rate", "38400"}, {"Data bits", "7"},
            {"Stop bits", "1.5"},    {"Parity", "Space"},    {"Flow control", "Software"},
    };
    for (const auto &[label, value] : shown) {
        QComboBox *list = listLabelled(dialog, QString::fromLatin1(label));
        ASSERT_NE(list, nullptr) << label;
        EXPECT_EQ(list->currentText(), QString::fromLatin1(value)) << label;
    }
    EXPECT_EQ(listLabelled(dialog, QStringLiteral("Baud rate"))->count(),
              PortSettings::baudRateTexts().size());
    EXPECT_EQ(dialog.chosenSettings(), unusual());
}

// With a relay selected the lists hold what its word can be set to, the
// current value still shown, and a line says why.
TEST(TComSetupFrm, aSelectedRelayNarrowsTheListsToWhatItsWordCanSay)
{
    TComSetupFrm dialog(unusual(), InterfaceWord::choices(0x2844));
    const auto items = [&dialog](const char *label) {
        QComboBox *list = listLabelled(dialog, QString::fromLatin1(label));
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    };
    EXPECT_EQ(items("Baud rate"), QStringList({"9600", "19200", "38400"}));
    EXPECT_EQ(items("Data bits"), QStringList({"8", "7"}));
    EXPECT_EQ(items("Parity"), QStringList({"None", "Even", "Odd", "Space"}));
    EXPECT_EQ(items("Stop bits"), QStringList({"1", "2", "1.5"}));
    EXPECT_FALSE(dialog.findChild<QLabel *>(QStringLiteral("relayNote"))->isHidden());
    EXPECT_TRUE(
            TComSetupFrm(unusual()).findChild<QLabel *>(QStringLiteral("relayNote"))->isHidden());
}

TEST(TComSetupFrm, okReturnsTheChoiceWithATypedDevicePath)
{
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<TComSetupFrm *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QComboBox *port = listLabelled(*dialog, QStringLiteral("Port"));
        ASSERT_TRUE(port->isEditable());
        port->lineEdit()->setText(QStringLiteral(" /dev/serial/by-id/usb-FTDI-if00 "));
        listLabelled(*dialog, QStringLiteral("Parity"))->setCurrentText(QStringLiteral("Even"));
        for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
            if (button->text() == QLatin1String("OK")) {
                EXPECT_TRUE(button->isDefault());
                button->click();
            }
        }
    });
    const std::optional<PortSettings> chosen = TComSetupFrm::execFor(unusual());
    ASSERT_TRUE(chosen);
    PortSettings expected = unusual();
    expected.portName = QStringLiteral("/dev/serial/by-id/usb-FTDI-if00");
    expected.parity = QStringLiteral("Even");
    EXPECT_EQ(*chosen, expected);
}

TEST(TComSetupFrm, cancelReturnsNothing)
{
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<TComSetupFrm *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        listLabelled(*dialog, QStringLiteral("Parity"))->setCurrentText(QStringLiteral("Even"));
        dialog->reject();
    });
    EXPECT_FALSE(TComSetupFrm::execFor(unusual()));
}

} // namespace
