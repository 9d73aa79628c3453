// bench_audit_chain: the audit log's hash chain on a log of a million lines.
// Prints how fast `mivctl audit verify` checks it (lines per second; goal:
// a million lines in under 10 s) and what one write's line costs at the end
// of such a log (the lock, the tail read back, the append; goal: under 10 ms).
//   bench_audit_chain [LINES]   (default 1000000)
#include "RecordingOperator.h"
#include "core/AuditChain.h"
#include "core/AuditLog.h"
#include "core/HashChain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace miv;

namespace {

// A log of `count` linked lines, written as the writers would chain them.
bool writeLog(const QString &path, qint64 count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QDateTime start(QDate(2024, 5, 1), QTime(9, 0, 0));
    AuditChain::Tail tail{HashChain::startLink({})}; // a new log
    for (qint64 n = 1; n <= count; ++n) {
        const AuditEntry entry{start.addSecs(n),
                               QStringLiteral("anna"),
                               QStringLiteral("/dev/ttyUSB0"),
                               int(n % 32) + 1,
                               4711,
                               QStringLiteral("0x0055"),
                               QStringLiteral("Время пуска"),
                               QStringLiteral("4,5"),
                               QStringLiteral("5,0"),
                               AuditAnswer::taken,
                               QStringLiteral("0b9a4f4e-5d0c-4c1e-9f3a-2f6f4d1a%1")
                                       .arg(n % 10000, 4, 10, QLatin1Char('0'))};
        const QByteArray line = AuditChain::linkedLine(AuditLog::toJsonLine(entry), tail);
        file.write(line + '\n');
        tail.link = line.right(HashChain::linkSize + 2).left(HashChain::linkSize);
        ++tail.number;
    }
    return file.flush();
}

} // namespace

int main(int argc, char **argv)
{
    const qint64 lines = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    constexpr double goalSeconds = 10.0; // for a million lines
    constexpr double goalWriteMs = 10.0;
    constexpr int writes = 200;
    QTemporaryDir dir;
    const QString path = dir.filePath(AuditLog::fileName);
    if (lines <= 0 || !dir.isValid() || !writeLog(path, lines)) {
        std::fprintf(stderr, "no log of %lld lines could be written\n", lines);
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpuStart = std::clock();
    const std::optional<AuditChainCheck> check = AuditChain::check(path);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    // The processor's time too: on a busy machine it tells what the check costs.
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (!check || check->fault != AuditChainCheck::Fault::None || check->linked != lines) {
        std::fprintf(stderr, "the log written did not check whole\n");
        return 1;
    }
    const double perMillion = seconds * 1e6 / double(lines);
    std::printf("audit verify of %lld lines (%.0f MB): %.2f s (processor %.2f s), %.0f lines/s, "
                "a million in %.2f s (goal < %.0f s): %s\n",
                lines, double(QFile(path).size()) / 1e6, seconds, cpuSeconds,
                double(lines) / seconds, perMillion, goalSeconds,
                perMillion < goalSeconds ? "met" : "MISSED");

    AuditLog log(dir.path());
    RecordingOperator op;
    timer.restart();
    for (int n = 0; n < writes; ++n)
        log.record(17, 4711, {0x55, false, QStringLiteral("Время пуска"), {}, {}},
                   AuditAnswer::taken, op);
    const double writeMs = double(timer.nsecsElapsed()) / 1e6 / writes;
    std::printf("one line written at the end of it: %.3f ms (goal < %.0f ms): %s\n", writeMs,
                goalWriteMs, writeMs < goalWriteMs ? "met" : "MISSED");
    const bool whole = AuditChain::check(path)->linked == lines + writes;
    if (!whole)
        std::fprintf(stderr, "the lines written broke the chain\n");
    return whole && perMillion < goalSeconds && writeMs < goalWriteMs ? 0 : 2;
}
