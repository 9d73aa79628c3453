// The configurator window walked through its tabs on a simulated line, a
// picture of the window saved at each, for the README (scripts/screenshots).
// The window and data module are built as app/main.cpp builds them and
// driven through their own handlers, as the operator's clicks drive them.
//
//   screenshot_window --port PATH --out FOLDER [--address N]
//
// Saves FOLDER/window-<name>.png for each step and prints its path. A message
// box on the way is answered and told on stderr, and the exit status is 1;
// 2 on wrong usage.
#include "UnattendedWindow.h"
#include "app/ActionEnabling.h"
#include "app/JournalArchiveDialog.h"
#include "app/RegistryHistoryDialog.h"
#include "app/LineOverviewWindow.h"
#include "app/Tdm.h"
#include "app/TrendWindow.h"
#include "app/Tmf.h"
#include "app/WindowProcess.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

using namespace miv;

namespace {

struct Options
{
    QString port;
    QString out;
    int address = 6; // type 6: the timer tab is there too
};

std::optional<Options> parseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption out(QStringLiteral("out"), QString(), QStringLiteral("FOLDER"));
    const QCommandLineOption address(QStringLiteral("address"), QString(), QStringLiteral("N"),
                                     QStringLiteral("6"));
    parser.addOptions({port, out, address});
    if (!parser.parse(arguments) || !parser.isSet(port) || !parser.isSet(out))
        return std::nullopt;
    bool addressOk = false;
    Options options{parser.value(port), parser.value(out), parser.value(address).toInt(&addressOk)};
    if (!addressOk || options.address < 1 || options.address > 32)
        return std::nullopt;
    return options;
}

// One picture: the page to open, what the operator does there, the file's name.
struct Step
{
    const char *picture;
    int page;
    std::function<void()> act;
};

// Lets the window work for a while: timers tick, pictures settle.
void runFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void saveWindow(QWidget &window, const QString &path)
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents(); // the layout and the pictures settle
    if (!window.grab().save(path, "PNG")) {
        std::fprintf(stderr, "screenshot_window: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    std::printf("%s\n", qPrintable(path));
}

// The dialog of the window opened last, saved and closed.
template<typename Dialog>
void saveDialog(QWidget &window, const QString &path)
{
    auto *dialog = window.findChild<Dialog *>();
    if (!dialog) {
        std::fprintf(stderr, "screenshot_window: no dialog for %s\n", qPrintable(path));
        std::exit(1);
    }
    saveWindow(*dialog, path);
    dialog->close();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    prepareWindowProcess();
    const std::optional<Options> options = parseOptions(QApplication::arguments());
    if (!options) {
        std::fprintf(stderr,
                     "usage: screenshot_window --port PATH --out FOLDER [--address 1..32]\n");
        return 2;
    }
    // A program folder of its own: the build tree's "front.ini" stays untouched.
    QTemporaryDir programDir;
    if (!programDir.isValid() || !QDir().mkpath(options->out)) {
        std::fprintf(stderr, "screenshot_window: no folder to work in\n");
        return 1;
    }

    Tmf mf;
    UnattendedOperator op(&mf);
    op.setStatusBar(mf.statusBar());
    Tdm dm(mf, op, unattendedEnvironment(programDir.path(), options->port));
    mf.show();

    auto *devices = mf.findChild<QListWidget *>(QStringLiteral("lb"));
    const auto identify = [&] {
        dm.action(ActionId::a_pooling)->trigger();
        if (!devices || devices->count() < options->address)
            return;
        devices->setCurrentRow(options->address - 1);
        Q_EMIT devices->itemDoubleClicked(devices->currentItem());
    };
    // Refreshes half a second apart, so that each is a point of the trend.
    const auto refreshes = [&](int count) {
        for (int i = 0; i < count; ++i) {
            dm.action(ActionId::a_refresh)->trigger();
            runFor(450);
        }
    };
    const auto startMotorAndRefresh = [&] {
        refreshes(6); // the motor at rest
        dm.runCommand(1); // "Работа"
        refreshes(20); // the currents rise over a few reads, the motor warms
    };
    const auto read = [&] { dm.action(ActionId::a_getdata)->trigger(); };
    // In the order of the README's sections; a new page adds its row here.
    const Step steps[] = {
            {"scan", ActionEnabling::DevicesTab, identify},
            {"live-values", ActionEnabling::LiveValuesTab, startMotorAndRefresh},
            {"configuration", ActionEnabling::ConfigurationTab, read},
            {"journal", ActionEnabling::JournalTab, read},
            {"timer", ActionEnabling::TimerTab, read},
    };
    const auto pictureFile = [&](const char *name) {
        return QDir(options->out)
                .filePath(QStringLiteral("window-%1.png").arg(QLatin1String(name)));
    };
    for (const Step &step : steps) {
        mf.setCurrentPage(step.page);
        step.act();
        saveWindow(mf, pictureFile(step.picture));
    }
    // The windows of their own: the trend of the start above, and the line
    // overview after a few of its rounds.
    mf.setCurrentPage(ActionEnabling::LiveValuesTab);
    dm.trendExecute();
    saveWindow(dm.trendWindow(), pictureFile("trend"));
    dm.trendWindow().close();
    mf.setCurrentPage(ActionEnabling::DevicesTab);
    dm.lineOverviewExecute();
    runFor(3000);
    saveWindow(dm.lineOverviewWindow(), pictureFile("overview"));
    dm.lineOverviewWindow().close();
    // The register's dialogs of the relay read above: its settings'
    // history and its journal's archive.
    dm.settingsHistoryExecute();
    saveDialog<miv::RegistryHistoryDialog>(mf, pictureFile("history"));
    dm.journalArchiveExecute();
    saveDialog<miv::JournalArchiveDialog>(mf, pictureFile("archive"));
    return op.messages() == 0 ? 0 : 1;
}
