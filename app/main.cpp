#include "app/DialogOperator.h"
#include "app/Tdm.h"
#include "app/Tmf.h"
#include "app/Tsf.h"
#include "app/WindowProcess.h"
#include "core/ProgramVersion.h"
#include "link/FrontIni.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <cstdio>

using namespace miv;

namespace {

// The one command-line option: `--port NAME` (a serial port) or `--port
// tcp://HOST:PORT` (a serial-to-Ethernet gateway), as mivctl takes it, opens
// that port for this run instead of the one in "front.ini", without storing
// it there. ./run uses it to point the window at the simulated relay line.
// Nothing else is read. False (told to the operator) for a value that is no port.
bool portFromArguments(const QStringList &arguments, std::optional<PortOverride> &port)
{
    QCommandLineParser parser;
    const QCommandLineOption portOption(QStringLiteral("port"), QString(), QStringLiteral("NAME"));
    parser.addOption(portOption);
    parser.parse(arguments);
    if (!parser.isSet(portOption))
        return true;
    port = PortOverride::parse(parser.value(portOption));
    if (port)
        return true;
    const QString problem =
            QStringLiteral("Неверный порт в --port: \"%1\". Укажите имя порта (COM3, ttyUSB0) "
                           "или tcp://АДРЕС:ПОРТ шлюза.")
                    .arg(parser.value(portOption));
    std::fprintf(stderr, "mivconf: %s\n", problem.toLocal8Bit().constData());
    QMessageBox::critical(nullptr, QStringLiteral("Ошибка"), problem);
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (printVersionWhenAsked(argc, argv, "mivconf")
        || printHelpWhenAsked(argc, argv, windowUsage()))
        return 0;
    QApplication application(argc, argv);
    prepareWindowProcess();
    std::optional<PortOverride> port;
    if (!portFromArguments(QApplication::arguments(), port))
        return 2;

    auto *splash = new Tsf;
    splash->showForAWhile();

    Tmf mf;
    DialogOperator op(&mf);
    op.setStatusBar(mf.statusBar());
    op.setFrontIni(frontIniPath());
    Tdm::Environment environment;
    environment.programDir = QApplication::applicationDirPath() + QLatin1Char('/');
    environment.frontIni = frontIniPath();
    environment.portOverride = port;
    Tdm dm(mf, op, environment);

    splash->hide();
    delete splash;

    mf.show();
    return QApplication::exec();
}
