// bench_scan: the bus scan of "Опрос" through `mivsim --baud 9600` on a
// pseudo-terminal: three relays answering after 20 to 80 ms and 29 empty
// addresses, with the bus's default scan wait. Prints the seconds of each scan
// and their ratio to 32 times the default wait (the time the 29 empty
// addresses alone cost is most of it). Goal: at most 5 s with all three found.
#include "core/RelaySession.h"
#include "device/Discovery.h"
#include "link/RelayBus.h"
#include "support/PtySerialPort.h"
#include "support/RecordingOperator.h"
#include "support/SimProcess.h"

#include <cstdio>
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
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4,6:6,17:4"), QStringLiteral("--baud"),
                    QString::number(baudRate), QStringLiteral("--latency-ms"), QStringLiteral("20-80")});
    if (!sim.isRunning()) {
        std::fprintf(stderr, "bench_scan: mivsim did not start: %s\n", qPrintable(sim.errorText()));
        return 1;
    }
    QString error;
    std::unique_ptr<QSerialPort> port = openPtySerialPort(sim.portPath(), baudRate, &error);
    if (!port) {
        std::fprintf(stderr, "bench_scan: cannot open %s: %s\n", qPrintable(sim.portPath()), qPrintable(error));
        return 1;
    }
    RelayBus bus(port.get());
    bus.setLineSettings(baudRate, 10);
    const int waitMs = bus.timing().scanTimeoutMs;
    const double reference = 32 * waitMs / 1000.0;
    std::printf("bench_scan: 32 addresses, relays at %s answering after 20-80 ms, %d bit/s 8N1, on %s\n",
                qPrintable(addressList(relays)), baudRate, qPrintable(sim.portPath()));
    std::printf("default scan wait %d ms; 32 x wait = %.2f s; goal <= %.1f s with all three found\n", waitMs,
                reference, goalSeconds);

    BenchOperator op;
    RelaySession session(bus);
    session.reopenPort = [&](QString *reason) {
        port->close();
        port = openPtySerialPort(sim.portPath(), baudRate, reason);
        bus.setPort(port.get());
        return port != nullptr;
    };
    bool allMet = true;
    for (int scan = 1; scan <= scans; ++scan) {
        QElapsedTimer clock;
        clock.start();
        const DiscoveryResult result = scanBus(session, op);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        const bool found = result.answering == relays;
        const bool met = found && seconds <= goalSeconds && !result.portLost;
        allMet = allMet && met;
        std::printf("scan %d: %.3f s  ratio %.3f  found %s  %s\n", scan, seconds, seconds / reference,
                    qPrintable(addressList(result.answering)), met ? "met" : "MISSED");
    }
    std::printf("goal: %s\n", allMet ? "met" : "MISSED");
    return 0;
}
