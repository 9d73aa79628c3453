// bench_live: 50 refreshes of the live values (block A, 32 registers from 16,
// then block B, 10 registers from 112) through `mivsim --baud 9600` on a
// pseudo-terminal, timed against the compliant bound.
//
// The bound of one refresh is what a Modbus RTU line at 9600 bit/s cannot do
// faster: the bytes of both requests and both replies, 8 + 69 + 8 + 25 = 110
// bytes of 10 bits (8N1); one 3.5-character silence before each request; and
// the relay's latency before each reply (0 here: mivsim is started without
// --latency-ms). The goal is a ratio of at most 1.05.
#include "SimulatedLine.h"
#include "link/RelaySession.h"
#include "device/LiveRead.h"
#include "link/RelayBus.h"
#include "support/RecordingOperator.h"

#include <cstdio>
#include <QCoreApplication>
#include <QElapsedTimer>

using namespace miv;

namespace {

constexpr int refreshes = 50;
constexpr int baudRate = 9600;
constexpr int bitsPerCharacter = 10;
constexpr int latencyMs = 0;
constexpr int bytesPerRefresh = (8 + 3 + 2 * 32 + 2) + (8 + 3 + 2 * 10 + 2);
constexpr int requestsPerRefresh = 2;

double characterMs()
{
    return 1000.0 * bitsPerCharacter / baudRate;
}

double boundPerRefreshMs()
{
    return bytesPerRefresh * characterMs() + requestsPerRefresh * (3.5 * characterMs() + latencyMs);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SimulatedLine line("bench_live", {QStringLiteral("--relays"), QStringLiteral("1:4")}, baudRate);
    if (!line.ready())
        return 1;
    RelayBus &bus = line.bus();
    RelaySession session(bus);
    session.device.networkAddress = 1;
    session.device.typeCode = 4;
    RecordingOperator op;

    std::printf("bench_live: %d refreshes (2 reads: 32 + 10 registers) at %d bit/s, 8N1, on %s\n",
                refreshes, baudRate, qPrintable(line.portPath()));
    std::printf(
            "bound: %d bytes x %d bits + %d silences of 3.5 characters + relay latency %d ms = %.2f ms per refresh\n",
            bytesPerRefresh, bitsPerCharacter, requestsPerRefresh, latencyMs, boundPerRefreshMs());

    readLiveValues(session, op); // warm up
    int failures = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < refreshes; ++i)
        if (!readLiveValues(session, op).done())
            ++failures;
    const double totalMs = double(clock.nsecsElapsed()) / 1e6;
    const double ratio = totalMs / (refreshes * boundPerRefreshMs());
    std::printf("refresh: total %.1f ms, per refresh %.2f ms, ratio %.3f, failed %d\n", totalMs,
                totalMs / refreshes, ratio, failures);
    std::printf("goal: within 1.05 of the bound: %s\n",
                ratio <= 1.05 && failures == 0 ? "met" : "MISSED");
    return failures == 0 ? 0 : 1;
}
