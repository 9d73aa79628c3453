// libmodbus as the master, reading from and writing to mivsim over its
// pseudo-terminal: proves the simulator's framing against an independent peer.
#include "sim/RelayLine.h"
#include "support/SimProcess.h"

#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <cerrno>
#include <memory>

using namespace miv::sim;

namespace {

struct ContextDeleter
{
    void operator()(modbus_t *context) const
    {
        modbus_close(context);
        modbus_free(context);
    }
};
using Context = std::unique_ptr<modbus_t, ContextDeleter>;

class LibmodbusClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.isRunning()) << sim.errorText().toStdString();
        context.reset(modbus_new_rtu(sim.portPath().toLocal8Bit().constData(), 9600, 'N', 8, 1));
        ASSERT_TRUE(context);
        ASSERT_EQ(modbus_connect(context.get()), 0) << modbus_strerror(errno);
        modbus_set_response_timeout(context.get(), 1, 0);
        ASSERT_EQ(modbus_set_slave(context.get(), 1), 0);
        // The same relays as the simulator's, for the values they start with.
        expected.addRelay(1, 4);
        expected.addRelay(6, 6);
    }

    SimProcess sim{{QStringLiteral("--relays"), QStringLiteral("1:4,6:6")}};
    Context context;
    RelayLine expected;
};

TEST_F(LibmodbusClientTest, readsTheConfigurationBlockTheModelHolds)
{
    uint16_t registers[32] = {};
    ASSERT_EQ(modbus_read_registers(context.get(), 0x50, 32, registers), 32)
            << modbus_strerror(errno);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(registers[i], expected.relay(1)->registerValue(0x50 + i))
                << "register " << 0x50 + i;
}

TEST_F(LibmodbusClientTest, readsIdentificationOfEachRelay)
{
    for (int address : {1, 6}) {
        ASSERT_EQ(modbus_set_slave(context.get(), address), 0);
        uint16_t registers[7] = {};
        ASSERT_EQ(modbus_read_registers(context.get(), 0, 7, registers), 7)
                << modbus_strerror(errno);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(registers[i], expected.relay(quint8(address))->registerValue(i))
                    << address << ":" << i;
        // Character 6 of the name is the type digit.
        EXPECT_EQ(registers[2] & 0xFF, '0' + expected.relay(quint8(address))->typeCode());
    }
}

TEST_F(LibmodbusClientTest, writeInsideLimitsIsStoredOutsideRefusedWithException3)
{
    ASSERT_EQ(modbus_write_register(context.get(), 0x55, 45), 1) << modbus_strerror(errno);
    uint16_t value = 0;
    ASSERT_EQ(modbus_read_registers(context.get(), 0x55, 1, &value), 1);
    EXPECT_EQ(value, 45);

    errno = 0;
    EXPECT_EQ(modbus_write_register(context.get(), 0x55, 51), -1); // limit 10..50
    EXPECT_EQ(errno, EMBXILVAL);
    ASSERT_EQ(modbus_read_registers(context.get(), 0x55, 1, &value), 1);
    EXPECT_EQ(value, 45); // the refused value was not stored
}

TEST_F(LibmodbusClientTest, coilSwitchesTheOutputBit)
{
    uint16_t outputs = 0xFFFF;
    ASSERT_EQ(modbus_read_registers(context.get(), 40, 1, &outputs), 1);
    EXPECT_EQ(outputs & 1, 0);
    ASSERT_EQ(modbus_write_bit(context.get(), 768, 1), 1) << modbus_strerror(errno);
    ASSERT_EQ(modbus_read_registers(context.get(), 40, 1, &outputs), 1);
    EXPECT_EQ(outputs & 1, 1);
    ASSERT_EQ(modbus_write_bit(context.get(), 768, 0), 1) << modbus_strerror(errno);
    ASSERT_EQ(modbus_read_registers(context.get(), 40, 1, &outputs), 1);
    EXPECT_EQ(outputs & 1, 0);
}

TEST_F(LibmodbusClientTest, statusQueryAnswersWithTheOutputBits)
{
    ASSERT_EQ(modbus_write_bit(context.get(), 769, 1), 1) << modbus_strerror(errno); // "Авария"
    const uint8_t request[] = {1, 0x07};
    ASSERT_GT(modbus_send_raw_request(context.get(), request, sizeof request), 0)
            << modbus_strerror(errno);
    uint8_t reply[MODBUS_RTU_MAX_ADU_LENGTH] = {};
    const int length = modbus_receive_confirmation(context.get(), reply);
    ASSERT_EQ(length, 5) << modbus_strerror(errno); // address, function, status, CRC
    EXPECT_EQ(reply[0], 1);
    EXPECT_EQ(reply[1], 0x07);
    EXPECT_EQ(reply[2], 0x02);
}

TEST_F(LibmodbusClientTest, readOutsideTheMapIsRefusedWithException2)
{
    uint16_t registers[16] = {};
    errno = 0;
    EXPECT_EQ(modbus_read_registers(context.get(), 0x88, 16, registers), -1);
    EXPECT_EQ(errno, EMBXILADD);
}

} // namespace
