// Our master (RelayBus over a QSerialPort) against a libmodbus RTU server on
// the other end of a pair of joined pseudo-terminals: proves our framing
// against an independent peer, including its exception replies.
#include "link/RelayBus.h"
#include "support/PtyBridge.h"
#include "support/PtySerialPort.h"

#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <modbus/modbus.h>
#include <thread>

using namespace miv;

namespace {

constexpr int serverAddress = 1;
constexpr int firstCoil = 768;

// A libmodbus server answering as relay 1 from its own register map:
// holding registers 0..0x8F, coils 768..771.
class LibmodbusServer
{
public:
    explicit LibmodbusServer(const QString &path)
    {
        m_context = modbus_new_rtu(path.toLocal8Bit().constData(), 9600, 'N', 8, 1);
        if (!m_context)
            return;
        modbus_set_slave(m_context, serverAddress);
        if (modbus_connect(m_context) != 0)
            return;
        modbus_set_indication_timeout(m_context, 0, 50000); // lets the thread see the stop flag
        m_mapping = modbus_mapping_new_start_address(firstCoil, 4, 0, 0, 0, 0x90, 0, 0);
        if (!m_mapping)
            return;
        m_thread = std::thread([this] { serve(); });
    }

    ~LibmodbusServer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_mapping)
            modbus_mapping_free(m_mapping);
        if (m_context) {
            modbus_close(m_context);
            modbus_free(m_context);
        }
    }

    bool isServing() const { return m_thread.joinable(); }
    modbus_mapping_t *mapping() { return m_mapping; }

private:
    void serve()
    {
        uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!m_stop) {
            const int length = modbus_receive(m_context, request);
            if (length > 0)
                modbus_reply(m_context, request, length, m_mapping);
        }
    }

    modbus_t *m_context = nullptr;
    modbus_mapping_t *m_mapping = nullptr;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class LibmodbusServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bridge.isOpen()) << bridge.errorText().toStdString();
        server = std::make_unique<LibmodbusServer>(bridge.firstPath());
        ASSERT_TRUE(server->isServing());
        QString error;
        port = openPtySerialPort(bridge.secondPath(), 9600, &error);
        ASSERT_TRUE(port) << error.toStdString();
        bus.setPort(port.get());
        bus.setLineSettings(9600, 10);
        bus.setReplyTimeoutMs(500);
        // libmodbus as a server sleeps through its response time-out after a
        // frame for another address and then empties its input: a repetition
        // sent meanwhile is lost by design, so each exchange here is single.
        bus.setRetries(0);
        for (int i = 0; i < 0x90; ++i)
            server->mapping()->tab_registers[i] = uint16_t(0x1000 + i);
    }

    PtyBridge bridge;
    std::unique_ptr<LibmodbusServer> server;
    std::unique_ptr<QSerialPort> port;
    RelayBus bus;
};

TEST_F(LibmodbusServerTest, readReturnsTheServersRegisters)
{
    const BusReply answer = bus.askRegisters(serverAddress, 0x50, 32);
    EXPECT_TRUE(answer.answered());
    const ReplyString &reply = answer.reply;
    ASSERT_EQ(reply.size(), 3 + 64);
    EXPECT_EQ(quint8(reply[0]), serverAddress);
    EXPECT_EQ(quint8(reply[1]), 3);
    EXPECT_EQ(quint8(reply[2]), 64);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(replyWord(reply, i), 0x1050 + i) << "register " << i;
}

TEST_F(LibmodbusServerTest, writeWordStoresTheValueAndEchoes)
{
    const BusReply reply = bus.askWriteRegister(serverAddress, 0x55, 1234);
    EXPECT_TRUE(reply.answered());
    EXPECT_EQ(replyWord(reply.reply, 0), 0x55);
    EXPECT_EQ(replyWord(reply.reply, 1), 1234);
    EXPECT_EQ(server->mapping()->tab_registers[0x55], 1234);
}

TEST_F(LibmodbusServerTest, coilCommandSwitchesTheServersCoil)
{
    const BusReply on = bus.askWriteCoil(serverAddress, 769, 0xFF00);
    EXPECT_TRUE(on.answered());
    EXPECT_EQ(server->mapping()->tab_bits[1], 1);
    EXPECT_EQ(server->mapping()->tab_bits[0], 0);
    bus.askWriteCoil(serverAddress, 769, 0);
    EXPECT_EQ(server->mapping()->tab_bits[1], 0);
}

TEST_F(LibmodbusServerTest, exceptionRepliesAreRefusalsWithTheirCode)
{
    const BusReply read = bus.askRegisters(serverAddress, 0x100, 2);
    EXPECT_EQ(read.reply.size(), 3);
    EXPECT_EQ(quint8(read.reply[1]), 0x83);
    EXPECT_EQ(read.exceptionCode, 2);

    const BusReply write = bus.askWriteRegister(serverAddress, 0x200, 7);
    EXPECT_TRUE(write.refused());
    EXPECT_EQ(write.exceptionCode, 2);

    // The line is in step after the refusals.
    EXPECT_EQ(replyWord(bus.askRegisters(serverAddress, 0x10, 1).reply, 0), 0x1010);
}

TEST_F(LibmodbusServerTest, anotherAddressGetsNoAnswer)
{
    bus.setReplyTimeoutMs(100);
    EXPECT_EQ(bus.askRegisters(9, 0x50, 2).kind, BusReply::Kind::NoAnswer);
    EXPECT_TRUE(bus.askWriteRegister(9, 0x55, 20).linkFailed());
    EXPECT_EQ(replyWord(bus.askRegisters(serverAddress, 0x50, 1).reply, 0), 0x1050);
}

} // namespace
