// bench_journal: reads a full journal of 100 entries from `mivsim --baud 9600`
// on a pseudo-terminal through the journal reading of "Получить", 5 times,
// and prints the time against the compliant bound.
//
// The bound is what a master keeping to the protocol cannot beat: per entry
// the request (8 bytes) and the reply (5 + 22 bytes) on the wire at 10 bits a
// byte, one 3.5-character silence before the request, and the relay's
// turnaround (the simulator's --latency-ms). Goal: a ratio of 1.05 at most.
//
// Then a relay that falls silent after 10 entries, at the program's default
// reply time-out and retries: the time from its last answer to the failure
// told. Goal: within 5 s (the entry's three requests, no repetitions on top).
#include "SimulatedLine.h"
#include "link/RelaySession.h"
#include "device/JournalReader.h"
#include "link/RelayBus.h"
#include "support/RecordingOperator.h"

#include <algorithm>
#include <cstdio>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <vector>

using namespace miv;

namespace {

constexpr int entries = 100;
constexpr int runs = 5;
constexpr int baudRate = 9600;
constexpr int bitsPerCharacter = 10;
constexpr int latencyMs = 5;
constexpr int requestBytes = 8;
constexpr int replyBytes = 5 + 22;
constexpr double goal = 1.05;
constexpr int entriesBeforeSilence = 10;
constexpr double silenceGoalMs = 5000;

double characterMs()
{
    return 1000.0 * bitsPerCharacter / baudRate;
}

double boundMs()
{
    return entries * ((requestBytes + replyBytes + 3.5) * characterMs() + latencyMs);
}

// Reads the journal of a relay that stops answering after a few entries,
// with the bus as the program sets it up; false when the run went wrong.
bool silentRelay(double perEntryMs)
{
    SimulatedLine line(
            "bench_journal",
            {QStringLiteral("--relays"), QStringLiteral("1:4"), QStringLiteral("--latency-ms"),
             QString::number(latencyMs), QStringLiteral("--journal"), QString::number(entries),
             QStringLiteral("--answer-requests"), QStringLiteral("1:%1").arg(entriesBeforeSilence)},
            baudRate);
    if (!line.ready())
        return false;
    RelaySession session(line.bus()); // default reply time-out and retries
    session.device.networkAddress = 1;
    RecordingOperator op;
    QElapsedTimer clock;
    clock.start();
    const JournalReadResult result = readJournal(session, op);
    const double totalMs = double(clock.nsecsElapsed()) / 1e6;
    if (result.outcome != JournalReadResult::Outcome::Failed
        || result.rows != entriesBeforeSilence) {
        std::fprintf(stderr, "bench_journal: the silent relay gave %d rows\n", result.rows);
        return false;
    }
    const double failureMs = totalMs - entriesBeforeSilence * perEntryMs;
    std::printf("relay silent after %d entries (reply time-out %d ms, %d retries): failure told "
                "%.0f ms after its last answer; goal within %.0f ms: %s\n",
                entriesBeforeSilence, line.bus().timing().replyTimeoutMs,
                line.bus().timing().retries, failureMs, silenceGoalMs,
                failureMs <= silenceGoalMs ? "met" : "MISSED");
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SimulatedLine line("bench_journal",
                       {QStringLiteral("--relays"), QStringLiteral("1:4"),
                        QStringLiteral("--latency-ms"), QString::number(latencyMs),
                        QStringLiteral("--journal"), QString::number(entries)},
                       baudRate);
    if (!line.ready())
        return 1;
    RelayBus &bus = line.bus();
    RelaySession session(bus);
    session.device.networkAddress = 1;
    RecordingOperator op;

    std::printf("bench_journal: %d entries at %d bit/s, 8N1, relay latency %d ms, on %s\n", entries,
                baudRate, latencyMs, qPrintable(line.portPath()));
    std::printf(
            "bound: (%d+%d bytes + 3.5 characters) x %.3f ms + %d ms = %.2f ms per entry, %.1f ms in all\n",
            requestBytes, replyBytes, characterMs(), latencyMs, boundMs() / entries, boundMs());

    readJournal(session, op); // warm-up
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        const JournalReadResult result = readJournal(session, op);
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (result.outcome != JournalReadResult::Outcome::Complete || result.rows != entries) {
            std::fprintf(stderr, "bench_journal: run %d read %d rows: %s\n", run, result.rows,
                         qPrintable(op.shownTexts().join(u' ')));
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("median %.1f ms (%.2f ms per entry), slowest %.1f ms; ratio %.3f (slowest %.3f)\n",
                median, median / entries, times.back(), median / boundMs(),
                times.back() / boundMs());
    std::printf("goal: within %.2f of the bound: %s\n", goal,
                median / boundMs() <= goal ? "met" : "MISSED");
    return silentRelay(median / entries) ? 0 : 1;
}
