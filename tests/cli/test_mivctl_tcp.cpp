// End to end over TCP: mivctl --port tcp://127.0.0.1:N against mivsim --tcp,
// the same line it also serves on its pseudo-terminal.
#include "support/MivctlOnSimulator.h"
#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/SimProcess.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class MivctlOverTcp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.isRunning()) << sim.errorText().toStdString();
        ASSERT_NE(sim.tcpPort(), 0);
        ASSERT_TRUE(folder.isValid());
    }

    QString gatewayPort() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(sim.tcpPort()); }

    ProgramResult mivctl(const QString &port, const QStringList &arguments)
    {
        return runMivctl(QStringList{QStringLiteral("--port"), port} + arguments, 60000, {},
                         folder.path());
    }

    SimProcess sim{{QStringLiteral("--relays"), QStringLiteral("1:4,6:6"), QStringLiteral("--baud"),
                    QStringLiteral("9600"), QStringLiteral("--tcp"), QStringLiteral("0")}};
    QTemporaryDir folder;
};

TEST_F(MivctlOverTcp, scanAndInfoAnswerAsOnThePseudoTerminal)
{
    // The same commands over the gateway and over the simulator's
    // pseudo-terminal: the same words, relay for relay.
    const QStringList commands[] = {
            {QStringLiteral("--scan-wait"), QStringLiteral("60"), QStringLiteral("scan")},
            {QStringLiteral("info"), QStringLiteral("6")},
    };
    for (const QStringList &command : commands) {
        const ProgramResult overTcp = mivctl(gatewayPort(), command);
        ASSERT_TRUE(overTcp.finished) << command.join(u' ').toStdString();
        EXPECT_EQ(overTcp.exitCode, 0) << overTcp.standardError.toStdString();
        const ProgramResult overPty = mivctl(sim.portPath(), command);
        ASSERT_TRUE(overPty.finished);
        EXPECT_EQ(overTcp.standardOutput, overPty.standardOutput)
                << command.join(u' ').toStdString();
    }
    const QStringList scan = outputLines(
            mivctl(gatewayPort(),
                   {QStringLiteral("--scan-wait"), QStringLiteral("60"), QStringLiteral("scan")})
                    .standardOutput);
    ASSERT_EQ(scan.size(), 32);
    EXPECT_EQ(scan[0], QStringLiteral("Устройство №1 в сети"));
    EXPECT_EQ(scan[1], QStringLiteral("Связи с устройством №2 нет"));
    EXPECT_EQ(scan[5], QStringLiteral("Устройство №6 в сети"));
}

TEST_F(MivctlOverTcp, aGatewayNobodyListensOnIsALinkFailure)
{
    sim.stop();
    const ProgramResult result =
            mivctl(gatewayPort(), {QStringLiteral("info"), QStringLiteral("1")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.standardOutput.isEmpty());
    EXPECT_TRUE(result.standardError.contains(QStringLiteral("127.0.0.1:%1").arg(sim.tcpPort())))
            << result.standardError.toStdString();
}

} // namespace
