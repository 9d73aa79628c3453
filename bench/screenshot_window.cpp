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
#include "app/Tdm.h"
#include "app/Tmf.h"
#include "app/WindowProcess.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
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

void saveWindow(Tmf &window, const QString &path)
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents(); // the layout and the pictures settle
    if (!window.grab().save(path, "PNG")) {
        std::fprintf(stderr, "screenshot_window: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    std::printf("%s\n", qPrintable(path));
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
    const auto startMotorAndRefresh = [&] {
        dm.runCommand(1); // "Работа"
        for (int i = 0; i < 6; ++i) // the currents rise over a few reads
            dm.action(ActionId::a_refresh)->trigger();
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
    for (const Step &step : steps) {
        mf.setCurrentPage(step.page);
        step.act();
        saveWindow(
                mf,
                QDir(options->out)
                        .filePath(
                                QStringLiteral("window-%1.png").arg(QLatin1String(step.picture))));
    }
    return op.messages() == 0 ? 0 : 1;
}
