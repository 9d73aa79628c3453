// The simulated relay's register map, driven with request PDUs as the bus
// delivers them (function code and data; no address, no CRC).
#include "link/ModbusFrame.h"
#include "sim/RelayModel.h"

#include <QStringDecoder>
#include <gtest/gtest.h>

#include <set>

namespace modbus = miv::modbus;
using namespace miv::sim;

namespace {

QByteArray pdu(quint8 function, quint16 a, quint16 b)
{
    QByteArray bytes;
    bytes.append(char(function));
    bytes.append(char(a >> 8));
    bytes.append(char(a & 0xFF));
    bytes.append(char(b >> 8));
    bytes.append(char(b & 0xFF));
    return bytes;
}

QByteArray read(RelayModel &relay, quint16 first, quint16 count)
{
    return relay.handle(pdu(modbus::ReadHoldingRegisters, first, count));
}

QByteArray write(RelayModel &relay, quint16 reg, quint16 value)
{
    return relay.handle(pdu(modbus::WriteSingleRegister, reg, value));
}

QByteArray coil(RelayModel &relay, quint16 number, quint16 value)
{
    return relay.handle(pdu(modbus::WriteSingleCoil, number, value));
}

QByteArray exception(quint8 function, quint8 code)
{
    QByteArray bytes;
    bytes.append(char(function | 0x80));
    bytes.append(char(code));
    return bytes;
}

quint16 wordOf(const QByteArray &readReply, int k)
{
    return quint16(quint8(readReply[2 + 2 * k]) << 8 | quint8(readReply[3 + 2 * k]));
}

TEST(RelayModel, identificationNamesTheTypeInWindows1251)
{
    struct Case
    {
        int type;
        QString name;
    };
    const Case cases[] = {{4, QStringLiteral("МИВ-04    ")}, {6, QStringLiteral("МИВ-06    ")}};
    for (const Case &c : cases) {
        RelayModel relay(1, c.type);
        const QByteArray reply = read(relay, 0, 7);
        ASSERT_EQ(reply.size(), 2 + 14) << c.type;
        EXPECT_EQ(quint8(reply[1]), 14);
        const QByteArray nameBytes = reply.mid(2, 10);
        EXPECT_EQ(QStringDecoder("windows-1251").decode(nameBytes), c.name) << c.type;
        EXPECT_EQ(quint8(nameBytes[0]), 0xCC); // "М" in Windows-1251, not UTF-8
        EXPECT_EQ(nameBytes[5], char('0' + c.type)) << "character 6 is the type digit";
        EXPECT_EQ(wordOf(reply, 2) & 0xFF, '0' + c.type);
    }
}

TEST(RelayModel, passwordIsABCDAndTheAddressItsOwn)
{
    RelayModel relay(17, 4);
    const QByteArray reply = read(relay, 64, 20);
    ASSERT_EQ(reply.size(), 2 + 40);
    EXPECT_EQ(wordOf(reply, 0), 17);
    EXPECT_EQ(reply.mid(6, 4), QByteArray("ABCD"));
}

// The relay's limits for the numeric settings, raw values.
struct Limits
{
    quint16 reg;
    quint16 min;
    quint16 max;
};
const Limits numericRows[] = {
        {0x50, 1, 200},  {0x53, 11, 60},   {0x54, 20, 80},   {0x55, 10, 50},   {0x56, 5, 10},
        {0x57, 2, 10},   {0x58, 220, 220}, {0x59, 240, 280}, {0x5A, 150, 210}, {0x5B, 5, 20},
        {0x60, 40, 100}, {0x61, 0, 100},   {0x62, 1, 30},    {0x63, 1, 300},   {0x64, 1, 120},
        {0x65, 1, 250},  {0x66, 5, 100},   {0x67, 1, 120},   {0x68, 1, 250},   {0x69, 1, 30},
        {0x6A, 1, 30},
};

void expectAccepted(RelayModel &relay, quint16 reg, quint16 value)
{
    EXPECT_EQ(write(relay, reg, value), pdu(modbus::WriteSingleRegister, reg, value))
            << std::hex << "register 0x" << reg << std::dec << " value " << value;
    EXPECT_EQ(relay.registerValue(reg), value) << std::hex << "register 0x" << reg;
}

void expectRefused(RelayModel &relay, quint16 reg, quint16 value)
{
    const quint16 before = relay.registerValue(reg);
    EXPECT_EQ(write(relay, reg, value),
              exception(modbus::WriteSingleRegister, modbus::IllegalDataValue))
            << std::hex << "register 0x" << reg << std::dec << " value " << value;
    EXPECT_EQ(relay.registerValue(reg), before) << "a refused value must not be stored";
}

TEST(RelayModel, numericSettingsTakeValuesInsideTheirLimitsOnly)
{
    for (const Limits &row : numericRows) {
        RelayModel relay(1, 4);
        expectRefused(relay, row.reg, quint16(row.max + 1));
        expectRefused(relay, row.reg, quint16(row.min - 1)); // 0 - 1 is 65535
        expectAccepted(relay, row.reg, row.max);
        expectAccepted(relay, row.reg, row.min);
    }
}

TEST(RelayModel, nominalCurrentLimitsFollowTheRatio)
{
    struct Case
    {
        quint16 ratio;
        quint16 min;
        quint16 max;
    };
    // K·f to 5·K·f, f = 100, 10 or 1 by K; an upper limit of 1000 is 999.
    const Case cases[] = {{1, 100, 500},  {2, 200, 999}, {3, 30, 150},   {10, 100, 500},
                          {20, 200, 999}, {21, 21, 105}, {200, 200, 999}};
    for (const Case &c : cases) {
        for (quint16 reg : {quint16(0x51), quint16(0x52)}) {
            RelayModel relay(1, 4);
            expectAccepted(relay, 0x50, c.ratio);
            expectRefused(relay, reg, quint16(c.min - 1));
            expectRefused(relay, reg, quint16(c.max + 1));
            expectAccepted(relay, reg, c.min);
            expectAccepted(relay, reg, c.max);
        }
    }
}

TEST(RelayModel, timerRegistersExistOnType6Only)
{
    RelayModel type4(1, 4);
    RelayModel type6(6, 6);
    for (quint16 mark = 0x76; mark <= 0x7A; ++mark) {
        EXPECT_EQ(write(type4, mark, 0x0830),
                  exception(modbus::WriteSingleRegister, modbus::IllegalDataAddress));
        expectAccepted(type6, mark, 0x0830);
        expectRefused(type6, mark, 0x1800); // 24:00
        expectRefused(type6, mark, 0x083C); // 08:60
    }
    EXPECT_EQ(write(type4, 0x82, 0x0100),
              exception(modbus::WriteSingleRegister, modbus::IllegalDataAddress));
    expectAccepted(type6, 0x82, 0x013F);
    expectRefused(type6, 0x82, 0x0040); // bit 6 is no switch

    // Read as the timer tab reads: 11 registers from 0x70, then 0x82.
    const QByteArray marks6 = read(type6, 0x70, 11);
    const QByteArray marks4 = read(type4, 0x70, 11);
    for (int k = 6; k <= 10; ++k) {
        EXPECT_EQ(wordOf(marks6, k), 0x0830);
        EXPECT_EQ(wordOf(marks4, k), 0);
    }
}

TEST(RelayModel, tankAlgorithmSwitchIsKeptOnType6Only)
{
    RelayModel type4(1, 4);
    RelayModel type6(6, 6);
    write(type4, 0x81, 0x07);
    write(type6, 0x81, 0x07);
    EXPECT_EQ(type4.registerValue(0x81), 0x06);
    EXPECT_EQ(type6.registerValue(0x81), 0x07);
}

TEST(RelayModel, journalEntryNIsReadAt0x400PlusN)
{
    RelayModel relay(1, 4);
    relay.setJournalLength(5);
    for (int n : {0, 1, 4}) {
        const QByteArray reply = read(relay, quint16(0x400 + n), 11);
        ASSERT_EQ(reply.size(), 2 + 22) << n;
        EXPECT_EQ(reply.mid(2), relay.journalEntry(n)) << n;
        EXPECT_NE(reply[2], 0) << "slot " << n << " holds an event";
        EXPECT_GE(quint8(reply[4]), 1); // a month
        EXPECT_LE(quint8(reply[4]), 12);
    }
    EXPECT_EQ(read(relay, 0x405, 11).mid(2), QByteArray(22, '\0')) << "slot 5 ends the journal";
    const QByteArray leftOver = relay.journalEntry(6);
    EXPECT_NE(leftOver[0], 0) << "an older entry lies behind the empty slot";
    EXPECT_LT(quint8(leftOver[3]), quint8(relay.journalEntry(0)[3])) << "and it is older";
    EXPECT_EQ(read(relay, 0x400 + 100, 11),
              exception(modbus::ReadHoldingRegisters, modbus::IllegalDataAddress));
    EXPECT_EQ(read(relay, 0x400, 10),
              exception(modbus::ReadHoldingRegisters, modbus::IllegalDataAddress));
}

TEST(RelayModel, journalEntryWithDetailsKeepsItsBytes)
{
    RelayModel relay(1, 4);
    const QByteArray entry = QByteArray::fromHex("21050B0908040000007B007C007D000500DC00DD00DE");
    relay.setJournalEntry(3, entry);
    EXPECT_EQ(read(relay, 0x403, 11).mid(2), entry);
}

TEST(RelayModel, coilsSwitchTheOutputBits)
{
    struct Case
    {
        quint16 coil;
        quint16 bit;
    };
    const Case cases[] = {{768, 0x1}, {769, 0x2}, {770, 0x4}};
    for (const Case &c : cases) {
        RelayModel relay(1, 4);
        relay.setRegister(40, 0);
        EXPECT_EQ(coil(relay, c.coil, 0xFF00), pdu(modbus::WriteSingleCoil, c.coil, 0xFF00));
        EXPECT_EQ(relay.registerValue(40), c.bit) << c.coil;
        EXPECT_EQ(relay.handle(QByteArray(1, char(modbus::ReadExceptionStatus))),
                  QByteArray::fromRawData("\x07", 1) + char(c.bit))
                << "the status query shows the outputs";
        coil(relay, c.coil, 0);
        EXPECT_EQ(relay.registerValue(40), 0) << c.coil;
        EXPECT_EQ(coil(relay, c.coil, 0x1234),
                  exception(modbus::WriteSingleCoil, modbus::IllegalDataValue));
        EXPECT_EQ(relay.registerValue(40), 0);
    }
    RelayModel relay(1, 4);
    EXPECT_EQ(coil(relay, 772, 0xFF00),
              exception(modbus::WriteSingleCoil, modbus::IllegalDataAddress));
}

TEST(RelayModel, acknowledgeClearsTheAlarmsAndRestartsTheMotor)
{
    RelayModel relay(1, 4);
    relay.setStatusBits(0x4210);
    relay.setRegister(40, 0x0006);
    coil(relay, 771, 0xFF00);
    EXPECT_EQ(relay.registerValue(39), 0);
    EXPECT_EQ(relay.registerValue(40), 1);
    EXPECT_TRUE(relay.isMotorRunning());
}

TEST(RelayModel, writingZeroTo0x70ResetsTheMotorHours)
{
    RelayModel relay(1, 4);
    relay.setRegister(0x70, 2);
    relay.setRegister(0x71, 1234);
    relay.setRegister(0x72, 17);
    expectAccepted(relay, 0x70, 0);
    EXPECT_EQ(relay.registerValue(0x71), 0);
    EXPECT_EQ(relay.registerValue(0x72), 0);

    relay.setRegister(0x71, 99);
    expectAccepted(relay, 0x70, 3); // any other value is just the high word
    EXPECT_EQ(relay.registerValue(0x71), 99);
    expectRefused(relay, 0x72, 60); // minutes
    expectRefused(relay, 0x70, 16); // 2^20 hours and more
}

TEST(RelayModel, serviceWritesSetTheMotorHoursInFullAndTheFactoryNumber)
{
    struct Case
    {
        quint16 minutes, high, low;
    };
    // As the service page writes them: minutes, high word, low word.
    for (const Case &c : {Case{59, 1, 4464}, Case{30, 0, 1234}}) {
        RelayModel relay(1, 4);
        expectAccepted(relay, 0x72, c.minutes);
        expectAccepted(relay, 0x70, c.high);
        expectAccepted(relay, 0x71, c.low);
        EXPECT_EQ(relay.registerValue(0x72), c.minutes)
                << "0 after the minutes is a high word, no reset";
    }
    RelayModel relay(1, 4);
    expectAccepted(relay, 6, 4321);
    expectRefused(relay, 6, 0);
    expectRefused(relay, 6, 65535);
}

TEST(RelayModel, clockSetByWritesRunsOnFromThere)
{
    RelayModel relay(1, 4);
    auto clock = [&relay] {
        const QByteArray r = read(relay, 0x73, 3);
        return QDateTime(QDate(2000 + (wordOf(r, 0) >> 8), wordOf(r, 0) & 0xFF, wordOf(r, 1) >> 8),
                         QTime(wordOf(r, 1) & 0xFF, wordOf(r, 2) >> 8, wordOf(r, 2) & 0xFF));
    };
    // 31.01.2027 23:00:00 in one write of three registers, then 14.02.2027 10:00:00
    // one register at a time: the month comes first, while the day is still 31.
    const QByteArray writeAll =
            QByteArray::fromHex("1000730003061B01") + QByteArray::fromHex("1F170000");
    EXPECT_EQ(relay.handle(writeAll), QByteArray::fromHex("1000730003"));
    EXPECT_LE(std::abs(clock().secsTo(QDateTime(QDate(2027, 1, 31), QTime(23, 0)))), 1);
    expectAccepted(relay, 0x73, 27 << 8 | 2);
    write(relay, 0x74, 14 << 8 | 10);
    write(relay, 0x75, 0);
    EXPECT_LE(std::abs(clock().secsTo(QDateTime(QDate(2027, 2, 14), QTime(10, 0)))), 1);
    expectRefused(relay, 0x73, 27 << 8 | 13);
    expectRefused(relay, 0x74, 14 << 8 | 24);
}

TEST(RelayModel, readsOutsideTheMapAreRefused)
{
    RelayModel relay(1, 4);
    EXPECT_EQ(read(relay, 0x88, 16),
              exception(modbus::ReadHoldingRegisters, modbus::IllegalDataAddress));
    EXPECT_EQ(read(relay, 0, 0), exception(modbus::ReadHoldingRegisters, modbus::IllegalDataValue));
    EXPECT_EQ(read(relay, 0, 126),
              exception(modbus::ReadHoldingRegisters, modbus::IllegalDataValue));
    EXPECT_EQ(relay.handle(QByteArray(1, char(0x11))), exception(0x11, modbus::IllegalFunction));
    EXPECT_EQ(write(relay, 0x10, 5),
              exception(modbus::WriteSingleRegister, modbus::IllegalDataAddress))
            << "live values are not written";
}

TEST(RelayModel, motorStartRaisesTheCurrentsAndStopDropsThemToZero)
{
    RelayModel relay(1, 4); // nominal current 25.0 A: 22.5 A at full load
    auto temperature = [](const QByteArray &r) { return wordOf(r, 12) & 0xFF; }; // register 28
    QByteArray live = read(relay, 16, 32);
    EXPECT_EQ(wordOf(live, 5), 0) << "no phase current while stopped";
    EXPECT_EQ(wordOf(live, 29), 0) << "no power while stopped";
    const int cold = temperature(live);

    coil(relay, 768, 0xFF00);
    std::set<quint16> currents;
    quint16 previous = 0;
    for (int i = 0; i < 60; ++i) {
        live = read(relay, 16, 32);
        const quint16 current = wordOf(live, 5); // register 21
        if (i < 3) {
            EXPECT_GT(current, previous) << "the current rises after the start";
        }
        previous = current;
        if (i >= 8) {
            EXPECT_NEAR(current, 225, 6) << i;
            currents.insert(current);
        }
        double apparent = 0;
        for (int phase = 0; phase < 3; ++phase)
            apparent += wordOf(live, 8 + phase) * wordOf(live, 5 + phase) / 1000.0;
        EXPECT_NEAR(wordOf(live, 29), apparent, 1) << "S from U and I";
        EXPECT_NEAR(wordOf(live, 27), apparent * (wordOf(live, 26) / 100.0), 1) << "P = S cos φ";
    }
    EXPECT_GT(currents.size(), 1u) << "the values move";
    const int warm = temperature(live);
    EXPECT_GT(warm, cold + 10) << "the running motor warms";

    coil(relay, 768, 0);
    for (int i = 0; i < 30; ++i)
        live = read(relay, 16, 32);
    for (int phase = 0; phase < 3; ++phase)
        EXPECT_EQ(wordOf(live, 5 + phase), 0);
    EXPECT_EQ(wordOf(live, 26), 0) << "cos φ";
    EXPECT_LT(temperature(live), warm) << "the stopped motor cools";
}

TEST(RelayModel, journalTellsEveryKindOfEventInOrder)
{
    struct Case
    {
        int type;
        int kinds; // 1-16, 30-45, and 60-62 with the tank algorithm
    };
    for (const Case &c : {Case{4, 32}, Case{6, 35}}) {
        RelayModel relay(1, c.type);
        relay.setJournalLength(100);
        std::set<int> codes;
        QDateTime before;
        for (int n = 0; n < 100; ++n) {
            const QByteArray e = relay.journalEntry(n);
            const int code = quint8(e[0]);
            codes.insert(code);
            const QDateTime when(QDate(2000 + e[3], e[2], e[1]), QTime(e[4], e[5], e[6]));
            ASSERT_TRUE(when.isValid()) << n;
            EXPECT_GT(when, before) << "entry " << n << " comes after the one before";
            before = when;
            if (code >= 30 && code <= 42) {
                EXPECT_NE(wordOf(QByteArray(2, '\0') + e, 4) + wordOf(QByteArray(2, '\0') + e, 5),
                          0)
                        << "currents at trip " << code;
            }
            if (code == 43 || code == 44) {
                EXPECT_GT(quint8(e[9]), 0) << code;
            }
        }
        EXPECT_EQ(int(codes.size()), c.kinds) << c.type;
        EXPECT_TRUE(codes.count(16) && codes.count(45) && !codes.count(0)) << c.type;
        EXPECT_EQ(codes.count(62), c.type == 6 ? 1u : 0u);
    }
}

// Events at a rate go where an event goes: after the newest entry, round the
// ring, the slot after them emptied until the ring is full; each written
// once, dated when its time came.
TEST(RelayModel, eventsAtARateAreWrittenIntoTheRingWhenTheirTimeComes)
{
    RelayModel relay(1, 4); // 37 entries
    const qint64 start = QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC).toMSecsSinceEpoch();
    relay.setJournalRate(60, start);
    const QByteArray before = relay.journalEntry(37);
    relay.writeDueJournalEvents(start + 3500);
    QDateTime previous;
    for (int slot = 37; slot < 40; ++slot) {
        const QByteArray e = relay.journalEntry(slot);
        ASSERT_NE(e[0], 0) << slot;
        const QDateTime when(QDate(2000 + e[3], e[2], e[1]), QTime(e[4], e[5], e[6]), Qt::UTC);
        if (previous.isValid()) {
            EXPECT_EQ(previous.secsTo(when), 1) << "one a second, slot " << slot;
        }
        previous = when;
    }
    EXPECT_EQ(relay.journalEntry(40)[0], 0) << "the slot after the newest is emptied";
    relay.writeDueJournalEvents(start + 3900);
    EXPECT_EQ(relay.journalEntry(40)[0], 0) << "nothing twice, nothing early";
    EXPECT_NE(relay.journalEntry(37), before);

    relay.writeDueJournalEvents(start + 100 * 1000); // 100 events: round the ring
    for (int slot = 0; slot < 100; ++slot)
        EXPECT_NE(relay.journalEntry(slot)[0], 0) << "a full ring, slot " << slot;
    const QByteArray oldest = relay.journalEntry(37);
    relay.writeDueJournalEvents(start + 101 * 1000);
    EXPECT_NE(relay.journalEntry(37), oldest) << "the next event writes over the oldest";
}

TEST(RelayModel, aFlakySlotAnswersCodeZeroOnceBeforeItsEntry)
{
    RelayModel relay(1, 4);
    relay.setFlakyJournalSlot(2);
    EXPECT_EQ(read(relay, 0x402, 11).mid(2), QByteArray(22, '\0'));
    EXPECT_EQ(read(relay, 0x402, 11).mid(2), relay.journalEntry(2));
    EXPECT_NE(relay.journalEntry(2)[0], 0);
    EXPECT_EQ(read(relay, 0x403, 11).mid(2), relay.journalEntry(3))
            << "the other slots answer at once";
}

} // namespace
