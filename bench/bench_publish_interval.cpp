// bench_publish_interval [SECONDS]: one line at 9600 bit/s (mivsim --baud
// 9600) of three relays, 1 and 6 answering with journals of 100 entries,
// 17 answering its first 40 requests and then falling silent, polled by
// `mivctl publish --interval 1 --journal-interval 10` for SECONDS (default
// 60), so that a journal is being read most of the time. Prints, for each
// answering relay, the time between two of its live values at the
// subscriber: median, 95th percentile and longest; how long the first
// readings of the two journals took to reach the subscriber; and how many
// requests the silent relay got.
//
// Goal: every answering relay keeps its interval within 1.5 times the one
// asked (the 95th percentile under 1.5 s: each re-ask of the silent relay
// is a round, so re-asks that held the others up would show there). The
// round in which relay 17 falls silent waits one reply time-out for it: the
// longest interval.
#include "support/MqttBroker.h"
#include "support/ProgramRun.h"
#include "support/SimProcess.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <vector>

namespace {

constexpr double intervalSeconds = 1.0;

double percentile(std::vector<qint64> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return double(values[std::size_t(p * double(values.size() - 1))]);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(10, atoi(argv[1])) : 60;
    MqttBroker broker;
    if (!broker.isRunning()) {
        std::fprintf(stderr, "bench_publish_interval: %s\n", qPrintable(broker.errorText()));
        return 1;
    }
    QTemporaryDir folder;
    const QString simLog = folder.filePath(QStringLiteral("sim.jsonl"));
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4,6:6,17:4"),
                    QStringLiteral("--answer-requests"), QStringLiteral("17:40"),
                    QStringLiteral("--baud"), QStringLiteral("9600"), QStringLiteral("--journal"),
                    QStringLiteral("100"), QStringLiteral("--log"), simLog});
    if (!sim.isRunning()) {
        std::fprintf(stderr, "bench_publish_interval: mivsim: %s\n", qPrintable(sim.errorText()));
        return 1;
    }
    MqttSubscriber subscriber(broker.port(), QStringLiteral("miv/#"));
    QProcess publisher;
    publisher.setWorkingDirectory(folder.path());
    publisher.start(programPath(QStringLiteral("mivctl")),
                    {QStringLiteral("--port"), sim.portPath(), QStringLiteral("--baud"),
                     QStringLiteral("9600"), QStringLiteral("publish"), QStringLiteral("--broker"),
                     broker.address(), QStringLiteral("--line"), QStringLiteral("l1"),
                     QStringLiteral("--addresses"), QStringLiteral("1,6,17"),
                     QStringLiteral("--interval"), QString::number(intervalSeconds),
                     QStringLiteral("--journal-interval"), QStringLiteral("10"),
                     QStringLiteral("--state-file"), folder.filePath(QStringLiteral("s.json"))});
    std::printf("bench_publish_interval: relays 1, 6 (journals of 100 entries, read every 10 s) "
                "and 17 (silent after 40 requests) at 9600 bit/s, --interval %.0f, %d s\n",
                intervalSeconds, seconds);
    QThread::sleep(ulong(seconds));
    ::kill(pid_t(publisher.processId()), SIGTERM);
    publisher.waitForFinished(30000);
    const QString log = QString::fromUtf8(publisher.readAllStandardError());

    bool met = true;
    for (int address : {1, 6}) {
        const auto live = subscriber.on(QStringLiteral("miv/l1/%1/live").arg(address));
        std::vector<qint64> gaps;
        for (qsizetype i = 1; i < live.size(); ++i)
            gaps.push_back(live[i].receivedMs - live[i - 1].receivedMs);
        const double p95 = percentile(gaps, 0.95) / 1000.0;
        std::printf("relay %d: %lld live values; between two: median %.2f s, 95th percentile "
                    "%.2f s, longest %.2f s\n",
                    address, qlonglong(live.size()), percentile(gaps, 0.5) / 1000.0, p95,
                    percentile(gaps, 1.0) / 1000.0);
        met = met && !gaps.empty() && p95 <= 1.5 * intervalSeconds;
    }
    // The first readings: every entry of both journals, from the first message on the line.
    QList<qint64> journalTimes;
    for (int address : {1, 6})
        for (const auto &message : subscriber.on(QStringLiteral("miv/l1/%1/journal").arg(address)))
            journalTimes << message.receivedMs;
    std::sort(journalTimes.begin(), journalTimes.end());
    const qint64 firstMessageMs = subscriber.messages().value(0).receivedMs;
    if (journalTimes.size() >= 200)
        std::printf("the first readings of both journals (200 entries) at the subscriber %.1f s "
                    "after the publisher's first message\n",
                    double(journalTimes[199] - firstMessageMs) / 1000.0);
    std::printf("journal readings finished: %lld; journal entries published: %lld\n",
                qlonglong(log.count(QStringLiteral("journal of"))),
                qlonglong(subscriber.on(QStringLiteral("miv/l1/1/journal")).size()
                          + subscriber.on(QStringLiteral("miv/l1/6/journal")).size()));
    QFile requests(simLog);
    int silentRequests = 0;
    if (requests.open(QIODevice::ReadOnly))
        silentRequests = int(requests.readAll().count("\"address\":17,"));
    std::printf("requests to relay 17: %d in %d s (40 answered)\n", silentRequests, seconds);
    std::printf("goal (each answering relay's 95th percentile within 1.5 x the interval): %s\n",
                met ? "met" : "MISSED");
    return met ? 0 : 1;
}
