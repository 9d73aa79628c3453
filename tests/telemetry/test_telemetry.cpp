#include "core/CurrentDevice.h"
#include "core/JournalGrid.h"
#include "core/LiveValues.h"
#include "core/SessionFlags.h"
#include "device/LiveDisplay.h"
#include "telemetry/HomeAssistantDiscovery.h"
#include "telemetry/JournalLedger.h"
#include "telemetry/JournalRing.h"
#include "telemetry/SilentRelayBackoff.h"
#include "telemetry/TelemetryPayloads.h"
#include "telemetry/TelemetryTopics.h"

#include <gtest/gtest.h>
#include <map>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>

using namespace miv;
using namespace miv::telemetry;

namespace {

QJsonObject liveJson(const std::map<int, quint16> &registers, quint16 typeCode = 4)
{
    LiveValues live;
    for (const auto &[reg, value] : registers) {
        if (reg < 48)
            live.blockA[std::size_t(reg - 16)] = value;
        else
            live.blockB[std::size_t(reg - 112)] = value;
    }
    const QDateTime time(QDate(2025, 3, 3), QTime(8, 4, 0, 125), Qt::UTC);
    return QJsonDocument::fromJson(livePayload(live, typeCode, time)).object();
}

TEST(TelemetryPayloads, liveValuesAsNumbersAtThePagesResolution)
{
    struct Case
    {
        const char *what;
        std::map<int, quint16> registers;
        quint16 typeCode;
        const char *key;
        QJsonValue value;
    };
    const Case cases[] = {
            {"currents in A, one decimal",
             {{21, 123}, {22, 5}, {23, 0}},
             4,
             "currents",
             QJsonArray{12.3, 0.5, 0}},
            {"voltages in V",
             {{24, 380}, {25, 221}, {26, 0}},
             4,
             "voltages",
             QJsonArray{380, 221, 0}},
            {"temperature plus", {{28, 0x0319}}, 4, "temperature", 25},
            {"temperature minus", {{28, 0x0205}}, 4, "temperature", -5},
            {"temperature sensor off is null", {{28, 0x0119}}, 4, "temperature", QJsonValue()},
            {"frequency whole Hz, half to even", {{17, 505}}, 4, "frequency", 50},
            {"cos phi with current", {{21, 2}, {42, 0x0155}}, 4, "cos_phi", 0.85},
            {"no current: cos phi zero", {{21, 1}, {42, 0x0155}}, 4, "cos_phi", 0},
            {"powers with current",
             {{22, 30}, {43, 123}, {44, 45}, {45, 131}},
             4,
             "powers",
             QJsonObject{{"active", 12.3}, {"reactive", 4.5}, {"apparent", 13.1}}},
            {"no current: powers zero",
             {{21, 1}, {43, 500}},
             4,
             "powers",
             QJsonObject{{"active", 0}, {"reactive", 0}, {"apparent", 0}}},
            {"insulation in MΩ", {{16, 0x0137}}, 4, "insulation", 5.5},
            {"asymmetry low byte", {{18, 0x0107}}, 4, "asymmetry", 7},
            {"leakage", {{35, 12}}, 4, "leakage", 12},
            {"motor hours over 16 bits", {{112, 1}, {113, 34464}}, 4, "motor_hours", 100000},
            {"motor minutes", {{114, 0x012D}}, 4, "motor_minutes", 45},
            {"running from the output Работа", {{40, 1}}, 4, "running", true},
            {"alarm lamps by caption",
             {{39, 0x4310}, {40, 2}},
             4,
             "alarms",
             QJsonArray{"Ограничение пусков", "Недогрузка", "Асимметрия",
                        "Обрыв фазы: по напряжению"}},
            {"the output relays' state", {{40, 3}}, 4, "state", "Авария"},
            {"sensor lamps only on type 6: type 4", {{41, 0x0002}}, 4, "alarms", QJsonArray{}},
            {"sensor lamps only on type 6: type 6",
             {{41, 0x00F3}},
             6,
             "alarms",
             QJsonArray{"Сухой ход"}},
            {"time of the reading, UTC", {}, 4, "time", "2025-03-03T08:04:00.125Z"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(liveJson(c.registers, c.typeCode).value(QLatin1String(c.key)), c.value) << c.what;
}

TEST(TelemetryPayloads, infoNamesTheRelayAsTheMemoDoes)
{
    CurrentDevice device;
    device.networkAddress = 6;
    device.deviceName = QStringLiteral("МИВ-06    ");
    device.typeCode = 6;
    device.softwareVersion = 2332;
    device.factoryNumber = 1006;
    EXPECT_EQ(infoPayload(device),
              QStringLiteral(R"({"address":6,"factory":1006,"name":"МИВ-06","type":6,)"
                             R"("version":"v1 от 4.7.2008"})")
                      .toUtf8());
}

TEST(TelemetryPayloads, journalEntryFromTheGridRow)
{
    JournalGrid grid;
    grid.setRow(0, QStringLiteral("1"), QStringLiteral("2025.03.04 03:48:52"),
                QStringLiteral("Превышение температуры"), QStringLiteral("+103 °C"));
    grid.setRow(1, QStringLiteral("2"), QStringLiteral("2025.13.00 25:00:00"),
                QStringLiteral("Неизвестно"), {});
    EXPECT_EQ(journalPayload(journalEntryOfRow(grid, 0)),
              QStringLiteral(R"({"code":44,"event":"Превышение температуры","info":"+103 °C",)"
                             R"("time":"2025-03-04T03:48:52"})")
                      .toUtf8());
    const QJsonObject noDate =
            QJsonDocument::fromJson(journalPayload(journalEntryOfRow(grid, 1))).object();
    EXPECT_TRUE(noDate.value(QStringLiteral("time")).isNull()) << "a relay's date that is no date";
    EXPECT_EQ(noDate.value(QStringLiteral("code")), 0);
}

// A journal read's reply: address, function 3, byte count 22, the data bytes.
ReplyString journalReply(std::initializer_list<int> data)
{
    ReplyString reply("\x01\x03\x16", 3);
    for (int byte : data)
        reply.append(char(byte));
    reply.resize(3 + 22, '\0');
    return reply;
}

TEST(TelemetryPayloads, aJournalEntryReadsTheSameInEveryLocaleWithItsNumbers)
{
    struct Case
    {
        const char *what;
        ReplyString reply;
        const char *payload;
    };
    const Case cases[] = {
            {"a trip: currents, asymmetry, voltages",
             journalReply({30,   4, 3, 25, 3, 48,   52,   0,    0x01, 0x31, 0x01,
                           0x2E, 0, 0, 0,  7, 0x01, 0x7C, 0x01, 0x7D, 0,    0}),
             R"({"asymmetry":7,"code":30,"currents":[30.5,30.2,0],"event":"Превышения )"
             R"(напряжения","info":"Ia = 30.5 А, Ib = 30.2 А, Ic = 0.0 А, Iут = 7 %, )"
             R"(Ua = 380 В, Ub = 381 В, Uc = 0 В","time":"2025-03-04T03:48:52",)"
             R"("voltages":[380,381,0]})"},
            {"insulation in MΩ", journalReply({43, 4, 3, 25, 3, 48, 52, 0, 0, 55}),
             R"({"code":43,"event":"Нарушение изоляции","info":"5.5 МОм","insulation":5.5,)"
             R"("time":"2025-03-04T03:48:52"})"},
            {"temperature below zero", journalReply({44, 4, 3, 25, 3, 48, 52, 0, 1, 5}),
             R"({"code":44,"event":"Превышение температуры","info":"-5 °C","temperature":-5,)"
             R"("time":"2025-03-04T03:48:52"})"},
            {"motor hours", journalReply({16, 4, 3, 25, 0, 0, 0, 0, 0, 0, 0x04, 0x4F, 49}),
             R"({"code":16,"event":"Запись в журнал событий раз в сутки значения )"
             R"(моторесурса","info":"1103 часов 49 минут","motor_hours":1103,)"
             R"("motor_minutes":49,"time":"2025-03-04T00:00:00"})"},
    };
    for (const Case &c : cases) {
        const std::optional<JournalEntry> entry = journalEntryOfReply(c.reply);
        ASSERT_TRUE(entry) << c.what;
        EXPECT_EQ(journalPayload(*entry), QString::fromUtf8(c.payload).toUtf8()) << c.what;
        // The window's separator changes the text, never what the entry is.
        JournalEntry shownElsewhere = *entry;
        shownElsewhere.info.replace(u'.', u',');
        EXPECT_EQ(JournalLedger::entryKey(shownElsewhere, 1), JournalLedger::entryKey(*entry, 1))
                << c.what;
        JournalEntry otherNumbers = *entry;
        otherNumbers.figures = journalFigures(journalReply({c.reply[3] == 16 ? 30 : 16}));
        EXPECT_NE(JournalLedger::entryKey(otherNumbers, 1), JournalLedger::entryKey(*entry, 1))
                << c.what;
    }
    EXPECT_FALSE(journalEntryOfReply(journalReply({0}))) << "code 0: the journal's end";
}

TEST(TelemetryTopics, lineNamesAndTheirChecks)
{
    EXPECT_EQ(lineNameFromPort(QStringLiteral("/dev/ttyUSB0")), QStringLiteral("ttyUSB0"));
    EXPECT_EQ(lineNameFromPort(QStringLiteral("/dev/serial/by-id/usb-FTDI_X+1#2-if00")),
              QStringLiteral("usb-FTDI_X_1_2-if00"));
    EXPECT_EQ(lineNameFromPort(QStringLiteral("\\\\.\\COM10")), QStringLiteral("COM10"));
    EXPECT_EQ(lineNameFromPort(QStringLiteral("tcp://[fe80::1]:4001")),
              QStringLiteral("_fe80__1__4001"));
    EXPECT_FALSE(prefixProblem(QStringLiteral("plant/miv")));
    for (const char *bad : {"", "a//b", "a/+", "#", "$SYS", "a/"})
        EXPECT_TRUE(prefixProblem(QLatin1String(bad))) << bad;
    EXPECT_FALSE(lineNameProblem(QStringLiteral("line-1")));
    for (const char *bad : {"", "a/b", "l+", "$x"})
        EXPECT_TRUE(lineNameProblem(QLatin1String(bad))) << bad;
    const TelemetryTopics topics{QStringLiteral("miv"), QStringLiteral("l1")};
    EXPECT_EQ(topics.status(), QStringLiteral("miv/l1/status"));
    EXPECT_EQ(topics.journal(17), QStringLiteral("miv/l1/17/journal"));
}

CurrentDevice relayOfType(quint16 typeCode, quint8 address = 1)
{
    CurrentDevice device;
    device.networkAddress = address;
    device.typeCode = typeCode;
    device.deviceName = typeCode == 6 ? QStringLiteral("МИВ-06") : QStringLiteral("МИВ-04");
    return device;
}

TEST(HomeAssistantDiscovery, placesThatWereOneDeviceGetNodesAndIdsOfTheirOwn)
{
    const TelemetryTopics places[] = {{"miv", "a.b"}, {"miv", "a_b"}, {"x/y", "z"},
                                      {"x", "y_z"},   {"x_y", "z"},   {"miv", "ttyUSB0"}};
    QSet<QString> nodes;
    QSet<QString> ids;
    for (const TelemetryTopics &topics : places) {
        nodes << discoveryNode(topics, 1);
        for (const DiscoveryConfig &config :
             discoveryConfigs(QStringLiteral("ha"), topics, relayOfType(6), 60))
            if (!config.payload.isEmpty())
                ids << QJsonDocument::fromJson(config.payload)["unique_id"].toString();
    }
    const qsizetype placeCount = std::size(places);
    EXPECT_EQ(nodes.size(), placeCount);
    EXPECT_EQ(ids.size(), placeCount * (14 + alarmLamps(6).size()));
    // A plain line keeps the node of earlier versions; another empties that node's configs.
    EXPECT_EQ(discoveryNode(places[5], 1), QStringLiteral("miv_miv_ttyUSB0_1"));
    const QString former = QStringLiteral("ha/sensor/miv_miv_a_b_1/current_a/config");
    for (const DiscoveryConfig &config :
         discoveryConfigs(QStringLiteral("ha"), places[0], relayOfType(4), 60))
        if (config.topic == former) {
            EXPECT_TRUE(config.payload.isEmpty());
        }
    EXPECT_TRUE(discoveryTopics(QStringLiteral("ha"), places[0], 1).contains(former));
}

TEST(HomeAssistantDiscovery, everyAlarmOfTheTypeStaysAndEveryEntityExpires)
{
    EXPECT_EQ(liveExpirySeconds(1000), 60) << "at least a minute";
    EXPECT_EQ(liveExpirySeconds(20000), 200) << "ten intervals";
    for (quint16 type : {quint16(4), quint16(6)}) {
        QMap<QString, QByteArray> configs;
        for (const DiscoveryConfig &config : discoveryConfigs(
                     QStringLiteral("ha"), TelemetryTopics{"miv", "l1"}, relayOfType(type), 75))
            configs.insert(config.topic, config.payload);
        int alarms = 0;
        for (const auto &[lamp, caption] : alarmLamps(type)) {
            const QJsonObject alarm =
                    QJsonDocument::fromJson(
                            configs.value(
                                    QStringLiteral("ha/binary_sensor/miv_miv_l1_1/alarm_%1/config")
                                            .arg(lamp)))
                            .object();
            EXPECT_EQ(alarm["name"].toString(), caption) << type << " lamp " << lamp;
            alarms += !alarm.isEmpty();
        }
        int nonEmpty = 0;
        for (const QByteArray &payload : configs) {
            nonEmpty += !payload.isEmpty();
            if (!payload.isEmpty()) {
                EXPECT_EQ(QJsonDocument::fromJson(payload)["expire_after"], 75);
            }
        }
        EXPECT_EQ(alarms, alarmLamps(type).size());
        EXPECT_EQ(nonEmpty, 14 + alarms) << "only the other type's alarms emptied";
    }
}

JournalEntry entry(const char *date, int code, const char *info = "")
{
    return {QLatin1String(date), code, {}, QString::fromUtf8(info), {}};
}

TEST(JournalLedger, entriesKnownByWhatTheySayAndTheRelayByItsFactoryNumber)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("state/publish-l1.json"));
    const QString relay = JournalLedger::relayKey(1, 1001);
    // Two equal entries in one reading are two entries.
    const QList<JournalEntry> reading{entry("2025.03.03 09:00:00", 1),
                                      entry("2025.03.03 09:00:05", 60),
                                      entry("2025.03.03 09:00:05", 60)};
    const QStringList keys = JournalLedger::entryKeys(reading);
    ASSERT_EQ(keys.size(), 3);
    EXPECT_NE(keys[1], keys[2]);
    {
        JournalLedger ledger(path, QStringLiteral("l1"));
        QString error;
        ASSERT_TRUE(ledger.load(&error)) << "no file yet: nothing published";
        ledger.markPublished(relay, keys[0]);
        ledger.markPublished(relay, keys[1]);
        ASSERT_TRUE(ledger.save(&error)) << error.toStdString();
    }
    JournalLedger ledger(path, QStringLiteral("l1"));
    QString error;
    ASSERT_TRUE(ledger.load(&error)) << error.toStdString();
    EXPECT_TRUE(ledger.isPublished(relay, keys[0]));
    EXPECT_TRUE(ledger.isPublished(relay, keys[1]));
    EXPECT_FALSE(ledger.isPublished(relay, keys[2])) << "the second of two equal entries";
    // The same entry at another slot, after the journal wrapped, stays published.
    const QList<JournalEntry> wrapped{entry("2025.03.04 00:00:00", 16, "1103 часов 49 минут"),
                                      entry("2025.03.03 09:00:00", 1)};
    EXPECT_TRUE(ledger.isPublished(relay, JournalLedger::entryKeys(wrapped)[1]));
    EXPECT_FALSE(ledger.isPublished(relay, JournalLedger::entryKeys(wrapped)[0]));
    // Another relay at the same address has a journal of its own.
    EXPECT_FALSE(ledger.isPublished(JournalLedger::relayKey(1, 1002), keys[0]));
    // A record keeps the last keysKept keys.
    for (int k = 0; k < JournalLedger::keysKept; ++k)
        ledger.markPublished(relay, QString::number(k));
    EXPECT_FALSE(ledger.isPublished(relay, keys[0]));
    EXPECT_TRUE(ledger.isPublished(relay, QStringLiteral("0")));

    JournalLedger otherLine(path, QStringLiteral("l2"));
    EXPECT_FALSE(otherLine.load(&error)) << "the file of another line";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"line\": \"l1\", \"relays\": [");
    file.close();
    EXPECT_FALSE(ledger.load(&error)) << "a damaged file is refused, not taken as empty";
    for (const char *wrong :
         {R"({"line":"l1","relays":[1,2]})", R"({"line":"l1","relays":{"1/1":"x"}})",
          R"({"line":"l1","relays":{"1/1":[1]}})", R"(["l1"])"}) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(wrong);
        file.close();
        error.clear();
        EXPECT_FALSE(ledger.load(&error)) << wrong;
        EXPECT_TRUE(error.contains(QStringLiteral("not a state file"))) << error.toStdString();
        EXPECT_FALSE(error.contains(QStringLiteral("no error"))) << error.toStdString();
    }
}

TEST(JournalLedger, theFolderIsCheckedAtStartAndThePreviousStateKept)
{
    QTemporaryDir folder;
    QFile blocker(folder.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    JournalLedger nowhere(folder.filePath(QStringLiteral("file/state.json")), QStringLiteral("l1"));
    EXPECT_FALSE(nowhere.checkWritable(&error)) << "a folder under a file";
    EXPECT_TRUE(error.startsWith(folder.filePath(QStringLiteral("file")))) << error.toStdString();

    const QString path = folder.filePath(QStringLiteral("state.json"));
    JournalLedger ledger(path, QStringLiteral("l1"));
    ASSERT_TRUE(ledger.checkWritable(&error)) << error.toStdString();
    ledger.markPublished(QStringLiteral("1/1001"), QStringLiteral("first"));
    ASSERT_TRUE(ledger.save(&error)) << error.toStdString();
    EXPECT_FALSE(QFile::exists(ledger.backupPath())) << "nothing to keep yet";
    ledger.markPublished(QStringLiteral("1/1001"), QStringLiteral("second"));
    ASSERT_TRUE(ledger.save(&error)) << error.toStdString();
    JournalLedger backup(ledger.backupPath(), QStringLiteral("l1"));
    ASSERT_TRUE(backup.load(&error)) << error.toStdString();
    EXPECT_TRUE(backup.isPublished(QStringLiteral("1/1001"), QStringLiteral("first")));
    EXPECT_FALSE(backup.isPublished(QStringLiteral("1/1001"), QStringLiteral("second")));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 3)
            << "no probe file left behind";
}

// An entry's 22 bytes: the code and the date of day 1 of March 2025.
QByteArray journalBytes(int code, int day, int hour, int minute = 0)
{
    QByteArray bytes(22, '\0');
    bytes[0] = char(code);
    bytes[1] = char(day);
    bytes[2] = 3;
    bytes[3] = 25;
    bytes[4] = char(hour);
    bytes[5] = char(minute);
    return bytes;
}

TEST(JournalRing, theRelaysNextSlotFromTheRingsEndOrItsDates)
{
    QList<QByteArray> growing{journalBytes(1, 1, 8), journalBytes(3, 1, 9)};
    JournalRing notFull(growing);
    EXPECT_EQ(notFull.writingPlaces(), QList<int>{2}) << "the end of a ring not full";
    EXPECT_TRUE(notFull.isNewAt(2, journalBytes(4, 1, 10)));
    EXPECT_FALSE(notFull.isNewAt(1, journalBytes(3, 1, 9)));
    EXPECT_FALSE(notFull.put(3, journalBytes(4, 1, 10))) << "no gap in a ring";
    EXPECT_TRUE(notFull.put(2, journalBytes(4, 1, 10)));
    EXPECT_EQ(notFull.size(), 3);

    // A full ring that went round: the newest entry in slot 39.
    QList<QByteArray> full;
    for (int slot = 0; slot < JournalRing::slotCount; ++slot)
        full << journalBytes(16, slot < 40 ? 20 : 10, slot / 60, slot % 60);
    EXPECT_EQ(JournalRing(full).writingPlaces(), QList<int>{40});
    // The clock set back to day 18 at slot 20: the dates fall twice; the
    // steeper fall first.
    for (int slot = 20; slot < 40; ++slot)
        full[slot] = journalBytes(16, 18, 0, slot);
    EXPECT_EQ(JournalRing(full).writingPlaces(), (QList<int>{40, 20}));
    // A clock that never ran: the dates tell nothing.
    EXPECT_EQ(JournalRing(QList<QByteArray>(100, journalBytes(1, 1, 0))).writingPlaces(),
              QList<int>{0});

    // Two equal entries rank as a whole reading ranks them.
    JournalRing twice({journalBytes(5, 1, 8), journalBytes(3, 1, 9), journalBytes(5, 1, 8)});
    EXPECT_EQ(twice.rankAt(0), 1);
    EXPECT_EQ(twice.rankAt(2), 2);
    EXPECT_EQ(
            JournalLedger::entryKey(*twice.entryAt(2), twice.rankAt(2)),
            JournalLedger::entryKeys({*twice.entryAt(0), *twice.entryAt(1), *twice.entryAt(2)})[2]);
}

TEST(JournalLedger, keepsEachRelaysRingAndReadsAFileWithoutOne)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("state.json"));
    const QList<QByteArray> ring{journalBytes(1, 1, 8), journalBytes(33, 2, 9)};
    QString error;
    {
        JournalLedger ledger(path, QStringLiteral("l1"));
        ledger.keepRing(QStringLiteral("1/1001"), ring);
        EXPECT_TRUE(ledger.hasUnsavedChanges());
        ASSERT_TRUE(ledger.save(&error)) << error.toStdString();
    }
    JournalLedger ledger(path, QStringLiteral("l1"));
    ASSERT_TRUE(ledger.load(&error)) << error.toStdString();
    EXPECT_EQ(ledger.ring(QStringLiteral("1/1001")), ring);
    EXPECT_TRUE(ledger.ring(QStringLiteral("1/1002")).isEmpty());
    // A ring is only a saving: one that is no ring is left out, the keys stay.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(R"({"line":"l1","relays":{"1/1001":["k"]},"rings":{"1/1001":["0102"]}})");
    file.close();
    ASSERT_TRUE(ledger.load(&error)) << error.toStdString();
    EXPECT_TRUE(ledger.ring(QStringLiteral("1/1001")).isEmpty());
    EXPECT_TRUE(ledger.isPublished(QStringLiteral("1/1001"), QStringLiteral("k")));
}

TEST(SilentRelayBackoff, theRetriesAtTheNextRoundsThenWaitsThatDoubleUpTo30Seconds)
{
    struct Case
    {
        int retries;
        QList<int> waitsAfterEachMiss; // ms, from the first miss on
    };
    const Case cases[] = {
            {2, {0, 0, 2000, 4000, 8000, 16000, 30000, 30000}},
            {0, {2000, 4000, 8000, 16000, 30000, 30000}},
    };
    for (const Case &c : cases) {
        QList<int> waits;
        for (int miss = 1; miss <= c.waitsAfterEachMiss.size(); ++miss)
            waits << SilentRelayBackoff::waitMs(miss, c.retries);
        EXPECT_EQ(waits, c.waitsAfterEachMiss) << "retries " << c.retries;
        EXPECT_FALSE(SilentRelayBackoff::isOffline(c.retries, c.retries));
        EXPECT_TRUE(SilentRelayBackoff::isOffline(c.retries + 1, c.retries));
    }
}

} // namespace
