// bench_overview: rounds of the line overview through `mivsim --baud 9600`
// with 32 relays on a pseudo-terminal, timed against the compliant bound.
//
// A round asks each relay once for registers 21 to 41. Its bound is what a
// Modbus RTU line at 9600 bit/s cannot do faster: per relay the request (8
// bytes) and the reply (5 + 2 x 21 = 47 bytes), 10 bits a byte (8N1), one
// 3.5-character silence before the request, and the relay's turnaround
// before its reply (0 here: mivsim is started without --latency-ms). The
// first round also reads each relay's identity (registers 0 to 6) and is
// shown apart. The goal is a ratio of at most 1.05.
#include "SimulatedLine.h"
#include "core/LineOverviewModel.h"
#include "link/RelaySession.h"
#include "device/LineOverview.h"

#include <cstdio>
#include <QCoreApplication>
#include <QElapsedTimer>

using namespace miv;

namespace {

constexpr int relays = 32;
constexpr int rounds = 5;
constexpr int baudRate = 9600;
constexpr int bitsPerCharacter = 10;
constexpr int latencyMs = 0;
constexpr int blockBytes = 8 + 5 + 2 * 21;
constexpr int identityBytes = 8 + 5 + 2 * 7;

double characterMs()
{
    return 1000.0 * bitsPerCharacter / baudRate;
}

// The bound of a round whose exchanges carry `bytesPerRelay` in `exchangesPerRelay`.
double boundMs(int bytesPerRelay, int exchangesPerRelay)
{
    return relays
            * (bytesPerRelay * characterMs()
               + exchangesPerRelay * (3.5 * characterMs() + latencyMs));
}

// One round, step by step as the window runs it; nullopt when a step failed.
std::optional<double> timedRound(LineOverview &overview, const LineOverviewModel &model)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const LineOverview::StepResult step = overview.step();
        if (step.outcome == LineOverview::StepOutcome::PortLost || !model.row(step.row).answered)
            return std::nullopt;
        if (step.outcome == LineOverview::StepOutcome::RoundDone)
            return double(clock.nsecsElapsed()) / 1e6;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString relayList;
    QList<quint8> addresses;
    for (int address = 1; address <= relays; ++address) {
        relayList += QStringLiteral("%1%2:%3")
                             .arg(address == 1 ? "" : ",")
                             .arg(address)
                             .arg(address % 2 ? 4 : 6);
        addresses << quint8(address);
    }
    SimulatedLine line("bench_overview", {QStringLiteral("--relays"), relayList}, baudRate);
    if (!line.ready())
        return 1;
    RelaySession session(line.bus());
    session.reopenPort = [&line](QString *error) { return line.reopen(error); };
    LineOverviewModel model;
    LineOverview overview(session, model);
    overview.setAddresses(addresses);

    const double firstBound = boundMs(blockBytes + identityBytes, 2);
    const double roundBound = boundMs(blockBytes, 1);
    std::printf("bench_overview: %d relays at %d bit/s, 8N1, on %s\n", relays, baudRate,
                qPrintable(line.portPath()));
    std::printf("bound of a round: %d x (%d bytes x %d bits + a silence of 3.5 characters + "
                "latency %d ms) = %.1f ms\n",
                relays, blockBytes, bitsPerCharacter, latencyMs, roundBound);

    const std::optional<double> first = timedRound(overview, model);
    if (!first) {
        std::printf("first round: a relay did not answer\n");
        return 1;
    }
    std::printf("first round (with the identities): %.1f ms, bound %.1f ms, ratio %.3f\n", *first,
                firstBound, *first / firstBound);
    double totalMs = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::optional<double> ms = timedRound(overview, model);
        if (!ms) {
            std::printf("round %d: a relay did not answer\n", round + 2);
            return 1;
        }
        totalMs += *ms;
    }
    const double ratio = totalMs / (rounds * roundBound);
    std::printf("round: %d rounds, %.1f ms each, ratio %.3f (the overview's own measure of the "
                "last: %lld ms)\n",
                rounds, totalMs / rounds, ratio, qlonglong(overview.lastRoundMs().value_or(0)));
    std::printf("goal: within 1.05 of the bound: %s\n", ratio <= 1.05 ? "met" : "MISSED");
    return 0;
}
