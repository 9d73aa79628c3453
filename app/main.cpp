#include "app/DialogOperator.h"
#include "app/Tdm.h"
#include "app/Tmf.h"
#include "app/Tsf.h"
#include "app/WindowProcess.h"
#include "core/ProgramVersion.h"
#include "link/FrontIni.h"

#include <QApplication>
#include <QCommandLineParser>

using namespace miv;

namespace {

// The one command-line option: `--port NAME` opens NAME for this run instead
// of the port named in "front.ini", without storing it there. ./run uses it to
// point the window at the simulated relay line. Nothing else is read.
std::optional<QString> portNameFromArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption portOption(QStringLiteral("port"), QString(), QStringLiteral("NAME"));
    parser.addOption(portOption);
    parser.parse(arguments);
    if (!parser.isSet(portOption))
        return std::nullopt;
    return parser.value(portOption);
}

} // namespace

int main(int argc, char *argv[])
{
    if (printVersionWhenAsked(argc, argv, "mivconf"))
        return 0;
    QApplication application(argc, argv);
    prepareWindowProcess();

    auto *splash = new Tsf;
    splash->showForAWhile();

    Tmf mf;
    DialogOperator op(&mf);
    op.setStatusBar(mf.statusBar());
    Tdm::Environment environment;
    environment.programDir = QApplication::applicationDirPath() + QLatin1Char('/');
    environment.frontIni = frontIniPath();
    environment.portNameOverride = portNameFromArguments(QApplication::arguments());
    Tdm dm(mf, op, environment);

    splash->hide();
    delete splash;

    mf.show();
    return QApplication::exec();
}
