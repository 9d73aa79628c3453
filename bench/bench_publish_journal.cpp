// bench_publish_journal [SECONDS] [--first-start]: how soon a new journal
// entry reaches the broker on a full line. 32 relays at 9600 bit/s (the
// in-process loopback, paced as the wire), each with a full journal of 100
// entries, polled by the publisher with an interval of 1 s, started again on
// the state file an earlier run left (every entry published; with
// --first-start, without one: every journal is read whole, and the entries
// published are counted). For SECONDS (default 120) a new
// event goes into the journal of a relay drawn at random every 2 to 6 s:
// every other one a trip, which lights a lamp of the relay as well, the
// others a daily motor-hours record, which changes nothing else. Prints the
// delay from the event to the subscriber (median, 95th percentile, longest)
// for each kind, the time between two live values of a relay, and how many
// journal entries were read.
//
// Goal: every new journal entry at the subscriber within 30 s.
#include "link/PortLink.h"
#include "link/RelayBus.h"
#include "sim/LoopbackPort.h"
#include "sim/RelayLine.h"
#include "support/MqttBroker.h"
#include "telemetry/JournalLedger.h"
#include "telemetry/JournalRing.h"
#include "telemetry/LinePublisher.h"
#include "telemetry/MqttConnection.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <random>
#include <thread>
#include <vector>

using namespace miv;
using namespace miv::telemetry;

namespace {

constexpr int relayCount = 32;
constexpr int baudRate = 9600;
constexpr int tripCode = 33; // "Перегрузка по току"
constexpr int motorHoursCode = 16;
constexpr quint16 tripLamp = 0x0004;
constexpr int goalMs = 30000;

// A new event, when it is due and when it was written.
struct Event
{
    qint64 dueMs = 0; // since the start
    quint8 address = 0;
    int code = 0;
    qint64 writtenAtMs = 0; // this PC's clock, ms since 1970 UTC
    QString relayTime; // as the journal topic gives it
};

// The loopback port that writes the due events into the relays just before
// a request goes out: the relays are the publisher's thread's to touch.
class EventfulPort : public sim::LoopbackPort
{
public:
    EventfulPort(sim::RelayLine &line, std::vector<Event> &events)
        : LoopbackPort(line), m_line(line), m_events(events)
    {
        m_clock.start();
        setPacing(baudRate);
    }

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        while (m_next < m_events.size() && m_events[m_next].dueMs <= m_clock.elapsed())
            write(m_events[m_next++]);
        return LoopbackPort::writeData(data, size);
    }

private:
    void write(Event &event)
    {
        sim::RelayModel &relay = *m_line.relay(event.address);
        // Whole seconds: the relay's clock has no more.
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime when = now.addMSecs(-now.time().msec());
        relay.pushJournalEvent(event.code, when);
        if (event.code == tripCode)
            relay.setStatusBits(quint16(relay.registerValue(39) ^ tripLamp));
        event.writtenAtMs = QDateTime::currentMSecsSinceEpoch();
        event.relayTime = when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    }

    sim::RelayLine &m_line;
    std::vector<Event> &m_events;
    std::size_t m_next = 0;
    QElapsedTimer m_clock;
};

// The line as the publisher sees it: the eventful port, its bus, 9600 8N1.
class BenchLink final : public PortLink
{
public:
    BenchLink(sim::RelayLine &line, std::vector<Event> &events) : m_port(line, events)
    {
        m_settings.applyTo(m_bus);
    }
    RelayBus &bus() override { return m_bus; }
    const PortSettings &settings() const override { return m_settings; }
    bool open(QString *) override { return m_port.isOpen() || m_port.open(QIODevice::ReadWrite); }
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }

protected:
    bool applySettings(const PortSettings &settings, QString *) override
    {
        m_settings = settings;
        m_settings.applyTo(m_bus);
        return true;
    }

private:
    EventfulPort m_port;
    PortSettings m_settings;
    RelayBus m_bus{&m_port};
};

// The state file an earlier run left: every entry of every relay published,
// each relay's ring kept.
bool writeEarlierState(sim::RelayLine &line, const QString &path)
{
    JournalLedger ledger(path, QStringLiteral("l1"));
    for (quint8 address : line.addresses()) {
        const sim::RelayModel &relay = *line.relay(address);
        QList<QByteArray> entries;
        for (int slot = 0; slot < sim::RelayModel::journalSlots; ++slot)
            entries << relay.journalEntry(slot);
        const JournalRing ring(entries);
        const QString key = JournalLedger::relayKey(address, relay.registerValue(6));
        for (int slot = 0; slot < ring.size(); ++slot)
            ledger.markPublished(key,
                                 JournalLedger::entryKey(*ring.entryAt(slot), ring.rankAt(slot)));
        ledger.keepRing(key, entries);
    }
    QString error;
    if (!ledger.save(&error)) {
        std::fprintf(stderr, "bench_publish_journal: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

double percentile(std::vector<qint64> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return double(values[std::size_t(p * double(values.size() - 1))]) / 1000.0;
}

void printDelays(const char *kind, const std::vector<qint64> &delays, int written)
{
    std::printf("%s: %zu of %d at the subscriber; delay median %.1f s, 95th percentile %.1f s, "
                "longest %.1f s\n",
                kind, delays.size(), written, percentile(delays, 0.5), percentile(delays, 0.95),
                percentile(delays, 1.0));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    const bool firstStart = arguments.contains(QStringLiteral("--first-start"));
    const int seconds = !arguments.isEmpty() && arguments[0].toInt() > 0
            ? std::max(40, arguments[0].toInt())
            : 120;
    MqttBroker broker;
    if (!broker.isRunning()) {
        std::fprintf(stderr, "bench_publish_journal: %s\n", qPrintable(broker.errorText()));
        return 1;
    }
    QTemporaryDir folder;
    sim::RelayLine line;
    for (int address = 1; address <= relayCount; ++address)
        line.addRelay(quint8(address), address % 2 ? 4 : 6).setJournalLength(100);
    const QString stateFile = folder.filePath(QStringLiteral("publish-l1.json"));
    if (!firstStart && !writeEarlierState(line, stateFile))
        return 1;

    std::vector<Event> events;
    std::mt19937 random(7);
    for (qint64 at = 10000; at < (seconds - 35) * 1000LL; at += 2000 + random() % 4000)
        events.push_back({at,
                          quint8(1 + random() % relayCount),
                          events.size() % 2 ? motorHoursCode : tripCode,
                          0,
                          {}});

    MqttSubscriber subscriber(broker.port(), QStringLiteral("miv/l1/#"));
    BenchLink link(line, events);
    PublishSettings settings;
    settings.topics.line = QStringLiteral("l1");
    for (int address = 1; address <= relayCount; ++address)
        settings.addresses << quint8(address);
    settings.metadata.client = QStringLiteral("bench");
    MqttConnection::Settings mqtt;
    mqtt.host = QStringLiteral("127.0.0.1");
    mqtt.port = broker.port();
    mqtt.clientId = QStringLiteral("bench-publish-journal");
    mqtt.statusTopic = settings.topics.status();
    MqttConnection connection(mqtt, [](const QString &) {});
    QString error;
    JournalLedger ledger(stateFile, QStringLiteral("l1"));
    if (!ledger.load(&error) || !connection.start(&error)) {
        std::fprintf(stderr, "bench_publish_journal: %s\n", qPrintable(error));
        return 1;
    }
    connection.waitForFirstAttempt(10000);
    std::printf("bench_publish_journal: %d relays at %d bit/s, full journals, --interval 1, "
                "%s; %zu new events in %d s\n",
                relayCount, baudRate,
                firstStart ? "first start" : "started again on its state file", events.size(),
                seconds);

    std::atomic_bool stop = false;
    LinePublisher publisher(link, connection, ledger, settings, [](const QString &) {});
    std::thread polling([&] { publisher.run(stop); });
    QThread::sleep(ulong(seconds));
    stop = true;
    polling.join();
    connection.stop("offline", 5000);

    QHash<QString, qint64> received; // address|relay time: when the subscriber had it
    int published = 0;
    for (const auto &message : subscriber.messages()) {
        if (!message.topic.endsWith(QStringLiteral("/journal")))
            continue;
        ++published;
        const QString time = QJsonDocument::fromJson(message.payload)["time"].toString();
        received.insert(message.topic.section(u'/', 2, 2) + u'|' + time, message.receivedMs);
    }
    std::vector<qint64> trips, records, all;
    int tripsWritten = 0, recordsWritten = 0;
    for (const Event &event : events) {
        if (event.writtenAtMs == 0)
            continue;
        (event.code == tripCode ? tripsWritten : recordsWritten)++;
        const auto at = received.constFind(QString::number(event.address) + u'|' + event.relayTime);
        if (at == received.constEnd())
            continue;
        (event.code == tripCode ? trips : records).push_back(*at - event.writtenAtMs);
        all.push_back(*at - event.writtenAtMs);
    }
    printDelays("trips (a lamp lit)", trips, tripsWritten);
    printDelays("motor-hours records (nothing else changed)", records, recordsWritten);

    std::vector<qint64> gaps;
    for (int address = 1; address <= relayCount; ++address) {
        const auto live = subscriber.on(QStringLiteral("miv/l1/%1/live").arg(address));
        for (qsizetype i = 1; i < live.size(); ++i)
            gaps.push_back(live[i].receivedMs - live[i - 1].receivedMs);
    }
    std::printf("live values of a relay: every %.2f s (median), %.2f s at the 95th percentile, "
                "%.2f s at most (the first round identifies every relay)\n",
                percentile(gaps, 0.5), percentile(gaps, 0.95), percentile(gaps, 1.0));
    int journalReads = 0;
    for (const QByteArray &request : line.requests())
        journalReads += request.size() > 3 && request[1] == 3
                && (quint8(request[2]) << 8 | quint8(request[3])) >= 0x400;
    std::printf("journal entry reads: %d in %d s; journal entries published: %d\n", journalReads,
                seconds, published);
    const int written = tripsWritten + recordsWritten;
    const bool met = int(all.size()) == written && percentile(all, 1.0) * 1000 <= goalMs;
    std::printf("goal (every new entry at the subscriber within %d s): %s\n", goalMs / 1000,
                met ? "met" : "MISSED");
    return met ? 0 : 1;
}
