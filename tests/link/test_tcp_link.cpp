// The relay bus over a TcpLink, against a RelayLine served over TCP on the
// loopback in this process: the same exchanges as on the serial port, and
// what TCP adds (segments, lost frames, a gateway that hangs up).
#include "core/DigitText.h"
#include "core/Texts.h"
#include "link/LineLink.h"
#include "link/TcpLink.h"
#include "support/TcpLineServer.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <functional>
#include <gtest/gtest.h>

using namespace miv;

namespace {

class TcpLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.port(), 0);
        PortSettings settings;
        settings.transport = PortSettings::Transport::Tcp;
        settings.gateway = server.gateway();
        settings.retries = 0; // single exchanges unless a test says otherwise
        ASSERT_TRUE(link.setSettings(settings));
        QString error;
        ASSERT_TRUE(link.open(&error)) << error.toStdString();
        link.bus().setReplyTimeoutMs(80);
    }

    static RelayLine twoRelays()
    {
        RelayLine line;
        line.addRelay(1, 4);
        line.addRelay(6, 6);
        return line;
    }

    RelayLine line = twoRelays();
    TcpLineServer server{line};
    TcpLink link;
};

TEST_F(TcpLinkTest, readsAndWritesGoThroughTheGateway)
{
    struct Case
    {
        const char *name;
        std::function<bool(RelayBus &)> check;
    };
    const Case cases[] = {
            {"read block",
             [](RelayBus &bus) {
                 const ReplyString reply = bus.askRegisters(1, 0x50, 32).reply;
                 return reply.size() == 3 + 64 && replyWord(reply, 0) == 10
                         && replyWord(reply, 1) == 250;
             }},
            {"status of a relay present",
             [](RelayBus &bus) { return !bus.askStatus(6).linkFailed(); }},
            {"status of an empty address",
             [](RelayBus &bus) { return bus.askStatus(2).kind == BusReply::Kind::NoAnswer; }},
            {"write echoed",
             [](RelayBus &bus) {
                 const BusReply echo = bus.askWriteRegister(1, 0x55, 40);
                 return echo.reply.size() == 7 && echo.answered() && replyWord(echo.reply, 1) == 40;
             }},
            {"written value read back",
             [](RelayBus &bus) { return replyWord(bus.askRegisters(1, 0x55, 1).reply, 0) == 40; }},
            {"refusal is an answer",
             [](RelayBus &bus) { return bus.askWriteRegister(1, 0x55, 70000 & 0xFFFF).refused(); }},
    };
    for (const Case &c : cases)
        EXPECT_TRUE(c.check(link.bus())) << c.name;
    EXPECT_EQ(server.connectionsAccepted(), 1);
}

TEST_F(TcpLinkTest, aFrameSplitAcrossSegmentsIsPutTogether)
{
    // Cut after the address, inside the header, inside the data, before the CRC's last byte.
    const int cuts[] = {1, 3, 20, 66};
    for (int cut : cuts) {
        server.splitReplies(cut, 25);
        const ReplyString reply = link.bus().askRegisters(1, 0x50, 32).reply;
        ASSERT_EQ(reply.size(), 67) << "cut after " << cut;
        EXPECT_EQ(replyWord(reply, 0), 10) << "cut after " << cut;
        EXPECT_FALSE(link.bus().askStatus(6).linkFailed()) << "cut after " << cut;
    }
}

TEST_F(TcpLinkTest, aLostFrameIsAFailedExchangeAndARetryRecoversIt)
{
    server.loseReplies(1);
    EXPECT_EQ(link.bus().askRegisters(1, 0x50, 2).kind, BusReply::Kind::NoAnswer);
    EXPECT_EQ(server.repliesLost(), 1);

    link.bus().setRetries(1);
    server.loseReplies(1);
    const ReplyString reply = link.bus().askRegisters(1, 0x50, 2).reply;
    ASSERT_EQ(reply.size(), 7);
    EXPECT_EQ(replyWord(reply, 0), 10);
    EXPECT_EQ(server.repliesLost(), 2);
    server.loseReplies(1);
    EXPECT_EQ(replyWord(link.bus().askWriteRegister(1, 0x55, 33).reply, 1), 33);
}

TEST_F(TcpLinkTest, aLateReplyIsNotTakenForTheNextRequest)
{
    RelayLine::Faults late;
    late.lateMs = 150; // past the 80 ms wait
    server.withLine([&](RelayLine &l) { l.setFaults(1, late); });
    EXPECT_EQ(link.bus().askRegisters(1, 0x50, 2).kind, BusReply::Kind::NoAnswer);
    server.withLine([](RelayLine &l) { l.clearFaults(); });
    EXPECT_EQ(replyWord(link.bus().askRegisters(1, 0x60, 2).reply, 0), 80); // not the 0x50 block
    EXPECT_GT(link.bus().strayInput().bytes, 0);
}

TEST_F(TcpLinkTest, aGatewayThatHangsUpIsAPortFailureNeverData)
{
    struct Case
    {
        const char *name;
        std::function<BusReply(RelayBus &)> operation;
    };
    const Case cases[] = {
            {"status", [](RelayBus &bus) { return bus.askStatus(1); }},
            {"read", [](RelayBus &bus) { return bus.askRegisters(1, 0x50, 2); }},
            {"write", [](RelayBus &bus) { return bus.askWriteRegister(1, 0x55, 30); }},
            {"watch", [](RelayBus &bus) { return bus.listen(50); }},
    };
    for (const Case &c : cases) {
        server.closeOnNextRequest();
        // The request that is answered by a hang-up; "watch" sends none, so a read goes first.
        if (std::string_view(c.name) == "watch") {
            EXPECT_EQ(link.bus().askStatus(1).kind, BusReply::Kind::PortFailure) << c.name;
        }
        EXPECT_EQ(c.operation(link.bus()).kind, BusReply::Kind::PortFailure) << c.name;
        // Reopening connects anew, and the line answers again.
        QString error;
        ASSERT_TRUE(link.reopen(&error)) << c.name << ": " << error.toStdString();
        EXPECT_FALSE(link.bus().askStatus(1).linkFailed()) << c.name;
    }
    EXPECT_EQ(server.connectionsAccepted(), 1 + int(std::size(cases)));
}

// A gateway address where nobody listens: a port that was free a moment ago.
QString vacantGateway()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return {};
    return QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
}

TEST(TcpLinkOpen, aGatewayThatCannotBeReachedLeavesTheLinkClosedWithAReason)
{
    const QString vacant = vacantGateway();
    ASSERT_FALSE(vacant.isEmpty());

    struct Case
    {
        QString gateway;
        QString reasonPart;
    };
    const Case cases[] = {
            {vacant, vacant},
            {QStringLiteral("127.0.0.1"), QStringLiteral("УЗЕЛ:ПОРТ")},
            {QString(), QStringLiteral("УЗЕЛ:ПОРТ")},
    };
    for (const Case &c : cases) {
        TcpLink link;
        link.setConnectTimeoutMs(2000);
        PortSettings settings;
        settings.transport = PortSettings::Transport::Tcp;
        settings.gateway = c.gateway;
        link.setSettings(settings);
        QSignalSpy opened(&link, &PortLink::afterOpen);
        QString error;
        EXPECT_FALSE(link.open(&error)) << c.gateway.toStdString();
        EXPECT_FALSE(link.isOpen());
        EXPECT_TRUE(error.startsWith(Texts::portOpenError)) << error.toStdString();
        EXPECT_TRUE(error.contains(c.reasonPart)) << error.toStdString();
        EXPECT_EQ(opened.count(), 0);
        EXPECT_TRUE(link.bus().askStatus(1).portFailed());
    }
}

TEST(TcpLinkTiming, theLineSettingsTimeTheBusAsOnTheSerialPort)
{
    struct Case
    {
        const char *baud;
        const char *parity;
        int bitsPerCharacter;
    };
    const Case cases[] = {{"9600", "None", 10}, {"19200", "Even", 11}, {"1200", "Odd", 11}};
    for (const Case &c : cases) {
        TcpLink link;
        PortSettings settings;
        settings.transport = PortSettings::Transport::Tcp;
        settings.baudRate = QString::fromLatin1(c.baud);
        settings.parity = QString::fromLatin1(c.parity);
        settings.scanWaitMs = 70;
        settings.retries = 4;
        ASSERT_TRUE(link.setSettings(settings));
        EXPECT_EQ(link.bus().timing().baudRate, settings.effectiveBaudRate()) << c.baud;
        EXPECT_EQ(link.bus().timing().bitsPerCharacter, c.bitsPerCharacter) << c.baud;
        EXPECT_EQ(link.bus().timing().scanTimeoutMs, 70) << c.baud;
        EXPECT_EQ(link.bus().timing().retries, 4) << c.baud;
    }
}

// The program's link: the transport in the settings picks the serial port or
// the gateway, and the one bus goes with it.
TEST(LineLink, theTransportPicksTheLineAndTheBusFollows)
{
    RelayLine line;
    line.addRelay(1, 4);
    TcpLineServer server(line);
    ASSERT_NE(server.port(), 0);

    LineLink link;
    RelayBus &bus = link.bus();
    QSignalSpy opened(&link, &PortLink::afterOpen);
    QSignalSpy closing(&link, &PortLink::beforeClose);
    EXPECT_EQ(bus.port(), &link.serialLink().port());

    PortSettings tcp;
    tcp.transport = PortSettings::Transport::Tcp;
    tcp.gateway = server.gateway();
    tcp.baudRate = QStringLiteral("19200");
    ASSERT_TRUE(link.setSettings(tcp));
    EXPECT_EQ(&link.activeLink(), &link.tcpLink());
    EXPECT_EQ(bus.port(), &link.tcpLink().socket());
    EXPECT_EQ(bus.timing().baudRate, 19200);
    QString error;
    ASSERT_TRUE(link.open(&error)) << error.toStdString();
    EXPECT_EQ(opened.count(), 1);
    bus.setReplyTimeoutMs(80);
    EXPECT_EQ(replyWord(bus.askRegisters(1, 0x50, 2).reply, 0), 10);
    EXPECT_EQ(link.settings(), tcp);

    // Back to a serial port that is not there: the gateway is let go, the
    // link stays closed with a reason, and it says which line it meant.
    PortSettings serial = tcp;
    serial.transport = PortSettings::Transport::Serial;
    serial.portName = QStringLiteral("ttyNoSuchPort42");
    EXPECT_FALSE(link.setSettings(serial, &error));
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(link.tcpLink().isOpen());
    EXPECT_EQ(closing.count(), 1);
    EXPECT_TRUE(error.contains(QStringLiteral("ttyNoSuchPort42"))) << error.toStdString();
    EXPECT_EQ(bus.port(), &link.serialLink().port());
    EXPECT_EQ(link.settings().transport, PortSettings::Transport::Serial);
    EXPECT_TRUE(bus.askStatus(1).portFailed());

    // And to the gateway again, closed: it opens when asked.
    ASSERT_TRUE(link.setSettings(tcp));
    EXPECT_FALSE(link.isOpen());
    ASSERT_TRUE(link.open(&error)) << error.toStdString();
    EXPECT_EQ(opened.count(), 2);
    EXPECT_FALSE(bus.askStatus(1).linkFailed());
}

// Settings given to the open link, one after the other: the line settings
// alone keep the connection; another gateway closes it and connects there
// (its relay answers, the first one's does not); an unreachable gateway
// leaves the link closed with the reason.
TEST(LineLink, aGatewayChangedOnAnOpenLinkIsConnectedAnew)
{
    RelayLine firstLine;
    firstLine.addRelay(1, 4);
    RelayLine secondLine;
    secondLine.addRelay(17, 4);
    TcpLineServer first(firstLine);
    TcpLineServer second(secondLine);
    const QString vacant = vacantGateway();
    ASSERT_TRUE(first.port() != 0 && second.port() != 0 && !vacant.isEmpty());

    LineLink link;
    PortSettings settings;
    settings.transport = PortSettings::Transport::Tcp;
    settings.gateway = first.gateway();
    ASSERT_TRUE(link.setSettings(settings));
    QString error;
    ASSERT_TRUE(link.open(&error)) << error.toStdString();
    QSignalSpy opened(&link, &PortLink::afterOpen);
    QSignalSpy closing(&link, &PortLink::beforeClose);

    const struct
    {
        const char *what;
        QString gateway;
        QString baudRate;
        bool open; // after the change
        quint8 answering; // the relay heard, 0 for none
        int firstConnections;
        int secondConnections;
        int reopened; // afterOpen and beforeClose so far
    } steps[] = {
            {"line settings alone", first.gateway(), "19200", true, 1, 1, 0, 0},
            {"another gateway", second.gateway(), "19200", true, 17, 1, 1, 1},
            {"an unreachable gateway", vacant, "19200", false, 0, 1, 1, 1},
    };
    for (const auto &step : steps) {
        settings.gateway = step.gateway;
        settings.baudRate = step.baudRate;
        error.clear();
        EXPECT_EQ(link.setSettings(settings, &error), step.open) << step.what;
        EXPECT_EQ(link.isOpen(), step.open) << step.what;
        EXPECT_EQ(link.settings(), settings) << step.what;
        EXPECT_EQ(link.bus().timing().baudRate, 19200) << step.what;
        link.bus().setReplyTimeoutMs(80);
        if (step.open) {
            EXPECT_FALSE(link.bus().askStatus(step.answering).linkFailed()) << step.what;
            EXPECT_EQ(link.bus().askStatus(step.answering == 1 ? 17 : 1).kind,
                      BusReply::Kind::NoAnswer)
                    << step.what;
        } else {
            EXPECT_TRUE(error.startsWith(Texts::portOpenError) && error.contains(vacant))
                    << error.toStdString();
            EXPECT_TRUE(link.bus().askStatus(1).portFailed()) << step.what;
        }
        EXPECT_EQ(first.connectionsAccepted(), step.firstConnections) << step.what;
        EXPECT_EQ(second.connectionsAccepted(), step.secondConnections) << step.what;
        EXPECT_EQ(opened.count(), step.reopened) << step.what;
        EXPECT_EQ(closing.count(), step.reopened + (step.open ? 0 : 1)) << step.what;
    }
}

} // namespace
