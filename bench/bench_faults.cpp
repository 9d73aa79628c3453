// bench_faults: configuration reads through `mivsim --baud 9600` on a
// pseudo-terminal while the line spoils about 10 % of the replies, one kind
// of fault at a time and all kinds mixed. Each read is compared with a read
// of the same relays on a clean line. Goal: at least 95 % of the reads end
// with exactly the relay's values, and not one shows a wrong value (a read
// that fails says so; it never passes a spoiled value on).
#include "SimulatedLine.h"
#include "config/ConfigReader.h"
#include "link/RelaySession.h"
#include "link/RelayBus.h"
#include "support/RecordingOperator.h"

#include <cstdio>
#include <optional>
#include <QCoreApplication>

using namespace miv;

namespace {

constexpr int baudRate = 9600;
constexpr int readsPerLine = 40;
constexpr int replyTimeoutMs = 300;
constexpr double goalPercent = 95.0;

struct Tally
{
    int exact = 0;
    int failed = 0; // told "Ошибка связи с устройством!"
    int wrong = 0; // complete, but a value differs: must never happen
};

// The 34 value texts of relay 6 (type 6: timer schedule too) after a read.
std::optional<QStringList> readValues(RelaySession &session, RecordingOperator &op)
{
    session.configGrid.fillFromCatalogue(session.catalogue);
    if (readConfiguration(session, op) != ConfigReadResult::Complete)
        return std::nullopt;
    QStringList values;
    for (int row = 0; row < ConfigRow::count; ++row)
        values << session.configGrid.text(row, ConfigGrid::Value);
    for (const TimerMark &mark : session.timer.marks)
        values << QString::number(mark.word);
    values << QString::number(session.timer.switchWord());
    return values;
}

std::optional<Tally> runLine(const QString &faultRate, const std::optional<QStringList> &reference,
                             QStringList *clean = nullptr)
{
    SimulatedLine line("bench_faults",
                       {QStringLiteral("--relays"), QStringLiteral("6:6"), QStringLiteral("--seed"),
                        QStringLiteral("7"), QStringLiteral("--fault-rate"), faultRate,
                        QStringLiteral("--late-fault-ms"), QString::number(replyTimeoutMs + 200)},
                       baudRate);
    if (!line.ready())
        return std::nullopt;
    RelayBus &bus = line.bus();
    bus.setReplyTimeoutMs(replyTimeoutMs);
    RelaySession session(bus);
    session.device.networkAddress = 6;
    session.device.typeCode = 6;
    RecordingOperator op;
    Tally tally;
    for (int read = 0; read < (reference ? readsPerLine : 1); ++read) {
        const std::optional<QStringList> values = readValues(session, op);
        if (!values)
            ++tally.failed;
        else if (!reference)
            *clean = *values, ++tally.exact;
        else if (*values == *reference)
            ++tally.exact;
        else
            ++tally.wrong;
    }
    return tally;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList reference;
    const std::optional<Tally> clean = runLine(QStringLiteral("0"), std::nullopt, &reference);
    if (!clean || clean->exact != 1) {
        std::fprintf(stderr, "bench_faults: the clean line gave no reference read\n");
        return 1;
    }
    std::printf("bench_faults: %d configuration reads of a type-6 relay per line, 6 requests each, "
                "%d bit/s, reply time-out %d ms, 2 retries; about 10 %% of replies spoiled\n",
                readsPerLine, baudRate, replyTimeoutMs);
    std::printf("%-16s %8s %8s %8s %8s\n", "fault", "exact", "failed", "wrong", "exact %");
    bool met = true;
    for (const char *kinds : {"silent", "bad-crc", "garbage", "late", "truncate", "wrong-address",
                              "silent,bad-crc,garbage,late,truncate,wrong-address"}) {
        const QString rate = QStringLiteral("10:") + QLatin1String(kinds);
        const std::optional<Tally> tally = runLine(rate, reference);
        if (!tally)
            return 1;
        const double percent = 100.0 * tally->exact / readsPerLine;
        met = met && percent >= goalPercent && tally->wrong == 0;
        std::printf("%-16s %8d %8d %8d %7.1f%%\n",
                    QByteArray(kinds).contains(',') ? "mixed" : kinds, tally->exact, tally->failed,
                    tally->wrong, percent);
    }
    std::printf("goal (>= %.0f %% exact, no wrong value): %s\n", goalPercent,
                met ? "met" : "MISSED");
    return 0;
}
