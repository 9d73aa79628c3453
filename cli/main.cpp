#include "cli/Commands.h"
#include "core/ProgramVersion.h"
#include "cli/Terminal.h"
#include "cli/SheetOutputs.h"
#include "cli/SheetPdfDrawing.h"
#include "link/FrontIni.h"

#include <memory>
#include <QCoreApplication>
#include <QStringConverter>
#include <QTextStream>
#include <cstdio>

using namespace miv;
using namespace miv::cli;

int main(int argc, char *argv[])
{
    if (printVersionWhenAsked(argc, argv, "mivctl"))
        return 0;
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Only a sheet as PDF needs fonts and painting; every other command runs
    // without the graphics library. The PDF's own library, found from the
    // program's folder, starts the graphics in place of the core application.
    auto application = std::make_unique<QCoreApplication>(argc, argv);
    if (asksForPdf(arguments)) {
        QString problem;
        if (!loadSheetPdfLibrary(QCoreApplication::applicationDirPath(), &problem)) {
            std::fprintf(stderr, "mivctl: %s\n", problem.toUtf8().constData());
            return ExitStatus::Refused;
        }
        application.reset();
        chooseOffscreenWithoutDisplay();
        application = startSheetPdfGraphics(argc, argv);
    }
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    ProcessTerminal terminal(err);
    return runCommandLine(application->arguments().mid(1), frontIniPath(), out, err, &terminal);
}
