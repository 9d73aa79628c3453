// The port setup on a serial link over a pseudo-terminal: front.ini, the
// port's settings and the relay's interface word on the simulated line.
#include "core/Texts.h"
#include "device/PortSetup.h"
#include "link/FrontIni.h"
#include "link/SerialLink.h"
#include "support/PseudoTerminal.h"
#include "support/RecordingOperator.h"

#include <gtest/gtest.h>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

using namespace miv;

namespace {

// Records messages; questions are answered OK.
TEST(SerialLink, portSetupOnTheLinkStoresToFrontIni)
{
    PseudoTerminal pty;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("front.ini"));
    SerialLink link;
    PortSettings settings;
    settings.portName = pty.slavePath();
    link.setSettings(settings);
    ASSERT_TRUE(link.open());
    RecordingOperator messages;

    PortSettings chosen = link.settings();
    chosen.baudRate = QStringLiteral("38400");
    const auto dialog = [&chosen](const PortSettings &) {
        return std::optional<PortSettings>(chosen);
    };
    const PortSetupResult result = runPortSetup(link, 0, dialog, messages, ini);
    EXPECT_TRUE(result.stored);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(link.settings(), chosen);
    EXPECT_EQ(link.port().baudRate(), 38400);

    PortSettings loaded;
    ASSERT_TRUE(loadPortSettings(ini, loaded));
    EXPECT_EQ(loaded, chosen);

    // A changed port that cannot be opened: the message, and front.ini unchanged.
    PortSettings missing = chosen;
    missing.portName = QStringLiteral("ttyNoSuchPort42");
    const auto dialog2 = [&missing](const PortSettings &) {
        return std::optional<PortSettings>(missing);
    };
    const PortSetupResult failed = runPortSetup(link, 5, dialog2, messages, ini);
    EXPECT_TRUE(failed.portFailed);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].second.startsWith(Texts::portOpenError));
    ASSERT_TRUE(loadPortSettings(ini, loaded));
    EXPECT_EQ(loaded, chosen);
}

// The whole setup against the simulated line on a pseudo-terminal: the relay
// gets the new word in register 65 and the port follows.
TEST(SerialLink, portSetupTellsASimulatedRelayItsNewWord)
{
    const QString simulator = qEnvironmentVariable("MIV_BIN_DIR") + QStringLiteral("/mivsim");
    if (!QFileInfo::exists(simulator))
        GTEST_SKIP() << "mivsim not built";
    QProcess line;
    line.start(simulator, {QStringLiteral("--relays"), QStringLiteral("1:4,6:6")});
    ASSERT_TRUE(line.waitForReadyRead(10000));
    const QString firstLine = QString::fromUtf8(line.readLine()).trimmed();
    ASSERT_TRUE(firstLine.startsWith(QStringLiteral("PORT "))) << firstLine.toStdString();

    QTemporaryDir dir;
    SerialLink link;
    PortSettings settings;
    settings.portName = firstLine.mid(5);
    link.setSettings(settings);
    ASSERT_TRUE(link.open());
    ASSERT_FALSE(link.bus().askStatus(6).linkFailed());

    RecordingOperator messages;
    PortSettings chosen = link.settings();
    chosen.parity = QStringLiteral("Even");
    chosen.stopBits = QStringLiteral("2");
    const auto dialog = [&chosen](const PortSettings &) {
        return std::optional<PortSettings>(chosen);
    };
    const PortSetupResult result =
            runPortSetup(link, 6, dialog, messages, dir.filePath(QStringLiteral("front.ini")));
    EXPECT_TRUE(result.wordWritten);
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shownTexts().join(u'|').toStdString();
    EXPECT_EQ(link.settings(), chosen);

    const ReplyString reply = link.bus().askRegisters(6, InterfaceWord::relayRegister, 1).reply;
    // The relay's 8-data-bits bit (11) kept.
    EXPECT_EQ(replyWord(reply, 0), (1u << 2) | (1u << 7) | (1u << 11) | (1u << 14));
    PortSettings stored;
    ASSERT_TRUE(loadPortSettings(dir.filePath(QStringLiteral("front.ini")), stored));
    EXPECT_EQ(stored, chosen);
    line.kill();
    line.waitForFinished(5000);
}

} // namespace
