// The line of simulated relays: framing of the byte stream and the faults on demand.
#include "link/ModbusFrame.h"
#include "sim/RelayLine.h"

#include <gtest/gtest.h>

namespace modbus = miv::modbus;
using namespace miv::sim;

namespace {

// Relay 1's reply to a read of its factory number.
QByteArray frameOf(quint16 factoryNumber)
{
    return modbus::withCrc(QByteArray::fromHex("010302") + QByteArray(1, char(factoryNumber >> 8))
                           + QByteArray(1, char(factoryNumber)));
}

// The two CRC bytes the line carries when both replies go at once.
QByteArray crcOr(quint16 first, quint16 second)
{
    const QByteArray a = frameOf(first).right(2);
    const QByteArray b = frameOf(second).right(2);
    return QByteArray(1, char(a[0] | b[0])) + QByteArray(1, char(a[1] | b[1]));
}

// `later` starting `characters` into `earlier`, ORed where they overlap.
QByteArray shiftedOr(QByteArray earlier, const QByteArray &later, int characters)
{
    for (qsizetype i = 0; i < later.size(); ++i) {
        if (characters + i < earlier.size())
            earlier[characters + i] = char(earlier[characters + i] | later[i]);
        else
            earlier.append(later[i]);
    }
    return earlier;
}

TEST(RelayLine, takeRequestsSplitsTheStreamAndSkipsNoise)
{
    RelayLine line;
    const QByteArray read = modbus::readHoldingRegisters(1, 0x50, 32);
    const QByteArray status = modbus::readExceptionStatus(6);
    const QByteArray write = modbus::writeMultipleRegisters(1, 0x76, {0x0800, 0x0900});
    QByteArray stream =
            QByteArray::fromHex("FF00") + read + status + QByteArray::fromHex("0103") + write;
    stream.append(modbus::writeSingleRegister(1, 0x55, 20).left(5)); // still on its way

    const QList<QByteArray> requests = line.takeRequests(stream);
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0], read);
    EXPECT_EQ(requests[1], status);
    EXPECT_EQ(requests[2], write);
    EXPECT_EQ(stream, modbus::writeSingleRegister(1, 0x55, 20).left(5))
            << "the partial request waits";
}

TEST(RelayLine, eachFaultShapesTheReply)
{
    const QByteArray request = modbus::readHoldingRegisters(1, 0x50, 2);
    const QByteArray good = modbus::withCrc(QByteArray::fromHex("010304000A00FA"));

    struct Case
    {
        const char *name;
        RelayLine::Faults faults;
        std::optional<QByteArray> reply; // nullopt: no reply at all
        int delayMs;
        QString fault;
    };
    RelayLine::Faults silent;
    silent.silent = true;
    RelayLine::Faults badCrc;
    badCrc.badCrc = true;
    RelayLine::Faults late;
    late.lateMs = 250;
    RelayLine::Faults garbage;
    garbage.garbage = QByteArray::fromHex("00FF");
    RelayLine::Faults wrongAddress;
    wrongAddress.wrongAddress = true;
    RelayLine::Faults truncate;
    truncate.truncate = true;
    QByteArray corrupted = good;
    corrupted[corrupted.size() - 1] = char(corrupted[corrupted.size() - 1] ^ 0x5A);
    const Case cases[] = {
            {"none", {}, good, 0, {}},
            {"silent", silent, std::nullopt, 0, QStringLiteral("silent")},
            {"bad crc", badCrc, corrupted, 0, QStringLiteral("bad-crc")},
            {"late", late, good, 250, QStringLiteral("late-ms:250")},
            {"garbage", garbage, QByteArray::fromHex("00FF") + good, 0,
             QStringLiteral("garbage:00FF")},
            {"wrong address", wrongAddress, modbus::withCrc(QByteArray::fromHex("020304000A00FA")),
             0, QStringLiteral("wrong-address")},
            {"truncate", truncate, modbus::withCrc(QByteArray::fromHex("010304000A00")), 0,
             QStringLiteral("truncate")},
    };
    for (const Case &c : cases) {
        RelayLine line;
        line.addRelay(1, 4);
        line.setFaults(1, c.faults);
        const auto reply = line.answer(request);
        ASSERT_EQ(reply.has_value(), c.reply.has_value()) << c.name;
        if (reply) {
            EXPECT_EQ(reply->bytes.toHex(), c.reply->toHex()) << c.name;
            EXPECT_EQ(reply->delayMs, c.delayMs) << c.name;
        }
        EXPECT_EQ(line.lastFault(), c.fault) << c.name;
    }
}

TEST(RelayLine, faultsForAddressZeroHitEveryRelayUnlessOneHasItsOwn)
{
    RelayLine line;
    line.addRelay(1, 4);
    line.addRelay(6, 6);
    RelayLine::Faults silent;
    silent.silent = true;
    line.setFaults(0, silent);
    line.setFaults(6, {});
    EXPECT_FALSE(line.answer(modbus::readExceptionStatus(1)));
    EXPECT_TRUE(line.answer(modbus::readExceptionStatus(6)));
    line.clearFaults();
    EXPECT_TRUE(line.answer(modbus::readExceptionStatus(1)));
}

TEST(RelayLine, aRelayMadeBeforehandIsCopiedOntoTheLineAtItsAddress)
{
    RelayModel made(6, 6);
    made.setRegister(6, 4321);
    RelayLine line;
    line.addRelay(made).setRegister(6, 1234);
    EXPECT_EQ(line.addresses(), QList<quint8>{6});
    EXPECT_EQ(line.relay(6)->registerValue(6), 1234);
    EXPECT_EQ(made.registerValue(6), 4321); // the line's relay is a copy
}

TEST(RelayLine, answerRequestsFallsSilentAfterItsShare)
{
    RelayLine line;
    line.addRelay(1, 4);
    RelayLine::Faults share;
    share.answerRequests = 2;
    line.setFaults(1, share);
    EXPECT_TRUE(line.answer(modbus::readExceptionStatus(1)));
    EXPECT_TRUE(line.answer(modbus::readExceptionStatus(1)));
    EXPECT_FALSE(line.answer(modbus::readExceptionStatus(1)));
    EXPECT_EQ(line.lastFault(), QStringLiteral("answer-requests"));
    EXPECT_FALSE(line.answer(modbus::readExceptionStatus(1)));
}

TEST(RelayLine, nobodyAnswersABadRequestAnAbsentRelayOrABroadcast)
{
    RelayLine line;
    line.addRelay(1, 4);
    line.addRelay(6, 6);
    QByteArray corrupted = modbus::readExceptionStatus(1);
    corrupted[2] = char(corrupted[2] ^ 1);
    EXPECT_FALSE(line.answer(corrupted));
    EXPECT_FALSE(line.answer(modbus::readExceptionStatus(2)));
    // A broadcast write is carried out by every relay, silently.
    EXPECT_FALSE(line.answer(modbus::writeSingleRegister(0, 0x55, 33)));
    EXPECT_EQ(line.relay(1)->registerValue(0x55), 33);
    EXPECT_EQ(line.relay(6)->registerValue(0x55), 33);
}

// Two relays at one address: replies that overlap on the wire are the
// bitwise OR of the two, replies clear of each other come one after the other.
TEST(RelayLine, twoRelaysAtOneAddressCollideOrFollowEachOther)
{
    const QByteArray factoryNumber = modbus::readHoldingRegisters(1, 6, 1);
    const QByteArray echo = modbus::writeSingleRegister(1, 0x55, 40);
    struct Case
    {
        const char *name;
        int laterMs;
        double characterUs; // 0: not paced
        QByteArray request;
        QByteArray heard; // hex
        QByteArray second; // hex; empty: none came apart
        int secondDelayMs;
    };
    const Case cases[] = {
            // 1001 (03E9) and 2001 (07D1) sent together: 07F9 and a broken CRC.
            {"together: garbled",
             0,
             0,
             factoryNumber,
             (QByteArray::fromHex("01030207F9") + crcOr(1001, 2001)).toHex(),
             {},
             0},
            {"together, the same echo: whole", 0, 0, echo, echo.toHex(), {}, 0},
            {"5 ms apart, not paced: one after the other", 5, 0, factoryNumber,
             frameOf(1001).toHex(), frameOf(2001).toHex(), 5},
            // 3 ms at 9600 bit/s are two characters: the second frame starts
            // on the first one's third byte.
            {"3 ms apart at 9600 bit/s: overlapping",
             3,
             1e7 / 9600,
             factoryNumber,
             shiftedOr(frameOf(1001), frameOf(2001), 2).toHex(),
             {},
             0},
            {"10 ms apart at 9600 bit/s: clear", 10, 1e7 / 9600, factoryNumber,
             frameOf(1001).toHex(), frameOf(2001).toHex(), 10},
    };
    for (const Case &c : cases) {
        RelayLine line;
        line.addRelay(1, 4);
        line.addDuplicate(1, c.laterMs);
        line.setCharacterUs(c.characterUs);
        const auto reply = line.answer(c.request);
        ASSERT_TRUE(reply) << c.name;
        EXPECT_EQ(reply->bytes.toHex(), c.heard) << c.name;
        EXPECT_EQ(reply->secondBytes.toHex(), c.second) << c.name;
        EXPECT_EQ(reply->secondDelayMs, c.secondDelayMs) << c.name;
        EXPECT_EQ(line.lastFault(), QStringLiteral("duplicate")) << c.name;
        // Both carry out a write.
        EXPECT_EQ(line.relay(1)->registerValue(0x55), line.duplicate(1)->registerValue(0x55))
                << c.name;
    }
}

TEST(RelayLine, faultRateHitsAboutItsShareWithTheKindsAsked)
{
    struct Case
    {
        double percent;
        unsigned kinds;
        int low, high; // faults in 1000 requests
    };
    const Case cases[] = {
            {10, RelayLine::BadCrc | RelayLine::Late, 70, 130},
            {2.5, RelayLine::AllFaultKinds, 10, 45},
            {0, RelayLine::AllFaultKinds, 0, 0},
    };
    const QByteArray request = modbus::readHoldingRegisters(1, 0x50, 2);
    for (const Case &c : cases) {
        QStringList log;
        for (int run = 0; run < 2; ++run) {
            RelayLine line;
            line.setSeed(42);
            line.addRelay(1, 4);
            line.setFaultRate(c.percent, c.kinds, 1500);
            QStringList faults;
            for (int i = 0; i < 1000; ++i) {
                const auto reply = line.answer(request);
                const QString fault = line.lastFault();
                if (fault.isEmpty()) {
                    EXPECT_TRUE(reply && modbus::hasValidCrc(reply->bytes) && reply->delayMs == 0);
                    continue;
                }
                faults << fault;
                if (c.kinds == (RelayLine::BadCrc | RelayLine::Late)) {
                    ASSERT_TRUE(reply) << "neither kind silences the relay";
                    EXPECT_TRUE(fault == QStringLiteral("fault-rate:bad-crc")
                                        ? !modbus::hasValidCrc(reply->bytes)
                                        : fault == QStringLiteral("fault-rate:late-ms:1500")
                                                && reply->delayMs == 1500)
                            << fault.toStdString();
                }
            }
            EXPECT_GE(faults.size(), c.low) << c.percent;
            EXPECT_LE(faults.size(), c.high) << c.percent;
            if (run == 1) {
                EXPECT_EQ(faults, log) << "the same seed, the same faults";
            }
            log = faults;
        }
    }
}

TEST(RelayLine, latencyStaysWithinItsRange)
{
    RelayLine line;
    line.addRelay(1, 4);
    line.setLatencyMs(5, 9);
    bool sawMinimum = false;
    bool sawMaximum = false;
    for (int i = 0; i < 200; ++i) {
        const int delay = line.answer(modbus::readExceptionStatus(1))->delayMs;
        EXPECT_GE(delay, 5);
        EXPECT_LE(delay, 9);
        sawMinimum |= delay == 5;
        sawMaximum |= delay == 9;
    }
    EXPECT_TRUE(sawMinimum && sawMaximum);
}

} // namespace

namespace {

// A strict line: a relay hears the client only at its own interface word's settings.
TEST(RelayLine, aStrictRelayAnswersOnlyAtItsOwnLineSettings)
{
    // 19200 bit/s, even parity, 8 data bits, 2 stop bits
    const quint16 word = quint16(1u << 3 | 1u << 7 | 1u << 11 | 1u << 14);
    const struct
    {
        bool strict;
        RelayLine::LineSettings client;
        bool answers;
    } cases[] = {
            {true, {19200, 'E', 2}, true},
            {true, {19200, 0, 2}, true}, // parity unknown (a pseudo-terminal): not compared
            {true, {0, 0, 0}, true}, // nothing known
            {true, {9600, 'E', 2}, false},
            {true, {38400, 'E', 2}, false},
            {true, {19200, 'N', 2}, false},
            {true, {19200, 'O', 2}, false},
            {true, {19200, 'E', 1}, false},
            {false, {9600, 'N', 1}, true}, // not strict: every request is heard
    };
    for (const auto &c : cases) {
        RelayLine line;
        line.addRelay(3, 4).setRegister(RelayModel::interfaceWordRegister, word);
        line.setStrictLine(c.strict);
        line.setClientLine(c.client);
        EXPECT_EQ(line.answer(modbus::readExceptionStatus(3)).has_value(), c.answers)
                << c.strict << ' ' << c.client.baudRate << ' ' << c.client.parity << ' '
                << c.client.stopBits;
        // A broadcast write is carried out only when heard.
        line.answer(modbus::writeSingleRegister(0, 0x54, 61));
        EXPECT_EQ(line.relay(3)->registerValue(0x54) == 61, c.answers);
    }
    const RelayLine::LineSettings own = RelayLine::relayLine(word);
    EXPECT_EQ(own.baudRate, 19200);
    EXPECT_EQ(own.parity, 'E');
    EXPECT_EQ(own.stopBits, 2);
    EXPECT_EQ(RelayLine::relayLine(quint16(1u << 1)).baudRate, 4800);
}

} // namespace
