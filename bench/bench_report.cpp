// bench_report: builds the report workbook for a full journal of 100 entries
// and writes it to a temporary file, 20 times. Prints the median and the
// slowest run in milliseconds. Goal: under 50 ms a report.
//   bench_report [FILE.xls]   also keeps the report in FILE.xls, to open elsewhere.
#include "report/JournalReportLayout.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace miv;

int main(int argc, char **argv)
{
    constexpr int runs = 20;
    constexpr double goalMs = 50.0;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    JournalReportLayout::Input input;
    input.date = QStringLiteral("01.02.2024 10:11:12");
    input.deviceName = QStringLiteral("МИВ-04    ");
    input.factoryNumber = 12345;
    input.softwareVersion = QStringLiteral("1.08");
    for (int n = 1; n <= JournalReportLayout::journalRows; ++n)
        input.journal.append(
                {QStringLiteral("01.02.2024 10:%1:00").arg(n % 60, 2, 10, QLatin1Char('0')),
                 QStringLiteral("Срабатывание защиты от перегрузки %1").arg(n),
                 QStringLiteral("Iа=%1 А, Iв=%2 А, Iс=%3 А").arg(n).arg(n + 1).arg(n + 2),
                 QString()});

    const QString path = dir.filePath(QStringLiteral("report.xls"));
    std::vector<double> times;
    std::vector<double> encodeTimes; // the layout and the file's bytes, without the disk
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        QString error;
        if (!JournalReportLayout::build(input).save(path, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        if (JournalReportLayout::build(input).toBiff8().isEmpty())
            return 1;
        encodeTimes.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    if (argc > 1) {
        QString error;
        if (!JournalReportLayout::build(input).save(QString::fromLocal8Bit(argv[1]), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    std::sort(encodeTimes.begin(), encodeTimes.end());
    const double median = times[times.size() / 2];
    std::printf("report of 100 journal rows, build and encode only: median %.2f ms\n",
                encodeTimes[encodeTimes.size() / 2]);
    std::printf(
            "report of 100 journal rows, build and write: median %.2f ms, slowest %.2f ms (goal < %.0f ms): %s\n",
            median, times.back(), goalMs, median < goalMs ? "met" : "MISSED");
    return median < goalMs ? 0 : 2;
}
