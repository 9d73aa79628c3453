// mivctl publish against Debian's mosquitto and mivsim on a pseudo-terminal:
// what a subscriber gets, and what happens when the relay, the line, the
// publisher or the broker goes away.
#include "support/LoopbackLink.h"
#include "support/MqttBroker.h"
#include "support/ProgramRun.h"
#include "support/SimProcess.h"
#include "telemetry/JournalLedger.h"
#include "telemetry/LinePublisher.h"
#include "telemetry/MqttConnection.h"

#include <gtest/gtest.h>
#include <optional>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int generousMs = 60000;

// A running `mivctl publish`, its standard error kept.
class Publisher
{
public:
    Publisher(const QString &port, const QString &broker, const QStringList &options,
              const QString &folder, const QProcessEnvironment &environment = {})
    {
        if (!environment.isEmpty())
            m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(folder);
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.start(programPath(QStringLiteral("mivctl")),
                        QStringList{QStringLiteral("--port"), port, QStringLiteral("publish"),
                                    QStringLiteral("--broker"), broker, QStringLiteral("--line"),
                                    QStringLiteral("l1"), QStringLiteral("--interval"),
                                    QStringLiteral("0.2")}
                                + options);
        m_process.waitForStarted(generousMs);
    }
    ~Publisher()
    {
        m_process.kill();
        m_process.waitForFinished(generousMs);
    }

    bool waitForLog(const QString &text)
    {
        const QDeadlineTimer deadline(generousMs);
        while (!log().contains(text)) {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return log().contains(text);
            m_process.waitForReadyRead(100);
        }
        return true;
    }
    QString log()
    {
        m_log += QString::fromUtf8(m_process.readAllStandardError());
        return m_log;
    }
    // The exit code after SIGTERM (or by itself); -1 when it did not end.
    int stop(int signal = SIGTERM)
    {
        if (m_process.state() != QProcess::NotRunning)
            ::kill(pid_t(m_process.processId()), signal);
        return finished();
    }
    int finished()
    {
        if (!m_process.waitForFinished(generousMs)
            || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        log();
        return m_process.exitCode();
    }

private:
    QProcess m_process;
    QString m_log;
};

// A TCP relay between a publisher and the broker that can hold back what
// the broker sends (its acknowledgements among it) while the publisher's
// messages go through.
class HoldingProxy
{
public:
    explicit HoldingProxy(quint16 brokerPort) : m_brokerPort(brokerPort)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), length);
        ::listen(m_listener, 1);
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~HoldingProxy()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_thread.join();
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    void hold(bool held) { m_held = held; }

private:
    void serve()
    {
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        const int broker = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(m_brokerPort);
        ::connect(broker, reinterpret_cast<sockaddr *>(&address), sizeof address);
        QByteArray held;
        while (!m_stop) {
            pollfd fds[2] = {{client, POLLIN, 0}, {broker, POLLIN, 0}};
            if (::poll(fds, 2, 20) < 0)
                break;
            char buffer[4096];
            if (fds[0].revents & (POLLIN | POLLHUP)) {
                const ssize_t n = ::read(client, buffer, sizeof buffer);
                if (n <= 0 || ::write(broker, buffer, size_t(n)) != n)
                    break;
            }
            if (fds[1].revents & (POLLIN | POLLHUP)) {
                const ssize_t n = ::read(broker, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                held.append(buffer, n);
            }
            if (!m_held && !held.isEmpty()) {
                if (::write(client, held.constData(), size_t(held.size())) != held.size())
                    break;
                held.clear();
            }
        }
        ::close(client);
        ::close(broker);
    }

    quint16 m_brokerPort;
    quint16 m_port = 0;
    int m_listener = -1;
    std::atomic_bool m_stop = false;
    std::atomic_bool m_held = false;
    std::thread m_thread;
};

QJsonObject json(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

bool isOnline(const MqttSubscriber::Message &message)
{
    return json(message.payload).value(QStringLiteral("online")).toBool();
}

class PublishToBroker : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(broker.isRunning()) << broker.errorText().toStdString();
        ASSERT_TRUE(folder.isValid());
    }
    QString stateFile() const { return folder.filePath(QStringLiteral("state.json")); }

    MqttBroker broker;
    QTemporaryDir folder;
};

TEST_F(PublishToBroker, valuesRetainedStateAndASilentRelay)
{
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4,6:6,17:4"),
                    QStringLiteral("--silent"), QStringLiteral("17"),
                    QStringLiteral("--status-bits"), QStringLiteral("1:0010")});
    ASSERT_TRUE(sim.isRunning());
    MqttSubscriber early(broker.port(), QStringLiteral("miv/l1/#"));
    Publisher publisher(sim.portPath(), broker.address(),
                        {QStringLiteral("--addresses"), QStringLiteral("1,6,17"),
                         QStringLiteral("--state-file"), stateFile()},
                        folder.path());
    ASSERT_TRUE(early.waitForText(QStringLiteral("miv/l1/17/state"), QStringLiteral("false")))
            << publisher.log().toStdString();
    ASSERT_TRUE(early.waitFor([](const auto &m) {
        return std::count_if(m.begin(), m.end(),
                             [](const auto &x) { return x.topic == "miv/l1/6/live"; })
                >= 2;
    }));

    // A subscriber that comes later finds the retained topics.
    MqttSubscriber late(broker.port(), QStringLiteral("miv/l1/#"));
    ASSERT_TRUE(late.waitFor([](const auto &m) { return m.size() >= 9; }));
    const auto retained = [&late](const QString &topic) {
        const auto found = late.on(topic);
        return found.isEmpty() || !found.first().retained ? QByteArray() : found.first().payload;
    };
    EXPECT_EQ(retained(QStringLiteral("miv/l1/status")), QByteArray("online"));
    EXPECT_EQ(retained(QStringLiteral("miv/l1/1/info")),
              QStringLiteral(R"({"address":1,"factory":1001,"name":"МИВ-04","type":4,)"
                             R"("version":"v3 от 15.6.2010"})")
                      .toUtf8());
    EXPECT_TRUE(
            json(retained(QStringLiteral("miv/l1/6/state")))[QStringLiteral("online")].toBool());
    EXPECT_FALSE(json(retained(QStringLiteral("miv/l1/17/state")))[QStringLiteral("online")].toBool(
            true));
    EXPECT_TRUE(late.on(QStringLiteral("miv/l1/17/info")).isEmpty());
    const QJsonObject live = json(retained(QStringLiteral("miv/l1/1/live")));
    EXPECT_EQ(live[QStringLiteral("frequency")], 50);
    EXPECT_NEAR(live[QStringLiteral("voltages")][0].toDouble(), 220, 10);
    EXPECT_EQ(live[QStringLiteral("temperature")], 20);
    EXPECT_EQ(live[QStringLiteral("running")], false);
    EXPECT_EQ(live[QStringLiteral("alarms")].toVariant().toStringList(),
              QStringList{QStringLiteral("Недогрузка")});
    EXPECT_EQ(publisher.stop(), 0) << publisher.log().toStdString();
    EXPECT_TRUE(late.waitForText(QStringLiteral("miv/l1/status"), QStringLiteral("offline")));
}

TEST_F(PublishToBroker, lastWillOnAHardKillSaysLostEvenToALateSubscriber)
{
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4")});
    MqttSubscriber subscriber(broker.port(), QStringLiteral("miv/l1/status"));
    Publisher publisher(sim.portPath(), broker.address(),
                        {QStringLiteral("--state-file"), stateFile()}, folder.path());
    ASSERT_TRUE(subscriber.waitForText(QStringLiteral("miv/l1/status"), QStringLiteral("online")));
    publisher.stop(SIGKILL);
    EXPECT_TRUE(subscriber.waitForText(QStringLiteral("miv/l1/status"), QStringLiteral("lost")));
    MqttSubscriber late(broker.port(), QStringLiteral("miv/l1/status"));
    ASSERT_TRUE(late.waitFor([](const auto &m) { return !m.isEmpty(); }));
    EXPECT_EQ(late.messages().first().payload, QByteArray("lost"));
    EXPECT_TRUE(late.messages().first().retained);
}

TEST_F(PublishToBroker, everyJournalEntryOnceAcrossARestart)
{
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4")});
    MqttSubscriber subscriber(broker.port(), QStringLiteral("miv/l1/#"));
    const QStringList options{QStringLiteral("--addresses"), QStringLiteral("1"),
                              QStringLiteral("--state-file"), stateFile()};
    const auto journal = [&subscriber] {
        return subscriber.on(QStringLiteral("miv/l1/1/journal"));
    };
    {
        Publisher first(sim.portPath(), broker.address(), options, folder.path());
        ASSERT_TRUE(subscriber.waitFor([&](const auto &) { return journal().size() >= 37; }));
        ASSERT_TRUE(first.waitForLog(QStringLiteral("journal of 37 entries, 37 new")));
        EXPECT_EQ(first.stop(), 0) << first.log().toStdString();
    }
    EXPECT_EQ(json(journal().first().payload),
              json(R"({"code":1,"event":"Включениие питания реле","info":"",)"
                   R"("time":"2025-03-03T09:17:31"})"));
    // Another locale writes numbers with a comma: the same entries.
    QProcessEnvironment russian = QProcessEnvironment::systemEnvironment();
    russian.insert(QStringLiteral("LC_ALL"), QStringLiteral("ru_RU.UTF-8"));
    russian.insert(QStringLiteral("LANG"), QStringLiteral("ru_RU.UTF-8"));
    const qsizetype liveBefore = subscriber.on(QStringLiteral("miv/l1/1/live")).size();
    Publisher second(sim.portPath(), broker.address(), options, folder.path(), russian);
    ASSERT_TRUE(second.waitForLog(QStringLiteral("journal of 37 entries as the state file keeps")))
            << second.log().toStdString();
    // Two rounds: the kept entries were weighed against the state file in between.
    ASSERT_TRUE(subscriber.waitFor([&](const auto &) {
        return subscriber.on(QStringLiteral("miv/l1/1/live")).size() >= liveBefore + 2;
    }));
    EXPECT_EQ(second.stop(), 0);
    // The clean stop's "offline" comes after anything published before it.
    ASSERT_TRUE(subscriber.waitFor([&](const auto &) {
        return subscriber.on(QStringLiteral("miv/l1/status")).size() >= 4;
    }));
    EXPECT_EQ(journal().size(), 37);
}

TEST_F(PublishToBroker, anAcknowledgementWithheldPastTheNextReadingPublishesEachEntryOnce)
{
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4")});
    MqttSubscriber subscriber(broker.port(), QStringLiteral("miv/l1/1/journal"));
    HoldingProxy proxy(broker.port());
    Publisher publisher(sim.portPath(), proxy.address(),
                        {QStringLiteral("--addresses"), QStringLiteral("1"),
                         QStringLiteral("--state-file"), stateFile(),
                         QStringLiteral("--journal-interval"), QStringLiteral("1")},
                        folder.path());
    ASSERT_TRUE(publisher.waitForLog(QStringLiteral("connected to broker")));
    proxy.hold(true);
    ASSERT_TRUE(publisher.waitForLog(QStringLiteral("journal of 37 entries, 37 new")))
            << publisher.log().toStdString();
    ASSERT_TRUE(publisher.waitForLog(QStringLiteral("journal of 37 entries, 0 new")))
            << "the next reading, with nothing acknowledged yet";
    proxy.hold(false);
    ASSERT_TRUE(subscriber.waitFor([](const auto &m) { return m.size() >= 37; }));
    EXPECT_EQ(publisher.stop(), 0) << publisher.log().toStdString();
    subscriber.waitFor([](const auto &) { return false; }, 1000);
    EXPECT_EQ(subscriber.messages().size(), 37);
    QFile state(stateFile());
    ASSERT_TRUE(state.open(QIODevice::ReadOnly));
    EXPECT_EQ(json(state.readAll()).value("relays").toObject().begin()->toArray().size(), 37)
            << "every entry remembered once acknowledged";
}

TEST_F(PublishToBroker, aLostLineMakesEveryRelayOfflineUntilItIsBack)
{
    const QString link = folder.filePath(QStringLiteral("line"));
    const QStringList simArguments{QStringLiteral("--relays"), QStringLiteral("1:4,6:6"),
                                   QStringLiteral("--link"), link};
    std::optional<SimProcess> sim;
    sim.emplace(simArguments);
    ASSERT_TRUE(sim->isRunning());
    MqttSubscriber subscriber(broker.port(), QStringLiteral("miv/l1/+/state"));
    Publisher publisher(link, broker.address(),
                        {QStringLiteral("--addresses"), QStringLiteral("1,6"),
                         QStringLiteral("--state-file"), stateFile()},
                        folder.path());
    const auto states = [&subscriber](int address) {
        QList<bool> online;
        for (const auto &message : subscriber.on(QStringLiteral("miv/l1/%1/state").arg(address)))
            online << isOnline(message);
        return online;
    };
    ASSERT_TRUE(subscriber.waitFor([&](const auto &) { return states(6) == QList<bool>{true}; }));
    sim.reset(); // the adapter pulled out
    ASSERT_TRUE(subscriber.waitFor([&](const auto &) {
        return states(1) == QList<bool>{true, false} && states(6) == QList<bool>{true, false};
    })) << publisher.log().toStdString();
    sim.emplace(simArguments); // and plugged in again under its name
    ASSERT_TRUE(sim->isRunning());
    EXPECT_TRUE(subscriber.waitFor([&](const auto &) {
        return states(1) == QList<bool>{true, false, true}
        && states(6) == QList<bool>{true, false, true};
    })) << publisher.log().toStdString();
}

TEST_F(PublishToBroker, theBrokerAwayAtStartGetsTheStateWhenItComes)
{
    const quint16 port = MqttBroker::freePort();
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4")});
    Publisher publisher(sim.portPath(), QStringLiteral("127.0.0.1:%1").arg(port),
                        {QStringLiteral("--state-file"), stateFile()}, folder.path());
    ASSERT_TRUE(publisher.waitForLog(QStringLiteral("not reached")));
    ASSERT_TRUE(publisher.waitForLog(QStringLiteral("relay 1: online")));
    MqttBroker late(std::nullopt, port);
    ASSERT_TRUE(late.isRunning()) << late.errorText().toStdString();
    MqttSubscriber subscriber(port, QStringLiteral("miv/l1/#"));
    EXPECT_TRUE(subscriber.waitForText(QStringLiteral("miv/l1/1/state"), QStringLiteral("true")));
    EXPECT_TRUE(subscriber.waitForText(QStringLiteral("miv/l1/1/info"), QStringLiteral("1001")));
    EXPECT_TRUE(
            subscriber.waitForText(QStringLiteral("miv/l1/1/live"), QStringLiteral("voltages")));
}

TEST_F(PublishToBroker, aStateFileThatCannotBeWrittenIsRefusedBeforeAnythingIsPublished)
{
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4")});
    QFile blocker(folder.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Publisher publisher(
            sim.portPath(), broker.address(),
            {QStringLiteral("--state-file"), folder.filePath(QStringLiteral("file/state.json"))},
            folder.path());
    EXPECT_EQ(publisher.finished(), 3);
    EXPECT_TRUE(publisher.log().contains(folder.filePath(QStringLiteral("file"))))
            << publisher.log().toStdString();
    EXPECT_FALSE(publisher.log().contains(QStringLiteral("connected")));
}

TEST_F(PublishToBroker, aRelayIsOfflineOnlyAfterTheRetriesAndASilentOneIsAskedLessOften)
{
    const QString simLog = folder.filePath(QStringLiteral("sim.jsonl"));
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4,6:6,17:4"),
                    QStringLiteral("--silent"), QStringLiteral("17"),
                    QStringLiteral("--ignore-requests"), QStringLiteral("6:1"),
                    QStringLiteral("--log"), simLog});
    ASSERT_TRUE(sim.isRunning());
    MqttSubscriber subscriber(broker.port(), QStringLiteral("miv/l1/#"));
    Publisher publisher(sim.portPath(), broker.address(),
                        {QStringLiteral("--addresses"), QStringLiteral("1,6,17"),
                         QStringLiteral("--state-file"), stateFile(),
                         QStringLiteral("--journal-interval"), QStringLiteral("3600")},
                        folder.path());
    ASSERT_TRUE(subscriber.waitForText(QStringLiteral("miv/l1/17/state"), QStringLiteral("false")))
            << publisher.log().toStdString();
    const auto requestsTo = [&simLog](int address) {
        QFile file(simLog);
        int count = 0;
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray &line : file.readAll().split('\n'))
                count += json(line).value(QStringLiteral("address")).toInt() == address;
        return count;
    };
    const int silentBefore = requestsTo(17);
    const int answeringBefore = requestsTo(1);
    ASSERT_TRUE(subscriber.waitFor([&](const auto &) {
        return requestsTo(1) - answeringBefore >= 60;
    })) << publisher.log().toStdString();
    EXPECT_LE(requestsTo(17) - silentBefore, 6) << "asked again after growing waits";
    // Relay 6 lost one request: it was never published offline.
    for (const auto &message : subscriber.on(QStringLiteral("miv/l1/6/state")))
        EXPECT_TRUE(isOnline(message)) << message.payload.toStdString();
    EXPECT_FALSE(subscriber.on(QStringLiteral("miv/l1/6/state")).isEmpty());
}

// What a subscriber finds retained under `prefix` (discovery configs, a line), by topic.
QMap<QString, QJsonObject> retainedConfigs(quint16 port, const QString &prefix, int atLeast)
{
    MqttSubscriber subscriber(port, prefix + QStringLiteral("/#"));
    subscriber.waitFor([&](const auto &m) { return m.size() >= atLeast; });
    subscriber.waitFor([](const auto &) { return false; }, 1000); // the rest of the burst
    QMap<QString, QJsonObject> configs;
    for (const auto &message : subscriber.messages())
        if (message.retained && !message.payload.isEmpty())
            configs.insert(message.topic, json(message.payload));
    return configs;
}

// A publisher of line l1 in this process over `link`, until its own log
// says `until` (or a minute passed): the relays are touched from its log,
// in its thread.
void publishInProcess(miv::PortLink &link, quint16 brokerPort, const QString &stateFile,
                      const QList<quint8> &addresses,
                      const std::function<bool(const QString &)> &until)
{
    using namespace miv::telemetry;
    MqttConnection::Settings mqtt;
    mqtt.host = QStringLiteral("127.0.0.1");
    mqtt.port = brokerPort;
    mqtt.clientId = QStringLiteral("in-process");
    mqtt.statusTopic = QStringLiteral("miv/l1/status");
    MqttConnection connection(mqtt, [](const QString &) {});
    QString error;
    ASSERT_TRUE(connection.start(&error)) << error.toStdString();
    connection.waitForFirstAttempt(generousMs);
    JournalLedger ledger(stateFile, QStringLiteral("l1"));
    PublishSettings settings;
    settings.topics.line = QStringLiteral("l1");
    settings.addresses = addresses;
    settings.intervalMs = 50;
    std::atomic_bool stop = false;
    LinePublisher publisher(link, connection, ledger, std::move(settings),
                            [&](const QString &line) { stop = stop || until(line); });
    std::thread watchdog([&stop] {
        for (int k = 0; k < generousMs / 50 && !stop; ++k)
            QThread::msleep(50);
        stop = true;
    });
    publisher.run(stop);
    watchdog.join();
    connection.stop("offline", 5000);
}

// The journal slot a request reads; -1 for another request.
int journalSlotOf(const QByteArray &request)
{
    const int first = quint8(request[2]) << 8 | quint8(request[3]);
    return request.size() > 3 && request[1] == 3 && first >= 0x400 ? first - 0x400 : -1;
}

TEST_F(PublishToBroker, aNewJournalEntryIsReadWhereTheRelayWritesAndNothingElse)
{
    RelayLine line;
    RelayModel &relay = line.addRelay(1, 4); // a journal of 37 entries
    LoopbackLink link(line);
    MqttSubscriber subscriber(broker.port(), QStringLiteral("miv/l1/1/journal"));
    qsizetype before = -1;
    publishInProcess(link, broker.port(), stateFile(), {1}, [&](const QString &log) {
        if (log.contains(QStringLiteral("journal of 37 entries, 37 new"))) {
            before = line.requests().size();
            relay.pushJournalEvent(33, QDateTime(QDate(2025, 3, 5), QTime(10, 0), Qt::UTC));
        }
        return log.contains(QStringLiteral("journal read at its writing place, 1 entries, 1 new"));
    });
    ASSERT_GE(before, 0);
    QList<int> slotsRead;
    for (const QByteArray &request : line.requests().mid(before))
        if (journalSlotOf(request) >= 0)
            slotsRead << journalSlotOf(request);
    // The new entry's slot, then only the next one, empty, where the relay
    // writes next (asked again each round until the publisher stops, so as
    // often as the rounds the machine's pace allows).
    ASSERT_GE(slotsRead.size(), 2);
    EXPECT_EQ(slotsRead.first(), 37);
    EXPECT_EQ(slotsRead.mid(1), QList<int>(slotsRead.size() - 1, 38))
            << "read beyond the writing place";
    ASSERT_TRUE(subscriber.waitFor([](const auto &m) { return m.size() >= 38; }));
    EXPECT_EQ(json(subscriber.messages().last().payload).value("time"),
              QStringLiteral("2025-03-05T10:00:00"));
}

// A ring gone round is published as the relay wrote it, oldest first, not
// from slot 0.
TEST_F(PublishToBroker, aJournalGoneRoundIsPublishedOldestFirst)
{
    RelayLine line;
    RelayModel &relay = line.addRelay(1, 4); // a journal of 37 entries
    const QDateTime start(QDate(2025, 4, 1), QTime(8, 0), Qt::UTC);
    for (int event = 0; event < 80; ++event) // slots 37 to 99, then 0 to 16
        relay.pushJournalEvent(33, start.addSecs(60 * event));
    LoopbackLink link(line);
    MqttSubscriber subscriber(broker.port(), QStringLiteral("miv/l1/1/journal"));
    publishInProcess(link, broker.port(), stateFile(), {1}, [](const QString &log) {
        return log.contains(QStringLiteral("journal of 100 entries, 100 new"));
    });
    ASSERT_TRUE(subscriber.waitFor([](const auto &m) { return m.size() >= 100; }));
    QStringList times;
    for (const auto &message : subscriber.messages())
        times << json(message.payload).value("time").toString();
    QStringList inOrder = times;
    std::sort(inOrder.begin(), inOrder.end());
    EXPECT_EQ(times, inOrder);
    EXPECT_EQ(times.last(), QStringLiteral("2025-04-01T09:19:00"));
}

TEST_F(PublishToBroker, aRelayThatFallsSilentIsAskedOnceARoundWithOneShortQuery)
{
    RelayLine line;
    line.addRelay(1, 4);
    line.addRelay(6, 6);
    LoopbackLink link(line);
    link.bus().setReplyTimeoutMs(200);
    qsizetype before = -1;
    publishInProcess(link, broker.port(), stateFile(), {1, 6}, [&](const QString &log) {
        if (log == QStringLiteral("relay 6: online")) {
            before = line.requests().size();
            RelayLine::Faults silent;
            silent.silent = true;
            line.setFaults(6, silent);
        }
        return log.startsWith(QStringLiteral("relay 6: offline"));
    });
    ASSERT_GE(before, 0);
    QList<int> functions;
    for (const QByteArray &request : line.requests().mid(before))
        if (quint8(request[0]) == 6)
            functions << request[1];
    // One ask that waited the reply time-out, then the retries, one a round,
    // each the status query with the scan's wait; offline after them.
    ASSERT_EQ(functions.size(), 1 + link.bus().timing().retries);
    EXPECT_EQ(functions.mid(1), QList<int>(link.bus().timing().retries, 7));
}

TEST_F(PublishToBroker, twoPublishersOfOneLineNameKeepTheirConnectionsAndSaySo)
{
    SimProcess firstLine({QStringLiteral("--relays"), QStringLiteral("1:4")});
    SimProcess secondLine({QStringLiteral("--relays"), QStringLiteral("2:4")});
    MqttSubscriber subscriber(broker.port(), QStringLiteral("miv/l1/status"));
    Publisher first(firstLine.portPath(), broker.address(),
                    {QStringLiteral("--state-file"), stateFile()}, folder.path());
    ASSERT_TRUE(first.waitForLog(QStringLiteral("relay 1: online"))) << "its metadata retained";
    Publisher second(secondLine.portPath(), broker.address(),
                     {QStringLiteral("--state-file"), folder.filePath(QStringLiteral("2.json"))},
                     folder.path());
    EXPECT_TRUE(first.waitForLog(QStringLiteral("another publisher on line l1")))
            << first.log().toStdString();
    EXPECT_TRUE(second.waitForLog(QStringLiteral("another publisher on line l1")))
            << second.log().toStdString();
    EXPECT_EQ(first.log().count(QStringLiteral("connected to broker")), 1);
    EXPECT_EQ(second.log().count(QStringLiteral("connected to broker")), 1);
    for (const auto &message : subscriber.messages())
        EXPECT_EQ(message.payload, QByteArray("online"));
    // The first one runs on: its relay keeps its topics while the second one runs.
    EXPECT_TRUE(retainedConfigs(broker.port(), QStringLiteral("miv/l1"), 1)
                        .contains(QStringLiteral("miv/l1/1/info")));
    // The second one stops: the first says the line online again and empties relay 2.
    EXPECT_EQ(second.stop(), 0);
    EXPECT_TRUE(first.waitForLog(QStringLiteral("relays 2 no longer polled")))
            << first.log().toStdString();
    EXPECT_TRUE(subscriber.waitFor([](const auto &m) {
        return m.size() >= 2 && m[m.size() - 2].payload == "offline"
                && m.last().payload == "online";
    }));
    const auto line = retainedConfigs(broker.port(), QStringLiteral("miv/l1"), 1);
    EXPECT_TRUE(line.contains(QStringLiteral("miv/l1/1/info")));
    for (const QString &topic : line.keys())
        EXPECT_FALSE(topic.startsWith(QStringLiteral("miv/l1/2/"))) << topic.toStdString();
}

// What Home Assistant's MQTT discovery documents for a sensor and a binary
// sensor: the topic's form, the keys used here and their values, the units
// each device class takes, and the state classes.
void expectHomeAssistantSchema(const QString &topic, const QJsonObject &config,
                               const QJsonObject &live)
{
    const QStringList levels = topic.split(u'/');
    ASSERT_EQ(levels.size(), 5) << topic.toStdString();
    const QString component = levels[1];
    ASSERT_TRUE(component == QStringLiteral("sensor")
                || component == QStringLiteral("binary_sensor"));
    static const QRegularExpression id(QStringLiteral("^[a-zA-Z0-9_-]+$"));
    EXPECT_TRUE(id.match(levels[2]).hasMatch() && id.match(levels[3]).hasMatch())
            << topic.toStdString();
    EXPECT_EQ(levels[4], QStringLiteral("config"));
    static const QSet<QString> known{
            "name",        "expire_after",        "unique_id",    "origin",
            "state_topic", "value_template",      "availability", "availability_mode",
            "device",      "unit_of_measurement", "device_class", "state_class",
            "options"};
    for (const QString &key : config.keys())
        EXPECT_TRUE(known.contains(key)) << key.toStdString();
    EXPECT_FALSE(config.value("name").toString().isEmpty());
    EXPECT_TRUE(config.value("unique_id").toString().startsWith(levels[2]));
    EXPECT_TRUE(config.value("state_topic").toString().endsWith(QStringLiteral("/live")));
    // The template reads a field the live topic has.
    static const QRegularExpression field(QStringLiteral("value_json\\.(\\w+)(\\[(\\d)\\])?"));
    const auto read = field.match(config.value("value_template").toString());
    ASSERT_TRUE(read.hasMatch()) << config.value("value_template").toString().toStdString();
    EXPECT_TRUE(live.contains(read.captured(1))) << read.captured(1).toStdString();
    if (read.hasCaptured(3)) {
        EXPECT_LT(read.captured(3).toInt(), live.value(read.captured(1)).toArray().size());
    }
    const QJsonArray availability = config.value("availability").toArray();
    EXPECT_EQ(availability.size(), 2);
    for (const QJsonValue &a : availability)
        EXPECT_TRUE(a.toObject().value("topic").isString());
    EXPECT_TRUE(QStringList({"all", "any", "latest"})
                        .contains(config.value("availability_mode").toString()));
    EXPECT_TRUE(config.value("origin").toObject().value("name").isString())
            << "origin needs a name";
    const QJsonObject device = config.value("device").toObject();
    EXPECT_FALSE(device.value("identifiers").toArray().isEmpty());
    for (const char *key : {"name", "model", "sw_version", "serial_number"})
        EXPECT_TRUE(device.value(QLatin1String(key)).isString()) << key;
    const QString deviceClass = config.value("device_class").toString();
    if (component == QStringLiteral("binary_sensor")) {
        EXPECT_EQ(deviceClass, QStringLiteral("problem"));
        return;
    }
    static const QMap<QString, QStringList> units{{"current", {"A", "mA"}},
                                                  {"voltage", {"V", "mV"}},
                                                  {"temperature", {"°C", "°F", "K"}},
                                                  {"frequency", {"Hz", "kHz", "MHz", "GHz"}},
                                                  {"power_factor", {"", "%"}},
                                                  {"duration", {"d", "h", "min", "s", "ms"}},
                                                  {"enum", {""}},
                                                  {"", {"%", "MΩ"}}};
    ASSERT_TRUE(units.contains(deviceClass)) << deviceClass.toStdString();
    EXPECT_TRUE(units[deviceClass].contains(config.value("unit_of_measurement").toString()))
            << topic.toStdString();
    if (deviceClass == QStringLiteral("enum")) {
        EXPECT_FALSE(config.contains("state_class"));
        EXPECT_TRUE(config.value("options").toVariant().toStringList().contains(
                live.value("state").toString()));
    } else {
        EXPECT_TRUE(QStringList({"measurement", "total", "total_increasing"})
                            .contains(config.value("state_class").toString()));
    }
}

// The alarm binary sensors of a node that have a config.
int alarmsOf(const QMap<QString, QJsonObject> &configs, const QString &node)
{
    const QString start = QStringLiteral("ha/binary_sensor/%1/alarm_").arg(node);
    const QStringList topics = configs.keys();
    return int(std::count_if(topics.begin(), topics.end(),
                             [&start](const QString &t) { return t.startsWith(start); }));
}

TEST_F(PublishToBroker, homeAssistantFindsEachRelayAndLosesOneThatLeft)
{
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4,6:6")});
    ASSERT_TRUE(sim.isRunning());
    MqttSubscriber lines(broker.port(), QStringLiteral("miv/l1/#"));
    const QStringList options{QStringLiteral("--state-file"), stateFile(),
                              QStringLiteral("--discovery"), QStringLiteral("ha")};
    {
        Publisher both(sim.portPath(), broker.address(),
                       options + QStringList{QStringLiteral("--addresses"), QStringLiteral("1,6")},
                       folder.path());
        ASSERT_TRUE(lines.waitForText(QStringLiteral("miv/l1/6/live"), QStringLiteral("alarms")));
        // 14 sensors each, the 12 alarms of type 4 and the 17 of type 6.
        const auto configs = retainedConfigs(broker.port(), QStringLiteral("ha"), 28 + 12 + 17);
        QSet<QString> uniqueIds;
        for (auto config = configs.begin(); config != configs.end(); ++config) {
            const int address = config.key().contains(QStringLiteral("_l1_6/")) ? 6 : 1;
            expectHomeAssistantSchema(
                    config.key(), config.value(),
                    json(lines.on(QStringLiteral("miv/l1/%1/live").arg(address)).last().payload));
            uniqueIds.insert(config.value().value("unique_id").toString());
        }
        EXPECT_EQ(uniqueIds.size(), configs.size());
        EXPECT_EQ(alarmsOf(configs, QStringLiteral("miv_miv_l1_1")), 12);
        EXPECT_EQ(alarmsOf(configs, QStringLiteral("miv_miv_l1_6")), 17);
        const QJsonObject device =
                configs.value(QStringLiteral("ha/sensor/miv_miv_l1_6/current_a/config"))
                        .value("device")
                        .toObject();
        EXPECT_EQ(device.value("name"), QStringLiteral("МИВ-06 №1006"));
        EXPECT_EQ(device.value("serial_number"), QStringLiteral("1006"));
        const QJsonObject meta = json(lines.on(QStringLiteral("miv/l1/meta")).value(0).payload);
        EXPECT_EQ(meta.value("relays"), (QJsonArray{1, 6}));
        EXPECT_EQ(meta.value("baud"), 9600);
        EXPECT_EQ(meta.value("port"), sim.portPath());
        EXPECT_EQ(meta.value("discovery"), QStringLiteral("ha"));
        EXPECT_EQ(both.stop(), 0);
    }
    Publisher one(sim.portPath(), broker.address(),
                  options + QStringList{QStringLiteral("--addresses"), QStringLiteral("1")},
                  folder.path());
    ASSERT_TRUE(one.waitForLog(QStringLiteral("relays 6 no longer polled")))
            << one.log().toStdString();
    ASSERT_TRUE(one.waitForLog(QStringLiteral("journal of")));
    const auto configs = retainedConfigs(broker.port(), QStringLiteral("ha"), 1);
    EXPECT_EQ(alarmsOf(configs, QStringLiteral("miv_miv_l1_1")), 12) << "relay 1 keeps its alarms";
    for (const QString &topic : configs.keys())
        EXPECT_FALSE(topic.contains(QStringLiteral("_l1_6/"))) << topic.toStdString();
    // Nor does relay 6 say online with old values.
    for (const QString &topic : retainedConfigs(broker.port(), QStringLiteral("miv/l1"), 1).keys())
        EXPECT_FALSE(topic.startsWith(QStringLiteral("miv/l1/6/"))) << topic.toStdString();
}

TEST(PublishCredentials, aClientCertificateOpensABrokerThatAsksForOne)
{
    MqttBroker broker(MqttBroker::WithClientCertificates{});
    ASSERT_TRUE(broker.isRunning()) << broker.errorText().toStdString();
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4")});
    QTemporaryDir folder;
    const QString address = QStringLiteral("127.0.0.1:%1").arg(broker.tlsPort());
    const QStringList options{
            QStringLiteral("--state-file"), folder.filePath(QStringLiteral("state.json")),
            QStringLiteral("--tls-ca"),     broker.filePath(QStringLiteral("ca.pem")),
            QStringLiteral("--keepalive"),  QStringLiteral("7")};
    Publisher without(sim.portPath(), address, options, folder.path());
    EXPECT_EQ(without.finished(), 1) << without.log().toStdString();
    EXPECT_TRUE(without.log().contains(QStringLiteral("certificate")))
            << without.log().toStdString();
    Publisher with(sim.portPath(), address,
                   options
                           + QStringList{QStringLiteral("--tls-cert"),
                                         broker.filePath(QStringLiteral("client.pem")),
                                         QStringLiteral("--tls-key"),
                                         broker.filePath(QStringLiteral("client.key"))},
                   folder.path());
    ASSERT_TRUE(with.waitForLog(QStringLiteral("connected to broker"))) << with.log().toStdString();
    // The broker names each client with its keepalive: one of its own per publisher.
    QDeadlineTimer deadline(generousMs);
    while (!broker.log().contains(QStringLiteral("k7")) && !deadline.hasExpired())
        QThread::msleep(50);
    EXPECT_TRUE(broker.log().contains(QStringLiteral(" as mivctl-l1-")))
            << broker.log().toStdString();
    EXPECT_TRUE(broker.log().contains(QStringLiteral("k7)"))) << broker.log().toStdString();
    EXPECT_EQ(with.stop(), 0);
}

TEST(PublishCredentials, aRefusedPasswordEndsWithTheBrokersReason)
{
    MqttBroker broker(MqttBroker::User{QStringLiteral("plant"), QStringLiteral("secret")});
    ASSERT_TRUE(broker.isRunning()) << broker.errorText().toStdString();
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4")});
    QTemporaryDir folder;
    QFile wrong(folder.filePath(QStringLiteral("password")));
    ASSERT_TRUE(wrong.open(QIODevice::WriteOnly));
    wrong.write("guess\n");
    wrong.close();
    const QStringList options{QStringLiteral("--username"), QStringLiteral("plant"),
                              QStringLiteral("--state-file"),
                              folder.filePath(QStringLiteral("state.json"))};
    Publisher refused(sim.portPath(), broker.address(),
                      options + QStringList{QStringLiteral("--password-file"), wrong.fileName()},
                      folder.path());
    EXPECT_EQ(refused.finished(), 1) << "no retry loop";
    EXPECT_TRUE(refused.log().contains(QStringLiteral("not authorised")))
            << refused.log().toStdString();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MIV_MQTT_PASSWORD"), QStringLiteral("secret"));
    Publisher taken(sim.portPath(), broker.address(), options, folder.path(), environment);
    EXPECT_TRUE(taken.waitForLog(QStringLiteral("connected to broker")))
            << taken.log().toStdString();
    EXPECT_EQ(taken.stop(), 0);
}

} // namespace
