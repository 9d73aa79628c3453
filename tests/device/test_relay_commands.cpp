#include "core/LineOverviewModel.h"
#include "core/Texts.h"
#include "device/LiveRead.h"
#include "device/OutputControl.h"
#include "device/RelayClock.h"
#include "device/ServiceFields.h"
#include "device/RelayCommands.h"
#include "support/RelayLineFixture.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

using namespace miv;

namespace {

// One request as it went out: function, first address, value or count.
struct Request
{
    int function;
    int address;
    int value;
    bool operator==(const Request &) const = default;
    friend void PrintTo(const Request &r, std::ostream *os)
    {
        *os << "(fn " << r.function << ", 0x" << std::hex << r.address << ", 0x" << r.value
            << std::dec << ")";
    }
};

class RelayCommands : public RelayLineFixture
{
protected:
    void SetUp() override
    {
        RelayLineFixture::SetUp();
        select(1, 4);
        line.clearRequests();
    }

    QList<Request> sent() const
    {
        QList<Request> found;
        for (const QByteArray &frame : line.requests())
            found.append({quint8(frame[1]), quint8(frame[2]) << 8 | quint8(frame[3]),
                          quint8(frame[4]) << 8 | quint8(frame[5])});
        return found;
    }
};

TEST_F(RelayCommands, eachCommandSendsItsFrame)
{
    struct Case
    {
        const char *what;
        std::function<BusOutcome(RelaySession &, Operator &)> command;
        QList<Request> requests;
    };
    const QDateTime fixed(QDate(2026, 12, 5), QTime(9, 7, 8));
    const Case cases[] = {
            {"start",
             [](RelaySession &s, Operator &o) {
                 return switchOutput(s, o, RelayOutput::Work, true);
             },
             {{5, 768, 0xFF00}}},
            {"stop",
             [](RelaySession &s, Operator &o) {
                 return switchOutput(s, o, RelayOutput::Work, false);
             },
             {{5, 768, 0}}},
            {"alarm on",
             [](RelaySession &s, Operator &o) {
                 return switchOutput(s, o, RelayOutput::Alarm, true);
             },
             {{5, 769, 0xFF00}}},
            {"overload off",
             [](RelaySession &s, Operator &o) {
                 return switchOutput(s, o, RelayOutput::Overload, false);
             },
             {{5, 770, 0}}},
            {"clock of 05.12.2026 09:07:08",
             [&](RelaySession &s, Operator &o) { return setRelayClock(s, o, fixed); },
             {{6, 115, 6668}, {6, 116, 1289}, {6, 117, 1800}}},
            {"motor resource 70000 h 75 min",
             [](RelaySession &s, Operator &o) { return setMotorResource(s, o, 70000, 75); },
             {{6, 114, 59}, {6, 112, 1}, {6, 113, 4464}}},
            {"serial 1234",
             [](RelaySession &s, Operator &o) { return setSerialNumber(s, o, 1234); },
             {{6, 6, 1234}}},
    };
    for (const Case &c : cases) {
        line.clearRequests();
        EXPECT_EQ(c.command(session, op), BusOutcome::Done) << c.what;
        EXPECT_EQ(sent(), c.requests) << c.what;
    }
    EXPECT_TRUE(op.shown().isEmpty());
    EXPECT_EQ(relay().registerValue(6), 1234);
}

TEST_F(RelayCommands, aRefusedSerialNumberIsToldNotSilent)
{
    // 70000 is clamped to 65535, which this relay refuses (an erased memory's value).
    EXPECT_EQ(setSerialNumber(session, op, 70000), BusOutcome::Refused);
    EXPECT_EQ(sent(), (QList<Request>{{6, 6, 65535}}));
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Error);
    EXPECT_EQ(op.shown()[0].text, Texts::relayRefused.arg(3));
}

TEST_F(RelayCommands, motorResourceStopsAtTheFirstRefusal)
{
    // The relay takes at most 15 as the high word: the low word is never sent.
    EXPECT_EQ(setMotorResource(session, op, 16u << 16, 10), BusOutcome::Refused);
    EXPECT_EQ(sent(), (QList<Request>{{6, 114, 10}, {6, 112, 16}}));
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::relayRefused.arg(3)});
}

TEST_F(RelayCommands, aSilentRelayIsToldAtOnce)
{
    stopAnsweringAfter(1, 1);
    EXPECT_EQ(setRelayClock(session, op, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))),
              BusOutcome::NoAnswer);
    EXPECT_EQ(sent().size(), 2) << "the third word is not sent after the second went unanswered";
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::linkError});
}

TEST_F(RelayCommands, declinedAcknowledgeSendsNothing)
{
    op.answer(Operator::Answer::Cancel);
    EXPECT_FALSE(acknowledgeAlarm(session, op).has_value());
    EXPECT_TRUE(line.requests().isEmpty());
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::acknowledgeWarning});

    op.answer(Operator::Answer::Ok);
    EXPECT_EQ(acknowledgeAlarm(session, op), BusOutcome::Done);
    EXPECT_EQ(sent(), (QList<Request>{{5, 771, 0xFF00}}));
    EXPECT_TRUE(relay().isMotorRunning());
}

TEST_F(RelayCommands, refreshReadsBothBlocksWhole)
{
    relay().setStatusBits(0x4010);
    ASSERT_EQ(switchOutput(session, op, RelayOutput::Work, true), BusOutcome::Done);
    line.clearRequests();
    const LiveReadResult result = readLiveValues(session, op);
    EXPECT_TRUE(result.done());
    EXPECT_EQ(sent(), (QList<Request>{{3, 16, 32}, {3, 112, 10}}));
    EXPECT_EQ(session.live.value(39), 0x4010);
    EXPECT_EQ(session.live.relayState, 1);
    EXPECT_EQ(session.live.value(114), relay().registerValue(114));
}

TEST_F(RelayCommands, aFailedRefreshKeepsTheValuesItDidNotGet)
{
    struct Case
    {
        const char *what;
        RelayLine::Faults faults;
        BusOutcome outcome;
        QString message;
    };
    RelayLine::Faults truncated;
    truncated.truncate = true;
    RelayLine::Faults silent;
    silent.silent = true;
    const Case cases[] = {
            {"short reply", truncated, BusOutcome::NoAnswer, Texts::linkError},
            {"silence", silent, BusOutcome::NoAnswer, Texts::linkError},
    };
    for (const Case &c : cases) {
        session.live.blockA.fill(7);
        line.setFaults(1, c.faults);
        op.clearShown();
        int stops = 0;
        const LiveReadResult result = readLiveValues(session, op, [&] { ++stops; });
        EXPECT_EQ(result.outcome, c.outcome) << c.what;
        EXPECT_EQ(op.shownTexts(), QStringList{c.message}) << c.what;
        EXPECT_EQ(stops, 1) << c.what;
        EXPECT_EQ(session.live.value(21), 7) << c.what << ": no reading taken from a bad reply";
        line.clearFaults();
    }
}

TEST_F(RelayCommands, anExceptionReplyIsNoReading)
{
    session.live.blockA.fill(7);
    RelayLine::Faults refusing;
    refusing.refuse = 4; // device failure
    line.setFaults(1, refusing);
    const LiveReadResult result = readLiveValues(session, op);
    EXPECT_EQ(result.outcome, BusOutcome::Refused);
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::relayRefused.arg(4)});
    EXPECT_EQ(session.live.value(21), 7) << "no reading taken from a refusal";
    EXPECT_EQ(readRequests(), 1) << "block B is not asked after block A failed";
}

TEST_F(RelayCommands, relayControlEntryHasThreeExits)
{
    struct Case
    {
        const char *what;
        Operator::Answer answer;
        bool motorRunning;
        int answersBeforeSilence; // -1: answers all
        bool portClosed;
        RelayControlEntry entry;
        QStringList shown;
        int reads;
    };
    const Case cases[] = {
            {"declined",
             Operator::Answer::Cancel,
             false,
             -1,
             false,
             RelayControlEntry::BackToLiveValues,
             {Texts::relayControlWarning},
             0},
            {"silent relay",
             Operator::Answer::Ok,
             false,
             0,
             false,
             RelayControlEntry::BackToDevices,
             {Texts::relayControlWarning, Texts::linkError},
             1},
            // The link test answered, the full read did not: the values of
            // before (the motor at rest) count for nothing.
            {"silent after the link test",
             Operator::Answer::Ok,
             false,
             1,
             false,
             RelayControlEntry::BackToDevices,
             {Texts::relayControlWarning, Texts::linkError},
             2},
            {"port closed by the operator",
             Operator::Answer::Ok,
             false,
             -1,
             true,
             RelayControlEntry::BackToDevices,
             {Texts::portClosed},
             0},
            {"current flows",
             Operator::Answer::Ok,
             true,
             -1,
             false,
             RelayControlEntry::BackToLiveValues,
             {Texts::relayControlWarning, Texts::currentsFlowing},
             3},
            {"motor at rest",
             Operator::Answer::Ok,
             false,
             -1,
             false,
             RelayControlEntry::Stay,
             {Texts::relayControlWarning},
             3},
    };
    for (const Case &c : cases) {
        line.clearFaults();
        relay().handle(QByteArray::fromHex(c.motorRunning ? "050300ff00" : "0503000000"));
        for (int settle = 0; settle < 4; ++settle)
            relay().tick();
        session.live.blockA.fill(0);
        if (c.answersBeforeSilence >= 0) {
            RelayLine::Faults silent;
            silent.answerRequests = c.answersBeforeSilence;
            line.setFaults(1, silent);
        }
        session.portHeldOpen = [&c] { return !c.portClosed; };
        line.clearRequests();
        op.clearShown();
        op.answer(c.answer);
        int redraws = 0;
        EXPECT_EQ(enterRelayControl(session, op, [&] { ++redraws; }), c.entry) << c.what;
        EXPECT_EQ(op.shownTexts(), c.shown) << c.what;
        EXPECT_EQ(readRequests(), c.reads) << c.what;
        EXPECT_EQ(redraws, c.reads == 3 ? 1 : 0) << c.what;
        EXPECT_EQ(outputControlOffered(session), c.entry == RelayControlEntry::Stay) << c.what;
    }
    // Another relay selected, or the port closed, takes the offer back.
    session.portHeldOpen = [] { return false; };
    EXPECT_FALSE(outputControlOffered(session));
}

TEST_F(RelayCommands, outputsAreSwitchedByHandOnlyWithTheMotorAtRest)
{
    struct Case
    {
        const char *what;
        RelayOutput output;
        bool on;
        bool motorRunning;
        bool coilSent;
    };
    const Case cases[] = {
            {"alarm on at rest", RelayOutput::Alarm, true, false, true},
            {"alarm on while running", RelayOutput::Alarm, true, true, false},
            {"alarm off while running", RelayOutput::Alarm, false, true, false},
            {"overload on while running", RelayOutput::Overload, true, true, false},
            {"work on while running", RelayOutput::Work, true, true, false},
            {"work off (the motor stopped) while running", RelayOutput::Work, false, true, true},
    };
    for (const Case &c : cases) {
        relay().handle(QByteArray::fromHex(c.motorRunning ? "050300ff00" : "0503000000"));
        for (int settle = 0; settle < 4; ++settle)
            relay().tick();
        line.clearRequests();
        op.clearShown();
        const HandSwitchResult result = switchOutputByHand(session, op, c.output, c.on);
        const QList<QByteArray> requests = line.requests();
        const bool coilSent =
                std::any_of(requests.begin(), requests.end(),
                            [](const QByteArray &frame) { return quint8(frame[1]) == 5; });
        EXPECT_EQ(coilSent, c.coilSent) << c.what;
        EXPECT_EQ(result.check == OutputControlCheck::Allowed, c.coilSent) << c.what;
        EXPECT_EQ(op.shownTexts().contains(Texts::currentsFlowing), !c.coilSent) << c.what;
        EXPECT_EQ(handSwitchAllowed(c.output, c.on, session.live), c.coilSent || !c.motorRunning)
                << c.what;
    }
    // A relay that answers the link test but then not the full read: the
    // values read before (the motor at rest) never let the coil go out.
    relay().handle(QByteArray::fromHex("0503000000"));
    session.live.blockA.fill(0);
    RelayLine::Faults fallsSilent;
    fallsSilent.answerRequests = 1;
    line.setFaults(1, fallsSilent);
    line.clearRequests();
    op.clearShown();
    EXPECT_EQ(switchOutputByHand(session, op, RelayOutput::Alarm, true).check,
              OutputControlCheck::NoLink);
    for (const QByteArray &frame : line.requests())
        EXPECT_NE(quint8(frame[1]), 5) << "no coil";
    line.clearFaults();

    // A port the operator closed is told as closed and never opened.
    session.portHeldOpen = [] { return false; };
    op.clearShown();
    line.clearRequests();
    EXPECT_EQ(switchOutputByHand(session, op, RelayOutput::Work, false).outcome,
              BusOutcome::PortFailed);
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::portClosed});
    EXPECT_TRUE(line.requests().isEmpty());
}

// 0,2 A in any one phase, the others at zero, is a motor carrying current.
TEST(OutputControl, oneLoadedPhaseAloneKeepsTheOutputsLocked)
{
    for (quint16 phase = 0; phase < 3; ++phase)
        for (const quint16 tenths : {quint16(1), quint16(2), quint16(3)}) {
            LiveValues live;
            live.blockA[std::size_t(21 - 16 + phase)] = tenths;
            const bool atRest = tenths < 2;
            EXPECT_EQ(live.motorCarriesCurrent(), !atRest) << phase << " " << tenths;
            for (RelayOutput output :
                 {RelayOutput::Work, RelayOutput::Alarm, RelayOutput::Overload})
                EXPECT_EQ(handSwitchAllowed(output, true, live), atRest) << phase << " " << tenths;
            EXPECT_TRUE(handSwitchAllowed(RelayOutput::Work, false, live)) << "stopping always";
        }
}

TEST_F(RelayCommands, serviceReadShowsHoursMinutesAndSerial)
{
    relay().setRegister(112, 1);
    relay().setRegister(113, 34464);
    relay().setRegister(114, 30);
    const std::optional<ServiceValues> values = readServiceValues(session, op);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->hours, 100000);
    EXPECT_EQ(values->minutes, 30);
    EXPECT_EQ(values->serialNumber, relay().registerValue(6));
    EXPECT_EQ(sent(), (QList<Request>{{3, 112, 8}, {3, 0, 7}}));
}

TEST(ClockWords, layoutOfTheThreeRegisters)
{
    const ClockWords words = clockWords(QDateTime(QDate(2099, 1, 31), QTime(23, 59, 58)));
    EXPECT_EQ(words.yearMonth, 99 << 8 | 1);
    EXPECT_EQ(words.dayHour, 31 << 8 | 23);
    EXPECT_EQ(words.minuteSecond, 59 << 8 | 58);
    const MotorResourceWords resource = motorResourceWords(65535, 59);
    EXPECT_EQ(resource.hoursHigh, 0);
    EXPECT_EQ(resource.hoursLow, 65535);
    EXPECT_EQ(resource.minutes, 59);
}

TEST(RelayClock, wordsThatAreNoDateAndTheOffsetTakenAtTheMiddleOfTheRead)
{
    EXPECT_EQ(relayClockTime(26 << 8 | 12, 5 << 8 | 9, 7 << 8 | 8),
              QDateTime(QDate(2026, 12, 5), QTime(9, 7, 8)));
    EXPECT_FALSE(relayClockTime(26 << 8 | 13, 5 << 8 | 9, 0)) << "month 13";
    EXPECT_FALSE(relayClockTime(26 << 8 | 4, 31 << 8 | 9, 0)) << "31 April";
    EXPECT_FALSE(relayClockTime(0, 0, 0)) << "a clock never set";
    EXPECT_FALSE(relayClockTime(26 << 8 | 1, 1 << 8 | 24, 0)) << "hour 24";

    // Sent 11:59:58.000, answered 0,2 s later: the relay answered at .100 on
    // the PC's clock and was at 12:00:00.500 on its own on average.
    const QDateTime sent(QDate(2026, 1, 2), QTime(11, 59, 58));
    EXPECT_EQ(clockOffsetMs(QDateTime(QDate(2026, 1, 2), QTime(12, 0)), sent, sent.addMSecs(200)),
              2400);
    EXPECT_EQ(clockOffsetText(2400), QStringLiteral("+2 с"));
    EXPECT_EQ(clockOffsetText(-125600), QStringLiteral("-126 с"));
    EXPECT_EQ(clockOffsetText(-400), QStringLiteral("0 с"));
    EXPECT_EQ(clockOffsetText(std::nullopt), QString());

    for (const qint64 offsetMs : {61000, -61000}) { // ahead of the PC's clock and behind it
        const ClockReading reading{QDateTime(), offsetMs};
        EXPECT_FALSE(clockNeedsSetting(reading, 61)) << offsetMs;
        EXPECT_TRUE(clockNeedsSetting(reading, 60)) << offsetMs;
    }
    const ClockReading reading{QDateTime(), 61000};
    EXPECT_TRUE(clockNeedsSetting(reading, std::nullopt));
    EXPECT_TRUE(clockNeedsSetting(ClockReading{}, 60)) << "a clock that holds no date is set";
}

// Relay 6 an hour fast, relay 17 an hour slow, relay 1 on time, address 2
// silent: with a bound of a minute relays 6 and 17 are written, each with the
// three writes of "Синхронизация", in the audit log under its factory number
// with the time it read as the old value.
TEST_F(RelayCommands, clockSyncSetsOnlyTheClocksOffByMoreThanTheBound)
{
    QTemporaryDir dir;
    session.audit.setFolder(dir.path());
    line.addRelay(17, 4);
    select(6, 6);
    ASSERT_EQ(setRelayClock(session, op, QDateTime::currentDateTime().addSecs(3600)),
              BusOutcome::Done);
    select(17, 4);
    ASSERT_EQ(setRelayClock(session, op, QDateTime::currentDateTime().addSecs(-3600)),
              BusOutcome::Done);
    select(1, 4);
    ASSERT_EQ(setRelayClock(session, op, QDateTime::currentDateTime()), BusOutcome::Done);
    QFile::remove(session.audit.filePath());
    line.clearRequests();

    const auto now = [] { return QDateTime::currentDateTime(); };
    const QList<ClockSyncResult> results = syncLineClocks(session, op, {6, 2, 17, 1}, 60, now);
    ASSERT_EQ(results.size(), 4);
    EXPECT_EQ(results[0].outcome, ClockSyncResult::Outcome::Set);
    EXPECT_EQ(results[0].factoryNumber, 1006);
    ASSERT_TRUE(results[0].before.offsetMs);
    EXPECT_NEAR(double(*results[0].before.offsetMs), 3600000.0, 1500.0);
    EXPECT_EQ(results[1].outcome, ClockSyncResult::Outcome::NoLink);
    EXPECT_EQ(results[2].outcome, ClockSyncResult::Outcome::Set) << "a clock behind the PC's";
    ASSERT_TRUE(results[2].before.offsetMs);
    EXPECT_NEAR(double(*results[2].before.offsetMs), -3600000.0, 1500.0);
    EXPECT_EQ(results[3].outcome, ClockSyncResult::Outcome::Kept);

    QList<int> written;
    for (const Request &request : sent())
        if (request.function == 6)
            written << request.address;
    EXPECT_EQ(written, (QList<int>{115, 116, 117, 115, 116, 117}));
    EXPECT_EQ(quint8(line.requests().last()[0]), 1) << "relay 1 was read, not written";
    const QList<AuditEntry> entries =
            AuditLog::readEntries(session.audit.filePath(), {}).value_or(QList<AuditEntry>{});
    ASSERT_EQ(entries.size(), 6);
    EXPECT_EQ(entries[0].item, QStringLiteral("Часы реле: год, месяц"));
    EXPECT_EQ(entries[2].address, 6);
    EXPECT_EQ(entries[2].factoryNumber, 1006);
    EXPECT_EQ(entries[2].answer, QStringLiteral("taken"));
    EXPECT_EQ(entries[5].factoryNumber, 1017);
    for (int k : {0, 5})
        EXPECT_EQ(entries[k].oldValue,
                  results[k == 0 ? 0 : 2].before.relayTime->toString("dd.MM.yyyy HH:mm:ss"))
                << "the clock as read is the old value";

    const std::optional<ClockReading> after = readRelayClock(session, 6, now).reading;
    ASSERT_TRUE(after && after->offsetMs);
    EXPECT_LT(std::llabs(*after->offsetMs), 1500);
    EXPECT_EQ(syncLineClocks(session, op, {1}, std::nullopt, now)[0].outcome,
              ClockSyncResult::Outcome::Set)
            << "without a bound every clock is set";
}

// What "Установить мр" writes reads back as the same hours and minutes, the
// hours across both words and the minutes from the low byte alone.
TEST(MotorResource, writtenWordsReadBackTheSameCounter)
{
    const MotorResourceWords words = motorResourceWords(0x12345, 75);
    const MotorResource back =
            motorResource(words.hoursHigh, words.hoursLow, 0xAB00 | words.minutes);
    EXPECT_EQ(back.hours, 0x12345u);
    EXPECT_EQ(back.minutes, 59);
}

} // namespace

TEST(ServiceFields, everyNumberOfTheCountersRangeAndNothingElse)
{
    struct Case
    {
        const char *text;
        std::optional<quint32> number;
    };
    const Case cases[] = {
            {"0", 0u},
            {"100000", 100000u}, // wider than the field the window once had
            {"4294967295", 4294967295u},
            {"4294967296", std::nullopt},
            {"00000000001", std::nullopt}, // more digits than the counter has
            {"", std::nullopt},
            {"-1", std::nullopt},
            {"+1", std::nullopt},
            {" 1", std::nullopt},
            {"1,5", std::nullopt},
            {"١", std::nullopt}, // a digit of another script
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseServiceNumber(QString::fromUtf8(c.text)), c.number) << c.text;

    QString error;
    EXPECT_FALSE(
            parseServiceFields(QStringLiteral("100000"), QStringLiteral("30"), QString(), &error));
    EXPECT_EQ(error, Texts::notAWholeNumber.arg(QString()));
    const auto values = parseServiceFields(QStringLiteral("100000"), QStringLiteral("75"),
                                           QStringLiteral("70000"), &error);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->hours, 100000u);
    EXPECT_EQ(values->minutes, 75u);
    EXPECT_EQ(values->serialNumber, 70000u);
}
