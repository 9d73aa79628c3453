#include "link/ModbusFrame.h"

#include <gtest/gtest.h>

namespace modbus = miv::modbus;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

TEST(ModbusFrame, requestsCarryTheStandardCrc)
{
    // Reference frames as any Modbus tool writes them.
    EXPECT_EQ(modbus::readHoldingRegisters(1, 0x0000, 7), hex("01 03 00 00 00 07 04 08"));
    EXPECT_EQ(modbus::writeSingleRegister(1, 0x0051, 475), hex("01 06 00 51 01 DB 99 D0"));
    EXPECT_EQ(modbus::writeSingleCoil(17, 768, 0xFF00), hex("11 05 03 00 FF 00 8E EE"));
    EXPECT_EQ(modbus::readExceptionStatus(6), hex("06 07 43 D2"));
}

TEST(ModbusFrame, findReplyTakesOnlyAWholeValidFrame)
{
    const QByteArray request = modbus::readHoldingRegisters(1, 0x50, 2);
    const QByteArray good = modbus::withCrc(hex("01 03 04 00 0A 00 FA"));
    QByteArray badCrc = good;
    badCrc[badCrc.size() - 1] = char(badCrc[badCrc.size() - 1] ^ 1);
    const QByteArray otherAddress = modbus::withCrc(hex("02 03 04 00 0A 00 FA"));
    const QByteArray wrongCount = modbus::withCrc(hex("01 03 02 00 0A"));
    // The length the request expects and a valid CRC, but the byte count says 6.
    const QByteArray fullLengthWrongCount = modbus::withCrc(hex("01 03 06 00 0A 00 FA"));
    const QByteArray otherFunction = modbus::withCrc(hex("01 04 04 00 0A 00 FA"));
    const QByteArray exception = modbus::withCrc(hex("01 83 02"));

    const struct
    {
        const char *name;
        QByteArray received;
        modbus::ReplyMatch::Kind kind;
        int offset;
    } cases[] = {
            {"good", good, modbus::ReplyMatch::Normal, 0},
            {"short", good.left(good.size() - 1), modbus::ReplyMatch::Incomplete, 0},
            {"bad crc", badCrc, modbus::ReplyMatch::Incomplete, 0},
            {"other address", otherAddress, modbus::ReplyMatch::Incomplete, 0},
            {"wrong byte count", wrongCount, modbus::ReplyMatch::Incomplete, 0},
            {"full length, wrong byte count", fullLengthWrongCount, modbus::ReplyMatch::Incomplete,
             0},
            {"other function", otherFunction, modbus::ReplyMatch::Incomplete, 0},
            {"exception", exception, modbus::ReplyMatch::Exception, 0},
            {"noise before", hex("00 FF 01 7E") + good, modbus::ReplyMatch::Normal, 4},
            {"bad frame then nothing", badCrc + hex("00"), modbus::ReplyMatch::Incomplete, 0},
            {"empty", QByteArray(), modbus::ReplyMatch::Incomplete, 0},
    };
    for (const auto &c : cases) {
        const modbus::ReplyMatch match = modbus::findReply(request, c.received);
        EXPECT_EQ(match.kind, c.kind) << c.name;
        if (match.kind != modbus::ReplyMatch::Incomplete) {
            EXPECT_EQ(match.offset, c.offset) << c.name;
        }
    }
    EXPECT_EQ(modbus::findReply(request, exception).exceptionCode, 2);
}

TEST(ModbusFrame, writeReplyMustEchoTheRequest)
{
    const QByteArray request = modbus::writeSingleRegister(1, 0x55, 30);
    EXPECT_EQ(modbus::findReply(request, request).kind, modbus::ReplyMatch::Normal);
    const QByteArray otherValue = modbus::writeSingleRegister(1, 0x55, 31);
    EXPECT_EQ(modbus::findReply(request, otherValue).kind, modbus::ReplyMatch::Incomplete);
}

TEST(ModbusFrame, requestLengthsAreKnownFromTheirHead)
{
    EXPECT_EQ(modbus::requestLength(hex("01 03")), 8);
    EXPECT_EQ(modbus::requestLength(hex("01 07")), 4);
    EXPECT_EQ(modbus::requestLength(hex("01 10 00 50 00 02")), std::nullopt);
    EXPECT_EQ(modbus::requestLength(hex("01 10 00 50 00 02 04")), 13);
    bool unknown = false;
    EXPECT_EQ(modbus::requestLength(hex("01 2B"), &unknown), std::nullopt);
    EXPECT_TRUE(unknown);
}

} // namespace
