// The simulator's command line and its request log.
#include "link/ModbusFrame.h"
#include "sim/RequestLog.h"
#include "sim/SimOptions.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace modbus = miv::modbus;
using namespace miv::sim;

namespace {

QStringList words(const char *text)
{
    return QString::fromUtf8(text).split(u' ', Qt::SkipEmptyParts);
}

TEST(SimOptions, readsTheRelaysSpeedLatencyLogAndJournal)
{
    QString error;
    const auto options = parseSimOptions(
            words("--relays 1:4,6:6,17:4 --baud 9600 --latency-ms 2-5 --log /tmp/x.jsonl --journal 12"),
            &error);
    ASSERT_TRUE(options) << error.toStdString();
    ASSERT_EQ(options->relays.size(), 3);
    EXPECT_EQ(options->relays[1].address, 6);
    EXPECT_EQ(options->relays[1].typeCode, 6);
    EXPECT_EQ(options->relays[2].address, 17);
    EXPECT_EQ(options->baudRate, 9600);
    EXPECT_EQ(options->latencyMinMs, 2);
    EXPECT_EQ(options->latencyMaxMs, 5);
    EXPECT_EQ(options->logPath, QStringLiteral("/tmp/x.jsonl"));
    EXPECT_EQ(options->journalLength, 12);

    const auto fixed = parseSimOptions(words("--latency-ms=7 --baud=19200"), &error);
    ASSERT_TRUE(fixed) << error.toStdString();
    EXPECT_EQ(fixed->latencyMinMs, 7);
    EXPECT_EQ(fixed->latencyMaxMs, 7);
    EXPECT_EQ(fixed->baudRate, 19200);
    EXPECT_EQ(fixed->relays.size(), 3) << "the demo line by default";
}

TEST(SimOptions, faultOptionsForOneAddressAddUp)
{
    QString error;
    const auto options = parseSimOptions(
            words("--relays 1:4,6:6 --silent 6 --bad-crc 1 --late-ms 1:300 --garbage 1:00ff01 "
                  "--answer-requests 0:5 --wrong-address 1 --truncate 1"),
            &error);
    ASSERT_TRUE(options) << error.toStdString();
    const RelayLine::Faults &one = options->faults.at(1);
    EXPECT_TRUE(one.badCrc);
    EXPECT_EQ(one.lateMs, 300);
    EXPECT_EQ(one.garbage, QByteArray::fromHex("00FF01"));
    EXPECT_TRUE(one.wrongAddress);
    EXPECT_TRUE(one.truncate);
    EXPECT_FALSE(one.silent);
    EXPECT_TRUE(options->faults.at(6).silent);
    EXPECT_EQ(options->faults.at(0).answerRequests, 5);

    RelayLine line;
    options->applyTo(line);
    EXPECT_EQ(line.addresses(), QList<quint8>({1, 6}));
    EXPECT_FALSE(line.answer(modbus::readExceptionStatus(6)));
    const auto reply = line.answer(modbus::readExceptionStatus(1));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->delayMs, 300);
    EXPECT_TRUE(reply->bytes.startsWith(QByteArray::fromHex("00FF01")));

    const auto twins =
            parseSimOptions(words("--relays 1:4,6:6 --duplicate 1 --duplicate 6:40"), &error);
    ASSERT_TRUE(twins) << error.toStdString();
    EXPECT_EQ(twins->duplicates, (std::map<quint8, int>{{1, 0}, {6, 40}}));
    RelayLine twinLine;
    twins->applyTo(twinLine);
    ASSERT_TRUE(twinLine.duplicate(6));
    EXPECT_EQ(twinLine.duplicate(6)->typeCode(), 6);
    EXPECT_EQ(twinLine.answer(modbus::readExceptionStatus(6))->secondDelayMs, 40);
}

TEST(SimOptions, journalStatusSeedAndFaultRateReachTheRelays)
{
    QString error;
    const auto options = parseSimOptions(
            words("--relays 1:4,2:6 --journal 3 --journal-flaky 1,2 --status-bits 0:4000 --inputs 2:0x00fb "
                  "--seed 9 --fault-rate 100:late --late-fault-ms 2000 --journal-rate 2:6000"),
            &error);
    ASSERT_TRUE(options) << error.toStdString();
    RelayLine line;
    options->applyTo(line);
    for (quint8 address : {1, 2}) {
        const RelayModel &relay = *line.relay(address);
        EXPECT_NE(relay.journalEntry(2)[0], 0);
        EXPECT_EQ(relay.journalEntry(3)[0], 0);
        EXPECT_EQ(relay.registerValue(39), 0x4000);
    }
    EXPECT_EQ(line.relay(2)->registerValue(41), 0x00FB);
    EXPECT_EQ(line.relay(1)->registerValue(41), 0x0002) << "inputs asked for relay 2 only";
    const QByteArray journalRead = modbus::readHoldingRegisters(1, 0x401, 11);
    const auto flaky = line.answer(journalRead);
    ASSERT_TRUE(flaky);
    EXPECT_EQ(flaky->delayMs, 2000);
    EXPECT_EQ(line.lastFault(), QStringLiteral("fault-rate:late-ms:2000"));
    EXPECT_EQ(quint8(flaky->bytes[3]), 0) << "slot 1 answers code 0 once";
    EXPECT_NE(quint8(line.answer(journalRead)->bytes[3]), 0);
    // Relay 2's journal grows by 100 a second from the start, relay 1's stays.
    const qint64 later = QDateTime::currentMSecsSinceEpoch() + 1000;
    line.relay(1)->writeDueJournalEvents(later);
    line.relay(2)->writeDueJournalEvents(later);
    EXPECT_EQ(line.relay(1)->journalEntry(3)[0], 0);
    EXPECT_NE(line.relay(2)->journalEntry(3)[0], 0);
}

TEST(SimOptions, wrongUsageIsRefusedWithAReason)
{
    const char *const wrong[] = {
            "--relays", // no value
            "--relays 1:4,1:6", // same address twice
            "--relays 0:4", // 0 is the broadcast address
            "--relays 248:4",
            "--relays 1:x",
            "--relays 1:12", // the type is one digit
            "--relays 1",
            "--baud 0",
            "--baud fast",
            "--latency-ms 9-3",
            "--latency-ms -3",
            "--journal 101",
            "--journal-flaky 100",
            "--journal-flaky 1,x",
            "--journal-rate 0",
            "--journal-rate 6001",
            "--journal-rate 9:60", // no relay there
            "--journal-rate 1:",
            "--seed -1",
            "--fault-rate 101",
            "--fault-rate 5:late,slow", // no such kind
            "--fault-rate 5:",
            "--fault-rate 1e1",
            "--late-fault-ms 0",
            "--status-bits 1:10000", // more than a register
            "--status-bits 9:4000", // no relay there
            "--inputs 1",
            "--silent 9", // no relay there
            "--silent x",
            "--late-ms 1",
            "--late-ms 1:soon",
            "--garbage 1:0", // odd number of digits
            "--garbage 1:zz",
            "--answer-requests 1:-1",
            "--truncate 300",
            "--frobnicate",
            "extra",
            "--tcp", // no value
            "--tcp 65536",
            "--tcp -1",
            "--tcp gw",
            "--duplicate 9", // no relay there
            "--duplicate 1:-5",
            "--duplicate 1:x",
    };
    for (const char *arguments : wrong) {
        QString error;
        EXPECT_FALSE(parseSimOptions(words(arguments), &error)) << arguments;
        EXPECT_FALSE(error.isEmpty()) << arguments;
    }
}

TEST(SimOptions, tcpPortIsOptional)
{
    const std::pair<const char *, std::optional<quint16>> cases[] = {
            {"", std::nullopt},
            {"--tcp 0", 0},
            {"--tcp 5020", 5020},
            {"--tcp=65535", 65535},
    };
    for (const auto &[arguments, port] : cases) {
        QString error;
        const auto options = parseSimOptions(words(arguments), &error);
        ASSERT_TRUE(options) << arguments << ": " << error.toStdString();
        EXPECT_EQ(options->tcpPort, port) << arguments;
    }
}

TEST(SimOptions, helpNeedsNothingElse)
{
    QString error;
    const auto options = parseSimOptions(words("--help"), &error);
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->help);
    EXPECT_TRUE(simUsage().contains(QStringLiteral("--answer-requests ADDR:N")));
}

// The manual page mivsim(1) names every option of the usage, and no other.
TEST(SimOptions, theManualPageNamesTheOptionsOfTheUsage)
{
    QFile page(QStringLiteral(MIV_MAN_DIR "/mivsim.1.in"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << page.fileName().toStdString();
    const QString manual =
            QString::fromUtf8(page.readAll()).replace(QLatin1String("\\-"), QLatin1String("-"));
    const auto optionsIn = [](const QString &text) {
        QSet<QString> names;
        const QRegularExpression option(QStringLiteral("(?<![\\w-])--[a-z][a-z-]*[a-z]"));
        for (const QRegularExpressionMatch &match : option.globalMatch(text))
            names.insert(match.captured());
        return names;
    };
    const QSet<QString> inUsage = optionsIn(simUsage())
            << QStringLiteral("--help") << QStringLiteral("--version");
    EXPECT_FALSE(inUsage.isEmpty());
    EXPECT_EQ(optionsIn(manual), inUsage);
}

TEST(RequestLog, oneJsonObjectPerRequest)
{
    const QByteArray request = modbus::readHoldingRegisters(6, 0x50, 2);
    const QByteArray reply = modbus::withCrc(QByteArray::fromHex("060304000A00FA"));
    const QByteArray answered = RequestLog::line(12.3456, request, reply, {});
    EXPECT_FALSE(answered.contains('\n'));
    const QJsonObject object = QJsonDocument::fromJson(answered).object();
    EXPECT_DOUBLE_EQ(object.value(QStringLiteral("t")).toDouble(), 12.346);
    EXPECT_EQ(object.value(QStringLiteral("address")).toInt(), 6);
    EXPECT_EQ(object.value(QStringLiteral("function")).toInt(), 3);
    EXPECT_EQ(object.value(QStringLiteral("request")).toString(),
              QString::fromLatin1(request.toHex().toUpper()));
    EXPECT_EQ(object.value(QStringLiteral("reply")).toString(),
              QString::fromLatin1(reply.toHex().toUpper()));
    EXPECT_TRUE(object.value(QStringLiteral("fault")).isNull());

    const QJsonObject silent = QJsonDocument::fromJson(RequestLog::line(1, request, std::nullopt,
                                                                        QStringLiteral("silent")))
                                       .object();
    EXPECT_TRUE(silent.value(QStringLiteral("reply")).isNull());
    EXPECT_EQ(silent.value(QStringLiteral("fault")).toString(), QStringLiteral("silent"));
}

} // namespace

namespace {

TEST(SimOptions, strictLineAndInterfaceWordsReachTheLine)
{
    QString error;
    const auto options =
            parseSimOptions(words("--relays 1:4,6:6 --interface 6:2048 --strict-line"), &error);
    ASSERT_TRUE(options) << error.toStdString();
    EXPECT_TRUE(options->strictLine);
    RelayLine line;
    options->applyTo(line);
    EXPECT_TRUE(line.strictLine());
    EXPECT_EQ(line.relay(6)->registerValue(RelayModel::interfaceWordRegister), 0x2048);
    EXPECT_EQ(line.relay(1)->registerValue(RelayModel::interfaceWordRegister), 0x2844)
            << "9600 8N1 by default";

    EXPECT_FALSE(parseSimOptions(words("--relays 1:4 --interface 2:2048"), &error))
            << "no relay at 2";
    EXPECT_FALSE(parseSimOptions(words("--interface 1:XYZ"), &error));
    const auto plain = parseSimOptions(words("--relays 1:4"), &error);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->strictLine);
}

} // namespace
