// bench_settings_sheet: the settings sheet of a type-6 relay read from the
// simulated relay model: the document built and written as workbook, CSV
// and PDF (through temporary files that replace the targets), 20 times.
// Prints the first run (the font database is loaded then), the median and
// the slowest of the rest, and the PDF alone. Goal: under 100 ms a sheet,
// PDF included.
//   bench_settings_sheet [FOLDER]   also keeps sheet.xls, .csv, .pdf in FOLDER.
#include "config/ConfigReader.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"
#include "report/SettingsSheetExport.h"
#include "report/SettingsSheetPdf.h"
#include "sim/LoopbackPort.h"
#include "support/RecordingOperator.h"

#include <algorithm>
#include <cstdio>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <vector>

using namespace miv;

namespace {

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    constexpr int runs = 20;
    constexpr double goalMs = 100.0;

    sim::RelayLine line;
    line.addRelay(6, 6);
    sim::LoopbackPort port(line);
    port.open(QIODevice::ReadWrite);
    RelayBus bus(&port);
    RelaySession session(bus);
    RecordingOperator op;
    session.device.networkAddress = 6;
    session.device.typeCode = 6;
    session.device.deviceName = QStringLiteral("МИВ-06    ");
    session.device.factoryNumber = 1006;
    session.valuesOwner = session.selectedRelay();
    session.configGrid.fillFromCatalogue(session.catalogue);
    if (readConfiguration(session, op) != ConfigReadResult::Complete) {
        std::fprintf(stderr, "the simulated relay was not read: %s\n",
                     qPrintable(op.shownTexts().join(u' ')));
        return 1;
    }

    QTemporaryDir temporary;
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path());
    using SettingsSheetExport::Format;
    const std::pair<QString, Format> files[] = {{folder.filePath("sheet.xls"), Format::Xls},
                                                {folder.filePath("sheet.csv"), Format::Csv},
                                                {folder.filePath("sheet.pdf"), Format::Pdf}};
    std::vector<double> sheets;
    std::vector<double> pdfs;
    double first = 0;
    for (int run = 0; run <= runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const SettingsSheet::Document document = SettingsSheet::build(
                session, QStringLiteral("/dev/ttyUSB0"), QDateTime::currentDateTime());
        for (const auto &[path, format] : files) {
            QString error;
            if (!SettingsSheetExport::write(path, format, document, &error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
        }
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        timer.restart();
        if (SettingsSheetPdf::pdf(document).isEmpty())
            return 1;
        if (run == 0) {
            first = ms;
            continue;
        }
        sheets.push_back(ms);
        pdfs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const double typical = median(sheets);
    std::printf("settings sheet of a type-6 relay, xls + csv + pdf written: first %.1f ms "
                "(fonts loaded), then median %.1f ms, slowest %.1f ms (goal < %.0f ms): %s\n",
                first, typical, *std::max_element(sheets.begin(), sheets.end()), goalMs,
                typical < goalMs ? "met" : "MISSED");
    std::printf("the PDF alone, in memory: median %.1f ms\n", median(pdfs));
    return typical < goalMs ? 0 : 2;
}
