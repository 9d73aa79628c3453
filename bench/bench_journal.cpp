// bench_journal: reads a full journal of 100 entries from `mivsim --baud 9600`
// on a pseudo-terminal through the journal reading of "Получить", 5 times,
// and prints the time against the compliant bound.
//
// The bound is what a master keeping to the protocol cannot beat: per entry
// the request (8 bytes) and the reply (5 + 22 bytes) on the wire at 10 bits a
// byte, one 3.5-character silence before the request, and the relay's
// turnaround (the simulator's --latency-ms). Goal: a ratio of 1.05 at most.
#include "SimulatedLine.h"
#include "core/RelaySession.h"
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

double characterMs()
{
    return 1000.0 * bitsPerCharacter / baudRate;
}

double boundMs()
{
    return entries * ((requestBytes + replyBytes + 3.5) * characterMs() + latencyMs);
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
    return 0;
}
