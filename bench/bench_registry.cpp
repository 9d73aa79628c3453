// bench_registry: the relay register's speed.
//
// 1. Recording a snapshot of a type-6 relay into a SQLite register (one
//    transaction each, contents alternating so that both a new and a shared
//    content are recorded). Goal: under 5 ms.
// 2. `registry check` of 32 relays through `mivsim --baud 9600`: identify,
//    read and record each, against the compliant bound of the same
//    exchanges (request and reply bytes x 10 bits at 9600 bit/s plus a
//    3.5-character silence each, taken from the simulator's log of 32 plain
//    configuration reads). Goal: within 1.05 of the bound.
// 3. A register of 10,000 relays with 100 snapshots each on SQLite and on
//    PostgreSQL (Debian's server, started here): the history of one relay,
//    the list of one relay and the whole list. Goal: history and list of
//    one relay under 50 ms.
#include "SimulatedLine.h"
#include "config/ConfigReader.h"
#include "device/Identification.h"
#include "link/RelaySession.h"
#include "registry/RegistryCheck.h"
#include "registry/RegistryRecorder.h"
#include "registry/RegistryStore.h"
#include "support/PostgresServer.h"
#include "support/RecordingOperator.h"

#include <algorithm>
#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace miv;

namespace {

constexpr int relays = 32;
constexpr int baudRate = 9600;
constexpr double characterMs = 1000.0 * 10 / baudRate;

double msSince(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

SettingsRecord typeSixRecord(quint16 factory, int variant)
{
    SettingsRecord record;
    record.port = QStringLiteral("ttyUSB0");
    record.address = 6;
    record.factoryNumber = factory;
    record.typeCode = 6;
    record.deviceName = QStringLiteral("МИВ-06");
    record.softwareVersion = 7130;
    for (quint16 reg = 0x50; reg <= 0x5B; ++reg)
        record.registers[reg] = quint16(20 + variant);
    for (quint16 reg = 0x60; reg <= 0x6A; ++reg)
        record.registers[reg] = 30;
    record.registers[0x80] = 0x3F;
    record.registers[0x81] = 0x07;
    for (quint16 reg = 0x76; reg <= 0x7A; ++reg)
        record.registers[reg] = 0x0800;
    record.registers[0x82] = 0x1C7;
    return record;
}

void benchSnapshot()
{
    QTemporaryDir folder;
    RegistryStore store(*RegistryLocation::parse(folder.filePath(QStringLiteral("r.sqlite"))));
    if (!store.open()) {
        std::printf("snapshot: %s\n", qPrintable(store.error()));
        return;
    }
    QList<double> times;
    for (int i = 0; i < 400; ++i) {
        QElapsedTimer clock;
        clock.start();
        const RecordOutcome outcome =
                store.recordSettings(typeSixRecord(1234, i % 2 ? i : 0), {}, u'.');
        times << msSince(clock);
        if (!outcome.recorded) {
            std::printf("snapshot: %s\n", qPrintable(outcome.failure));
            return;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("snapshot on SQLite: %lld recorded, median %.2f ms, 95th percentile %.2f ms, "
                "worst %.2f ms\n",
                qlonglong(times.size()), times[times.size() / 2], times[times.size() * 95 / 100],
                times.back());
    std::printf("goal: a snapshot under 5 ms: %s\n",
                times[times.size() * 95 / 100] < 5.0 ? "met" : "MISSED");
}

// The bound of the exchanges the simulator logged.
double logBoundMs(const QString &path)
{
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    double bound = 0;
    for (const QByteArray &line : log.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        const qsizetype bytes = (entry.value(QStringLiteral("request")).toString().size()
                                 + entry.value(QStringLiteral("reply")).toString().size())
                / 2;
        bound += double(bytes) * characterMs + 3.5 * characterMs;
    }
    return bound;
}

void benchCheck()
{
    QTemporaryDir folder;
    const QString logPath = folder.filePath(QStringLiteral("sim.jsonl"));
    QString relayList;
    for (int address = 1; address <= relays; ++address)
        relayList += QStringLiteral("%1%2:%3")
                             .arg(address == 1 ? "" : ",")
                             .arg(address)
                             .arg(address % 2 ? 4 : 6);
    SimulatedLine line("bench_registry",
                       {QStringLiteral("--relays"), relayList, QStringLiteral("--log"), logPath},
                       baudRate);
    if (!line.ready())
        return;
    RecordingOperator op;
    QElapsedTimer clock;
    clock.start();
    for (int address = 1; address <= relays; ++address) {
        RelaySession session(line.bus());
        if (identifyRelay(session, op, address - 1).outcome
                    != IdentificationResult::Outcome::Identified
            || readConfiguration(session, op) != ConfigReadResult::Complete) {
            std::printf("check: relay %d not read\n", address);
            return;
        }
    }
    const double readsMs = msSince(clock);
    const double bound = logBoundMs(logPath);

    RegistryRecorder recorder(
            *RegistryLocation::parse(folder.filePath(QStringLiteral("r.sqlite"))));
    clock.restart();
    for (int address = 1; address <= relays; ++address) {
        RelaySession session(line.bus());
        session.recorder = &recorder;
        const RelayCheck check = checkRelay(session, op, quint8(address));
        if (check.result != RelayCheck::Result::NotApproved) {
            std::printf("check: relay %d: %s\n", address,
                        qPrintable(checkResultText(check.result)));
            return;
        }
    }
    const double checkMs = msSince(clock);
    std::printf("32 configuration reads (identification included): %.1f ms, compliant bound "
                "%.1f ms, ratio %.3f\n",
                readsMs, bound, readsMs / bound);
    std::printf("registry check of 32 relays (first sight, register made): %.1f ms, ratio %.3f "
                "to the bound, %.3f to the reads\n",
                checkMs, checkMs / bound, checkMs / readsMs);
    std::printf("goal: within 1.05 of the bound: %s\n", checkMs / bound <= 1.05 ? "met" : "MISSED");
}

// Fills the register with 10,000 relays of 100 snapshots each by SQL.
bool fillLargeRegister(RegistryStore &store, bool sqlite)
{
    const auto series = [sqlite](const QString &name, int count) {
        return sqlite ? QStringLiteral("(WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 "
                                       "FROM s WHERE n < %1) SELECT n FROM s) %2")
                                .arg(count)
                                .arg(name)
                      : QStringLiteral("generate_series(1, %1) AS %2(n)").arg(count).arg(name);
    };
    return store.inTransaction([&](QSqlQuery &query) {
        return store.exec(query,
                          QStringLiteral("INSERT INTO settings_contents (digest, type_code, "
                                         "registers) SELECT 'bench' || c.n, 4, '0050=' || c.n || "
                                         "';0051=250' FROM ")
                                  + series(QStringLiteral("c"), 100))
                && store.exec(query,
                              QStringLiteral("INSERT INTO relays (factory_number, type_code, "
                                             "device_name, software_version, first_seen, "
                                             "last_seen, last_port, last_address) SELECT r.n, 4, "
                                             "'МИВ-04', 7130, '2026-01-01T00:00:00.000Z', "
                                             "'2026-12-01T00:00:00.000Z', 'ttyUSB0', r.n % 32 + 1 "
                                             "FROM ")
                                      + series(QStringLiteral("r"), 10000))
                && store.exec(query,
                              QStringLiteral("INSERT INTO snapshots (relay_id, content_id, kind, "
                                             "taken_at, os_user, program_version, port, address, "
                                             "software_version, approval, note) SELECT r.id, "
                                             "(r.id + k.n) % 100 + 1, 'as-found', "
                                             "'2026-06-01T00:00:00.000Z', 'bench', '1.1', "
                                             "'ttyUSB0', r.last_address, 7130, 'none', '' "
                                             "FROM relays r CROSS JOIN ")
                                      + series(QStringLiteral("k"), 100)
                                      + QStringLiteral(" ORDER BY r.id, k.n"))
                && store.exec(
                        query,
                        QStringLiteral("UPDATE relays SET last_snapshot_id = (SELECT MAX(s.id) "
                                       "FROM snapshots s WHERE s.relay_id = relays.id), "
                                       "last_content_id = (relays.id + 100) % 100 + 1"));
    });
}

void benchLargeRegister(const char *name, const RegistryLocation &location, bool sqlite)
{
    RegistryStore store(location);
    QElapsedTimer clock;
    clock.start();
    if (!store.open() || !fillLargeRegister(store, sqlite)) {
        std::printf("%s: %s\n", name, qPrintable(store.error()));
        return;
    }
    if (!sqlite) {
        QSqlQuery analyze(store.database());
        analyze.exec(QStringLiteral("ANALYZE"));
    }
    std::printf("%s: 10,000 relays with 100 snapshots each made in %.1f s\n", name,
                msSince(clock) / 1000);
    const auto relay = store.relays(5000);
    if (!relay || relay->size() != 1) {
        std::printf("%s: relay 5000 not found\n", name);
        return;
    }
    double historyMs = 1e9;
    double oneMs = 1e9;
    double allMs = 1e9;
    qsizetype historySize = 0;
    qsizetype allSize = 0;
    for (int round = 0; round < 5; ++round) {
        clock.restart();
        historySize = store.history(relay->front().id).value_or(QList<RegistrySnapshot>{}).size();
        historyMs = std::min(historyMs, msSince(clock));
        clock.restart();
        store.relays(4999);
        oneMs = std::min(oneMs, msSince(clock));
        clock.restart();
        allSize = store.relays().value_or(QList<RegistryRelay>{}).size();
        allMs = std::min(allMs, msSince(clock));
    }
    std::printf("%s: history of one relay (%lld snapshots) %.2f ms, list of one relay %.2f ms, "
                "whole list (%lld relays) %.1f ms (best of 5)\n",
                name, qlonglong(historySize), historyMs, oneMs, qlonglong(allSize), allMs);
    std::printf("goal: history and list of one relay under 50 ms on %s: %s\n", name,
                historyMs < 50 && oneMs < 50 ? "met" : "MISSED");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchSnapshot();
    benchCheck();
    QTemporaryDir folder;
    benchLargeRegister("SQLite",
                       *RegistryLocation::parse(folder.filePath(QStringLiteral("big.sqlite"))),
                       true);
    PostgresServer server;
    if (!server.isRunning() || !server.createDatabase(QStringLiteral("bench"))) {
        std::printf("PostgreSQL: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    qputenv("PGPASSWORD", PostgresServer::password.toUtf8());
    benchLargeRegister("PostgreSQL", *RegistryLocation::parse(server.url(QStringLiteral("bench"))),
                       false);
    return 0;
}
