// mivsim as a program: its command line, its exit codes, and a port that
// clients may close and open again.
#include "link/RelayBus.h"
#include "support/ProgramRun.h"
#include "support/PtySerialPort.h"
#include "support/SimProcess.h"

#include <gtest/gtest.h>

using namespace miv;

namespace {

ProgramResult runMivsim(const QStringList &arguments)
{
    return runProgram(programPath(QStringLiteral("mivsim")), arguments, 10000);
}

TEST(MivsimProgram, wrongUsageExits2WithTheReasonOnStderr)
{
    const QStringList wrong[] = {{QStringLiteral("--bogus")},
                                 {QStringLiteral("--relays"), QStringLiteral("1:4"),
                                  QStringLiteral("--silent"), QStringLiteral("2")},
                                 {QStringLiteral("--baud")}};
    for (const QStringList &arguments : wrong) {
        const ProgramResult result = runMivsim(arguments);
        ASSERT_TRUE(result.finished) << arguments.join(u' ').toStdString();
        EXPECT_EQ(result.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(result.standardOutput.isEmpty()) << "no PORT line for a wrong command line";
        EXPECT_TRUE(result.standardError.startsWith(QStringLiteral("mivsim: ")))
                << result.standardError.toStdString();
    }
}

TEST(MivsimProgram, helpPrintsTheUsage)
{
    const ProgramResult result = runMivsim({QStringLiteral("--help")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.standardOutput.startsWith(QStringLiteral("Usage: mivsim")));
    EXPECT_TRUE(result.standardOutput.contains(QStringLiteral("--wrong-address ADDR")));
}

TEST(MivsimProgram, unwritableLogIsAFailureBeforeThePortLine)
{
    const ProgramResult result =
            runMivsim({QStringLiteral("--log"), QStringLiteral("/nonexistent/dir/log.jsonl")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_FALSE(result.standardOutput.contains(QStringLiteral("PORT")));
}

TEST(MivsimProgram, aClientMayCloseAndReopenThePort)
{
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("6:6")});
    ASSERT_TRUE(sim.isRunning()) << sim.errorText().toStdString();
    EXPECT_TRUE(sim.portPath().startsWith(QStringLiteral("/dev/")));
    for (int round = 0; round < 3; ++round) {
        auto port = openPtySerialPort(sim.portPath());
        ASSERT_TRUE(port) << "round " << round;
        RelayBus bus(port.get());
        bus.setReplyTimeoutMs(500);
        const ReplyString reply = bus.askRegisters(6, 0, 7).reply;
        ASSERT_EQ(reply.size(), 3 + 14) << "round " << round;
        EXPECT_EQ(replyWord(reply, 2) & 0xFF, '6');
    }
    EXPECT_TRUE(sim.isRunning());
    EXPECT_EQ(sim.stop(), 0);
}

} // namespace
