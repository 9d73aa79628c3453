// bench_publish [SECONDS]: 8 lines of 32 relays, each `mivsim --tcp 0` at
// 38400 bit/s (the fastest line the relays take), each polled by its own
// `mivctl publish --interval 0` into one mosquitto, for SECONDS (default 60).
// Prints the messages per second the subscriber got, the CPU each publisher
// used (from /proc), the delay from a relay's reply (the live value's time)
// to the subscriber, and whether every message published arrived.
//
// Goal: the bus is the limit (each line's round of 32 relays takes what its
// frames take on the wire), under 5 % of a core per line, nothing lost.
#include "support/MqttBroker.h"
#include "support/ProgramRun.h"
#include "support/SimProcess.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int lines = 8;
constexpr int relaysPerLine = 32;
constexpr int baudRate = 38400;

// utime + stime of a process in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QString text = QString::fromLatin1(stat.readAll());
    const QStringList fields = text.mid(text.lastIndexOf(u')') + 2).split(u' ');
    // Fields 14 and 15 of the line; the list starts at field 3.
    return (fields.value(11).toDouble() + fields.value(12).toDouble())
            / double(sysconf(_SC_CLK_TCK));
}

QString relayList()
{
    QStringList relays;
    for (int address = 1; address <= relaysPerLine; ++address)
        relays << QStringLiteral("%1:%2").arg(address).arg(address % 8 == 6 ? 6 : 4);
    return relays.join(u',');
}

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
    const int seconds = argc > 1 ? std::max(5, atoi(argv[1])) : 60;
    MqttBroker broker;
    if (!broker.isRunning()) {
        std::fprintf(stderr, "bench_publish: %s\n", qPrintable(broker.errorText()));
        return 1;
    }
    QTemporaryDir folder;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::unique_ptr<QProcess>> publishers;
    MqttSubscriber subscriber(broker.port(), QStringLiteral("miv/#"));
    QThread::msleep(500); // subscribed before anything is published
    for (int line = 1; line <= lines; ++line) {
        sims.push_back(std::make_unique<SimProcess>(QStringList{
                QStringLiteral("--relays"), relayList(), QStringLiteral("--tcp"),
                QStringLiteral("0"), QStringLiteral("--baud"), QString::number(baudRate),
                QStringLiteral("--seed"), QString::number(line)}));
        if (!sims.back()->isRunning()) {
            std::fprintf(stderr, "bench_publish: mivsim: %s\n",
                         qPrintable(sims.back()->errorText()));
            return 1;
        }
        auto publisher = std::make_unique<QProcess>();
        publisher->setWorkingDirectory(folder.path());
        publisher->start(programPath(QStringLiteral("mivctl")),
                         {QStringLiteral("--port"),
                          QStringLiteral("tcp://127.0.0.1:%1").arg(sims.back()->tcpPort()),
                          QStringLiteral("--baud"), QString::number(baudRate),
                          QStringLiteral("publish"), QStringLiteral("--broker"), broker.address(),
                          QStringLiteral("--line"), QStringLiteral("line%1").arg(line),
                          QStringLiteral("--addresses"), QStringLiteral("1-%1").arg(relaysPerLine),
                          QStringLiteral("--interval"), QStringLiteral("0"),
                          QStringLiteral("--no-discovery"), QStringLiteral("--state-file"),
                          folder.filePath(QStringLiteral("line%1.json").arg(line))});
        publishers.push_back(std::move(publisher));
    }
    std::printf("bench_publish: %d lines of %d relays at %d bit/s (mivsim --tcp), one mosquitto, "
                "%d s\n",
                lines, relaysPerLine, baudRate, seconds);
    std::vector<double> cpuStart;
    for (const auto &publisher : publishers)
        cpuStart.push_back(cpuSeconds(publisher->processId()));
    QElapsedTimer clock;
    clock.start();
    QThread::sleep(ulong(seconds));
    const double elapsed = double(clock.elapsed()) / 1000.0;
    std::vector<double> cpu;
    for (std::size_t i = 0; i < publishers.size(); ++i)
        cpu.push_back(100.0 * (cpuSeconds(publishers[i]->processId()) - cpuStart[i]) / elapsed);
    const qsizetype receivedInRun = subscriber.messages().size();

    int published = 0;
    int publishedLive = 0;
    const QRegularExpression summary(
            QStringLiteral("stopped: (\\d+) live, (\\d+) journal and (\\d+) other"));
    for (const auto &publisher : publishers)
        ::kill(pid_t(publisher->processId()), SIGTERM);
    for (const auto &publisher : publishers) {
        publisher->waitForFinished(30000);
        const auto match = summary.match(QString::fromUtf8(publisher->readAllStandardError()));
        publishedLive += match.captured(1).toInt();
        published +=
                match.captured(1).toInt() + match.captured(2).toInt() + match.captured(3).toInt();
    }
    subscriber.waitFor([&](const auto &messages) { return messages.size() >= published; }, 30000);

    const QList<MqttSubscriber::Message> messages = subscriber.messages();
    std::vector<qint64> delays;
    int journal = 0;
    for (const auto &message : messages) {
        if (message.topic.endsWith(QStringLiteral("/journal")))
            ++journal;
        if (!message.topic.endsWith(QStringLiteral("/live")))
            continue;
        const QString time = QJsonDocument::fromJson(message.payload)
                                     .object()
                                     .value(QStringLiteral("time"))
                                     .toString();
        delays.push_back(message.receivedMs
                         - QDateTime::fromString(time, Qt::ISODateWithMs).toMSecsSinceEpoch());
    }
    std::printf("messages: %lld in %.1f s, %.0f per second (%zu live, %d journal)\n",
                qlonglong(receivedInRun), elapsed, double(receivedInRun) / elapsed, delays.size(),
                journal);
    std::printf("live values per relay: one every %.2f s (the round of %d relays on one line)\n",
                delays.empty() ? 0.0 : elapsed * lines * relaysPerLine / double(delays.size()),
                relaysPerLine);
    std::printf("CPU per line (%% of one core):");
    for (double percent : cpu)
        std::printf(" %.1f", percent);
    std::printf("; highest %.1f\n", *std::max_element(cpu.begin(), cpu.end()));
    std::printf("delay from the relay's reply to the subscriber: median %.0f ms, 99th percentile "
                "%.0f ms, highest %.0f ms\n",
                percentile(delays, 0.5), percentile(delays, 0.99), percentile(delays, 1.0));
    const bool nothingLost =
            messages.size() >= published && qsizetype(delays.size()) >= publishedLive;
    std::printf("published %d, received %lld: %s\n", published, qlonglong(messages.size()),
                nothingLost ? "nothing lost" : "LOST SOME");
    const bool met = nothingLost && *std::max_element(cpu.begin(), cpu.end()) < 5.0;
    std::printf("goal (under 5 %% of a core per line, nothing lost): %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
