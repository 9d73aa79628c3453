// The whole road: our master over a QSerialPort on mivsim's pseudo-terminal.
// Discovery finds exactly the relays on the line; every fault the simulator
// can make is a failed exchange, never data, and leaves the line in step.
#include "link/RelayBus.h"
#include "support/PtySerialPort.h"
#include "support/SimProcess.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace miv;

namespace {

// Configuration registers 0x50 and 0x51 as every simulated relay starts.
constexpr quint16 ratio = 10;
constexpr quint16 nominalCurrent = 250;

struct BusOverPty
{
    explicit BusOverPty(const QString &path)
    {
        QString error;
        port = openPtySerialPort(path, 9600, &error);
        openError = error;
        bus.setPort(port.get());
        bus.setLineSettings(9600, 10);
        bus.setReplyTimeoutMs(150);
        // One exchange per fault, so that the log and the counts are the faults' own.
        bus.setRetries(0);
    }

    bool readsHealthyRelay(quint8 address)
    {
        const ReplyString reply = bus.askRegisters(address, 0x50, 2).reply;
        return reply.size() == 7 && replyWord(reply, 0) == ratio
                && replyWord(reply, 1) == nominalCurrent;
    }

    std::unique_ptr<QSerialPort> port;
    QString openError;
    RelayBus bus;
};

TEST(PtySmoke, scanFindsExactlyTheRelaysOnTheLine)
{
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4,6:6,17:4")});
    ASSERT_TRUE(sim.isRunning()) << sim.errorText().toStdString();
    BusOverPty link(sim.portPath());
    ASSERT_TRUE(link.port) << link.openError.toStdString();

    QList<int> found;
    for (int address = 1; address <= 32; ++address)
        if (!link.bus.askStatus(quint8(address), 100).linkFailed())
            found.append(address);
    EXPECT_EQ(found, QList<int>({1, 6, 17}));
    EXPECT_EQ(sim.stop(), 0); // SIGTERM ends it cleanly
}

TEST(PtySmoke, everyFaultIsAFailedExchangeAndTheNextOneIsRight)
{
    QTemporaryDir folder;
    const QString logPath = folder.filePath(QStringLiteral("requests.jsonl"));
    SimProcess sim(
            {QStringLiteral("--relays"), QStringLiteral("1:4,2:4,3:4,4:4,5:4,6:4,7:4,8:4,9:4"),
             QStringLiteral("--log"), logPath, QStringLiteral("--silent"), QStringLiteral("2"),
             QStringLiteral("--bad-crc"), QStringLiteral("3"), QStringLiteral("--late-ms"),
             QStringLiteral("4:400"),
             // A reply header that promises other data and breaks off.
             QStringLiteral("--garbage"), QStringLiteral("5:050304FFFF"),
             QStringLiteral("--wrong-address"), QStringLiteral("6"), // answers as 7, which is there
             QStringLiteral("--truncate"), QStringLiteral("8"), QStringLiteral("--answer-requests"),
             QStringLiteral("9:1")});
    ASSERT_TRUE(sim.isRunning()) << sim.errorText().toStdString();
    BusOverPty link(sim.portPath());
    ASSERT_TRUE(link.port) << link.openError.toStdString();
    RelayBus &bus = link.bus;

    EXPECT_TRUE(link.readsHealthyRelay(9)); // its one answer
    struct Case
    {
        const char *fault;
        quint8 address;
    };
    const Case failing[] = {{"silent", 2},        {"bad crc", 3},  {"late", 4},
                            {"wrong address", 6}, {"truncate", 8}, {"answered its share", 9}};
    for (const Case &c : failing) {
        EXPECT_EQ(bus.askRegisters(c.address, 0x50, 2).kind, BusReply::Kind::NoAnswer) << c.fault;
        EXPECT_EQ(bus.askStatus(c.address).kind, BusReply::Kind::NoAnswer) << c.fault;
        EXPECT_EQ(bus.askWriteRegister(c.address, 0x55, 30).kind, BusReply::Kind::NoAnswer)
                << c.fault << ": a write without a valid answer";
        EXPECT_TRUE(link.readsHealthyRelay(1)) << "after " << c.fault;
    }
    // The late relay's replies keep arriving late; none is taken for a later request.
    EXPECT_EQ(bus.askRegisters(4, 0x60, 1).kind, BusReply::Kind::NoAnswer);

    // Noise before a reply is skipped; the reply itself is the data.
    EXPECT_TRUE(link.readsHealthyRelay(5));
    EXPECT_FALSE(bus.askStatus(5).linkFailed());
    EXPECT_TRUE(link.readsHealthyRelay(7));

    // One log line per request, with the fault that shaped it.
    ASSERT_EQ(sim.stop(), 0);
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    int lines = 0;
    int silentLines = 0;
    while (!log.atEnd()) {
        const QJsonObject entry = QJsonDocument::fromJson(log.readLine()).object();
        ASSERT_FALSE(entry.isEmpty());
        ++lines;
        if (entry.value(QStringLiteral("address")).toInt() == 2) {
            EXPECT_EQ(entry.value(QStringLiteral("fault")).toString(), QStringLiteral("silent"));
            EXPECT_TRUE(entry.value(QStringLiteral("reply")).isNull());
            ++silentLines;
        }
    }
    EXPECT_EQ(silentLines, 3);
    EXPECT_EQ(lines, 1 + 6 * 4 + 1 + 3);
}

TEST(PtySmoke, simulatorGoneIsAPortFailureNotData)
{
    auto sim = std::make_unique<SimProcess>(
            QStringList{QStringLiteral("--relays"), QStringLiteral("1:4")});
    ASSERT_TRUE(sim->isRunning()) << sim->errorText().toStdString();
    BusOverPty link(sim->portPath());
    ASSERT_TRUE(link.port) << link.openError.toStdString();
    ASSERT_TRUE(link.readsHealthyRelay(1));
    sim.reset();
    // Silence or a failed port, never data.
    const BusReply reply = link.bus.askRegisters(1, 0x50, 2);
    EXPECT_TRUE(reply.linkFailed());
    EXPECT_TRUE(reply.reply.isEmpty());
}

} // namespace
