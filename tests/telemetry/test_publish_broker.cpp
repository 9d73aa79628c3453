// mivctl publish against Debian's mosquitto and mivsim on a pseudo-terminal:
// what a subscriber gets, and what happens when the relay, the line, the
// publisher or the broker goes away.
#include "support/MqttBroker.h"
#include "support/ProgramRun.h"
#include "support/SimProcess.h"

#include <gtest/gtest.h>
#include <optional>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <csignal>
#include <sys/prctl.h>

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

TEST_F(PublishToBroker, lastWillOnAHardKill)
{
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4")});
    MqttSubscriber subscriber(broker.port(), QStringLiteral("miv/l1/status"));
    Publisher publisher(sim.portPath(), broker.address(),
                        {QStringLiteral("--state-file"), stateFile()}, folder.path());
    ASSERT_TRUE(subscriber.waitForText(QStringLiteral("miv/l1/status"), QStringLiteral("online")));
    publisher.stop(SIGKILL);
    EXPECT_TRUE(subscriber.waitForText(QStringLiteral("miv/l1/status"), QStringLiteral("offline")));
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
    Publisher second(sim.portPath(), broker.address(), options, folder.path());
    ASSERT_TRUE(second.waitForLog(QStringLiteral("journal of 37 entries, 0 new")))
            << second.log().toStdString();
    EXPECT_EQ(second.stop(), 0);
    // The clean stop's "offline" comes after anything published before it.
    ASSERT_TRUE(subscriber.waitFor([&](const auto &) {
        return subscriber.on(QStringLiteral("miv/l1/status")).size() >= 4;
    }));
    EXPECT_EQ(journal().size(), 37);
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
