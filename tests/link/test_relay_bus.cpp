#include "core/DigitText.h"
#include "link/ModbusFrame.h"
#include "link/RelayBus.h"
#include "support/RelayLineFixture.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <functional>

using namespace miv;

namespace {

// The shared loopback line, with the bus's own waits.
class RelayBusTest : public RelayLineFixture
{
protected:
    void SetUp() override
    {
        RelayLineFixture::SetUp();
        bus.setReplyTimeoutMs(60);
        bus.setScanTimeoutMs(30);
    }
};

TEST_F(RelayBusTest, readReturnsTheReplyFrameWithoutCrc)
{
    const ReplyString reply = bus.askRegisters(1, 0x50, 32).reply;
    ASSERT_EQ(reply.size(), 3 + 64);
    EXPECT_EQ(quint8(reply[0]), 1);
    EXPECT_EQ(quint8(reply[1]), 3);
    EXPECT_EQ(quint8(reply[2]), 64);
    EXPECT_EQ(replyWord(reply, 0), 10); // transformation ratio
    EXPECT_EQ(replyWord(reply, 1), 250);
    EXPECT_EQ(replyWord(reply, 40), 0); // beyond the reply's end
}

TEST_F(RelayBusTest, statusQueryTellsWhoAnswers)
{
    EXPECT_FALSE(bus.askStatus(1).linkFailed());
    EXPECT_FALSE(bus.askStatus(6).linkFailed());
    EXPECT_EQ(bus.askStatus(2).kind, BusReply::Kind::NoAnswer);
}

TEST_F(RelayBusTest, everyFaultIsAFailedExchangeNeverData)
{
    struct Case
    {
        const char *name;
        RelayLine::Faults faults;
    };
    RelayLine::Faults silent;
    silent.silent = true;
    RelayLine::Faults badCrc;
    badCrc.badCrc = true;
    RelayLine::Faults late;
    late.lateMs = 200;
    RelayLine::Faults wrongAddress;
    wrongAddress.wrongAddress = true;
    RelayLine::Faults truncated;
    truncated.truncate = true;
    const Case cases[] = {{"silent", silent},
                          {"bad crc", badCrc},
                          {"late", late},
                          {"wrong address", wrongAddress},
                          {"truncated", truncated}};
    for (const Case &c : cases) {
        line.setFaults(1, c.faults);
        EXPECT_EQ(bus.askRegisters(1, 0x50, 32).kind, BusReply::Kind::NoAnswer) << c.name;
        EXPECT_EQ(bus.askStatus(1).kind, BusReply::Kind::NoAnswer) << c.name;
        EXPECT_TRUE(bus.askWriteRegister(1, 0x55, 30).linkFailed()) << c.name;
        line.clearFaults();
        // The next exchange is not confused by what the fault left on the line.
        const ReplyString reply = bus.askRegisters(1, 0x50, 2).reply;
        ASSERT_EQ(reply.size(), 7) << c.name;
        EXPECT_EQ(replyWord(reply, 0), 10) << c.name;
    }
}

TEST_F(RelayBusTest, noiseBeforeAReplyIsSkipped)
{
    RelayLine::Faults garbage;
    garbage.garbage = QByteArray::fromHex("00FF0103");
    line.setFaults(1, garbage);
    const ReplyString reply = bus.askRegisters(1, 0x50, 2).reply;
    ASSERT_EQ(reply.size(), 7);
    EXPECT_EQ(replyWord(reply, 0), 10);
    EXPECT_EQ(replyWord(reply, 1), 250);
}

TEST_F(RelayBusTest, staleInputIsDiscardedBeforeARequest)
{
    port.feedGarbage(modbus::withCrc(QByteArray::fromHex("010304FFFFFFFF")));
    const ReplyString reply = bus.askRegisters(1, 0x50, 2).reply;
    EXPECT_EQ(replyWord(reply, 0), 10);
}

TEST_F(RelayBusTest, aLateReplyIsNotTakenForTheNextRequest)
{
    RelayLine::Faults late;
    late.lateMs = 100;
    line.setFaults(1, late);
    EXPECT_EQ(bus.askRegisters(1, 0x50, 2).kind, BusReply::Kind::NoAnswer);
    line.clearFaults();
    EXPECT_EQ(replyWord(bus.askRegisters(1, 0x60, 2).reply, 0), 80); // not the 0x50 block
}

TEST_F(RelayBusTest, failedExchangesAreAskedAgainRefusalsAndSilentStatusQueriesNot)
{
    struct Case
    {
        const char *name;
        int retries;
        unsigned fault; // RelayLine fault kind on every reply, 0 for none
        std::function<bool(RelayBus &)> exchange; // true when it ended as expected
        int requests; // on the line, repetitions included
    };
    const auto readFails = [](RelayBus &b) { return b.askRegisters(1, 0x50, 2).reply.size() < 5; };
    const auto statusSilent = [](RelayBus &b) {
        return b.askStatus(1).kind == BusReply::Kind::NoAnswer;
    };
    const auto writeFails = [](RelayBus &b) {
        return b.askWriteRegister(1, 0x55, 30).linkFailed();
    };
    const Case cases[] = {
            {"damaged read", 2, RelayLine::BadCrc, readFails, 3},
            {"silent read", 2, RelayLine::Silent, readFails, 3},
            {"damaged status", 2, RelayLine::Truncate, statusSilent, 3},
            {"silent status: nobody there", 2, RelayLine::Silent, statusSilent, 1},
            {"silent write", 1, RelayLine::Silent, writeFails, 2},
            {"no repetitions", 0, RelayLine::BadCrc, readFails, 1},
            {"a read its operation repeats itself", 2, RelayLine::Silent,
             [](RelayBus &b) {
                 return b.askRegisters(1, 0x50, 2, RelayBus::Attempts::Once).reply.size() < 5;
             },
             1},
            {"a refusal is an answer", 2, 0,
             [](RelayBus &b) { return b.askRegisters(1, 0x8F, 10).reply.size() == 3; }, 1},
    };
    for (const Case &c : cases) {
        line.clearRequests();
        line.setFaultRate(c.fault ? 100 : 0, c.fault ? c.fault : RelayLine::AllFaultKinds);
        bus.setRetries(c.retries);
        EXPECT_TRUE(c.exchange(bus)) << c.name;
        EXPECT_EQ(line.requests().size(), c.requests) << c.name;
    }

    // A reply that comes after its wait, to the same request asked again, is
    // the relay's answer to it.
    line.setFaultRate(0);
    RelayLine::Faults late;
    late.lateMs = 90;
    line.setFaults(1, late);
    // The same request asked again by its operation: the line is not emptied
    // before it, and the late reply is taken.
    EXPECT_EQ(bus.askRegisters(1, 0x50, 2, RelayBus::Attempts::Once).kind,
              BusReply::Kind::NoAnswer);
    EXPECT_EQ(replyWord(bus.askRegisters(1, 0x50, 2, RelayBus::Attempts::Once).reply, 0), 10);
    bus.setRetries(2);
    const ReplyString reply = bus.askRegisters(1, 0x50, 2).reply;
    ASSERT_EQ(reply.size(), 7);
    EXPECT_EQ(replyWord(reply, 0), 10);

    // Only the first reply is late, and comes during its repetition: the
    // repetition's own reply, still on its way, is never taken for the next
    // request.
    line.setLatencyMs(30, 30);
    late.lateMs = 40;
    late.lateReplies = 1;
    line.setFaults(1, late);
    EXPECT_EQ(replyWord(bus.askRegisters(1, 0x50, 2).reply, 0), 10);
    EXPECT_EQ(replyWord(bus.askRegisters(1, 0x60, 2).reply, 0), 80) << "not the 0x50 block";
}

TEST_F(RelayBusTest, refusedWriteReturnsTheExceptionCode)
{
    const BusReply refused = bus.askWriteRegister(1, 0x55, 70000 & 0xFFFF);
    EXPECT_TRUE(refused.refused());
    EXPECT_EQ(refused.exceptionCode, 3);
    EXPECT_EQ(line.relay(1)->registerValue(0x55), 30); // untouched

    const BusReply written = bus.askWriteRegister(1, 0x55, 40);
    EXPECT_TRUE(written.answered());
    EXPECT_EQ(line.relay(1)->registerValue(0x55), 40);
}

TEST_F(RelayBusTest, refusedReadIsShorterThanFive)
{
    const BusReply reply = bus.askRegisters(1, 0x8F, 10);
    EXPECT_EQ(reply.reply.size(), 3);
    EXPECT_EQ(reply.exceptionCode, 2);
}

TEST_F(RelayBusTest, broadcastWaitsForNothing)
{
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(bus.askWriteRegister(0, 0x41, 0x2044).reply, ReplyString());
    EXPECT_LT(clock.elapsed(), 50);
    EXPECT_EQ(line.relay(1)->registerValue(0x41), 0x2044);
}

TEST_F(RelayBusTest, vanishedPortRaisesPortFailure)
{
    port.vanish();
    EXPECT_EQ(bus.askStatus(1).kind, BusReply::Kind::PortFailure);
    EXPECT_TRUE(bus.askRegisters(1, 0, 7).portFailed());
}

// Every request tells what happened in its one reply: the answer, the
// relay's refusal with its code, no answer, or a port that failed.
TEST_F(RelayBusTest, eachRequestTellsItsOutcomeInItsReply)
{
    using Kind = BusReply::Kind;
    struct Case
    {
        const char *name;
        std::function<BusReply()> ask;
        Kind kind;
        ReplyString reply;
        quint8 exceptionCode;
    };
    const auto frame = [](std::initializer_list<int> bytes) {
        ReplyString text;
        for (int b : bytes)
            text.append(char(b));
        return text;
    };
    const Case answering[] = {
            {"read", [&] { return bus.askRegisters(1, 0x50, 1); }, Kind::Answered,
             frame({1, 3, 2, 0, 10}), 0},
            {"read refused", [&] { return bus.askRegisters(1, 0x8F, 10); }, Kind::Refused,
             frame({1, 0x83, 2}), 2},
            {"write", [&] { return bus.askWriteRegister(1, 0x55, 40); }, Kind::Answered,
             frame({1, 6, 4, 0, 0x55, 0, 40}), 0},
            {"write refused", [&] { return bus.askWriteRegister(1, 0x55, 70000 & 0xFFFF); },
             Kind::Refused, frame({1, 0x86, 3}), 3},
            {"read of nobody", [&] { return bus.askRegisters(2, 0x50, 1); }, Kind::NoAnswer, {}, 0},
            {"write to nobody",
             [&] { return bus.askWriteRegister(2, 0x55, 40); },
             Kind::NoAnswer,
             {},
             0},
            {"status of nobody", [&] { return bus.askStatus(2); }, Kind::NoAnswer, {}, 0},
    };
    for (const Case &c : answering) {
        const BusReply reply = c.ask();
        EXPECT_EQ(reply.kind, c.kind) << c.name;
        EXPECT_EQ(reply.reply, c.reply) << c.name;
        EXPECT_EQ(reply.exceptionCode, c.exceptionCode) << c.name;
    }
    EXPECT_EQ(bus.askWriteRegister(2, 0x55, 40).text,
              QStringLiteral("Нет ответа от устройства №2"));
    EXPECT_EQ(line.relay(1)->registerValue(0x55), 40); // the refused value was not taken

    port.vanish();
    for (const BusReply &reply : {bus.askStatus(1), bus.askRegisters(1, 0, 7),
                                  bus.askWriteCoil(1, 768, 0xFF00), bus.listen(5)}) {
        EXPECT_EQ(reply.kind, Kind::PortFailure);
        EXPECT_FALSE(reply.text.isEmpty());
    }
}

TEST_F(RelayBusTest, scanWaitIsItsOwn)
{
    line.setLatencyMs(45, 45);
    EXPECT_EQ(bus.askStatus(1, 30).kind, BusReply::Kind::NoAnswer);
    EXPECT_FALSE(bus.askStatus(1).linkFailed()); // the patient wait of 60 ms gets it
}

// Every request is counted at the address asked, and each fault the line
// makes shows in its own figure and in no other.
TEST(RelayBusStatistics, everyKindOfFailureIsCountedInItsOwnFigure)
{
    struct Figures
    {
        quint64 requests, answers, noAnswers, crcErrors, otherAddress, late, noise, retries,
                refusals;
    };
    const auto read = [](RelayBus &bus, quint16 first = 0x50) { bus.askRegisters(1, first, 2); };
    struct Case
    {
        const char *name;
        std::function<void(RelayLine &, RelayBus &)> setUp;
        std::function<void(RelayBus &, LoopbackPort &)> ask;
        Figures expected;
    };
    const auto faults = [](auto change) {
        return [change](RelayLine &line, RelayBus &) {
            RelayLine::Faults made;
            change(made);
            line.setFaults(1, made);
        };
    };
    const auto twice = [read](RelayBus &bus, LoopbackPort &) {
        read(bus);
        read(bus);
    };
    const Case cases[] = {
            {"clean", [](RelayLine &, RelayBus &) {}, twice, {2, 2, 0, 0, 0, 0, 0, 0, 0}},
            {"silent, asked again twice",
             [](RelayLine &line, RelayBus &bus) {
                 bus.setRetries(2);
                 line.setFaultRate(100, RelayLine::Silent);
             },
             [read](RelayBus &bus, LoopbackPort &) { read(bus); },
             {3, 0, 3, 0, 0, 0, 0, 2, 0}},
            {"bad crc",
             faults([](RelayLine::Faults &f) { f.badCrc = true; }),
             twice,
             {2, 0, 2, 2, 0, 0, 0, 0, 0}},
            {"cut short",
             faults([](RelayLine::Faults &f) { f.truncate = true; }),
             twice,
             {2, 0, 2, 2, 0, 0, 0, 0, 0}},
            {"wrong address",
             faults([](RelayLine::Faults &f) { f.wrongAddress = true; }),
             twice,
             {2, 0, 2, 0, 2, 0, 0, 0, 0}},
            {"noise before each reply",
             faults([](RelayLine::Faults &f) { f.garbage = QByteArray::fromHex("00FF0103"); }),
             twice,
             {2, 2, 0, 0, 0, 0, 8, 0, 0}},
            {"noise between exchanges",
             [](RelayLine &, RelayBus &) {},
             [read](RelayBus &bus, LoopbackPort &port) {
                 read(bus);
                 port.feedGarbage(QByteArray::fromHex("FF00FF"));
                 read(bus);
             },
             {2, 2, 0, 0, 0, 0, 3, 0, 0}},
            {"refused",
             faults([](RelayLine::Faults &f) { f.refuse = 4; }),
             twice,
             {2, 2, 0, 0, 0, 0, 0, 0, 2}},
            // The late reply is caught by the watch before the next block.
            {"late",
             faults([](RelayLine::Faults &f) {
                 f.lateMs = 100;
                 f.lateReplies = 1;
             }),
             [read](RelayBus &bus, LoopbackPort &) {
                 read(bus);
                 read(bus, 0x60);
             },
             {2, 1, 1, 0, 0, 1, 0, 0, 0}},
            // Live values differ between the two: garbled; a status alike: whole.
            {"two relays at one address answering together",
             [](RelayLine &line, RelayBus &) { line.addDuplicate(1, 0); },
             [](RelayBus &bus, LoopbackPort &) {
                 bus.askRegisters(1, 16, 32);
                 bus.askStatus(1);
             },
             {2, 1, 1, 1, 0, 0, 0, 0, 0}},
            {"two relays at one address, the second later",
             [](RelayLine &line, RelayBus &) { line.addDuplicate(1, 20); },
             [read](RelayBus &bus, LoopbackPort &) {
                 read(bus);
                 bus.listen(40);
             },
             {1, 1, 0, 0, 1, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        RelayLine line;
        line.addRelay(1, 4);
        line.addRelay(6, 6);
        LoopbackPort port(line);
        port.open(QIODevice::ReadWrite);
        RelayBus bus(&port);
        bus.setReplyTimeoutMs(60);
        bus.setRetries(0);
        c.setUp(line, bus);
        c.ask(bus, port);
        const BusCounters counted = bus.statistics().total(1);
        const Figures &e = c.expected;
        EXPECT_EQ(counted.requests, e.requests) << c.name;
        EXPECT_EQ(counted.answers, e.answers) << c.name;
        EXPECT_EQ(counted.noAnswers, e.noAnswers) << c.name;
        EXPECT_EQ(counted.crcErrors, e.crcErrors) << c.name;
        EXPECT_EQ(counted.otherAddressReplies, e.otherAddress) << c.name;
        EXPECT_EQ(counted.lateReplies, e.late) << c.name;
        EXPECT_EQ(counted.noiseBytes, e.noise) << c.name;
        EXPECT_EQ(counted.retries, e.retries) << c.name;
        const std::map<quint8, quint64> refusals{{4, e.refusals}};
        EXPECT_EQ(counted.exceptions, e.refusals ? refusals : decltype(refusals)()) << c.name;
        EXPECT_EQ(counted.responseTimes.count(), e.answers) << c.name;
        EXPECT_EQ(bus.statistics().addresses(), QList<quint8>{1}) << c.name;
    }
}

TEST(RelayBusText, binaryAndHexTexts)
{
    EXPECT_EQ(parseBinary(u"0010000001000100"), 0x2044u);
    EXPECT_EQ(parseHex(u"0080"), 0x80u);
    EXPECT_EQ(parseHex(u"005A"), 0x5Au);
    EXPECT_EQ(parseHex(u"006a"), 0x6Au);
}

} // namespace
