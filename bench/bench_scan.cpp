// bench_scan: the bus scan of "Опрос" through `mivsim --baud 9600` on a
// pseudo-terminal: three relays and 29 empty addresses, with the bus's
// default scan wait and reply time-out. Two lines: the relays answering after
// 20 to 80 ms (goal: at most 5 s with all three found), and the same with
// relay 17 answering 250 ms later (goal: all three found: the scan hears it
// late and asks it again with the patient wait). Prints the seconds of each
// scan and their ratio to 32 times the scan wait.
#include "SimulatedLine.h"
#include "link/RelaySession.h"
#include "device/Discovery.h"
#include "link/RelayBus.h"
#include "support/RecordingOperator.h"

#include <cstdio>
#include <optional>
#include <QCoreApplication>
#include <QElapsedTimer>

using namespace miv;

namespace {

constexpr int scans = 3;
constexpr int baudRate = 9600;
constexpr double goalSeconds = 5.0;
const QList<quint8> relays{1, 6, 17};

// Nobody to ask: the scan only reports; anything it says goes to stderr.
// Messages go to stderr as well, so that a failed run says why.
class BenchOperator : public RecordingOperator
{
public:
    Answer message(Icon icon, const QString &text, Buttons buttons, const QString &caption) override
    {
        std::fprintf(stderr, "bench_scan: %s\n", qPrintable(text));
        return RecordingOperator::message(icon, text, buttons, caption);
    }
};

QString addressList(const QList<quint8> &addresses);

// Runs `scans` scans on a line served with `simArguments`; true when every
// scan found the three relays (and, with a time goal, within it).
bool runLine(const char *title, QStringList simArguments, std::optional<double> goal)
{
    simArguments << QStringLiteral("--relays") << QStringLiteral("1:4,6:6,17:4")
                 << QStringLiteral("--latency-ms") << QStringLiteral("20-80");
    SimulatedLine line("bench_scan", simArguments, baudRate);
    if (!line.ready())
        return false;
    RelayBus &bus = line.bus();
    const int waitMs = bus.timing().scanTimeoutMs;
    const double reference = 32 * waitMs / 1000.0;
    std::printf("\n%s: relays at %s, %d bit/s 8N1, on %s\n", title, qPrintable(addressList(relays)),
                baudRate, qPrintable(line.portPath()));
    std::printf("scan wait %d ms, reply time-out %d ms; 32 x wait = %.2f s; goal: all three found",
                waitMs, bus.timing().replyTimeoutMs, reference);
    if (goal)
        std::printf(" within %.1f s", *goal);
    std::printf("\n");

    BenchOperator op;
    RelaySession session(bus);
    session.reopenPort = [&line](QString *reason) { return line.reopen(reason); };
    bool allMet = true;
    for (int scan = 1; scan <= scans; ++scan) {
        QElapsedTimer clock;
        clock.start();
        const DiscoveryResult result = scanBus(session, op);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        const bool found = result.answering == relays;
        const bool met = found && (!goal || seconds <= *goal) && !result.portLost;
        allMet = allMet && met;
        std::printf("scan %d: %.3f s  ratio %.3f  found %s  %s\n", scan, seconds,
                    seconds / reference, qPrintable(addressList(result.answering)),
                    met ? "met" : "MISSED");
    }
    return allMet;
}

QString addressList(const QList<quint8> &addresses)
{
    QStringList texts;
    for (quint8 address : addresses)
        texts << QString::number(address);
    return texts.join(u',');
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool quick = runLine("relays answering after 20-80 ms", {}, goalSeconds);
    const bool slow =
            runLine("relay 17 answering 250 ms later still",
                    {QStringLiteral("--late-ms"), QStringLiteral("17:250")}, std::nullopt);
    std::printf("\ngoal: %s\n", quick && slow ? "met" : "MISSED");
    return 0;
}
