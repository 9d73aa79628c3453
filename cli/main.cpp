#include "cli/Commands.h"
#include "core/ProgramVersion.h"
#include "cli/Terminal.h"
#include "link/FrontIni.h"

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
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    ProcessTerminal terminal(err);
    return runCommandLine(application.arguments().mid(1), frontIniPath(), out, err, &terminal);
}
