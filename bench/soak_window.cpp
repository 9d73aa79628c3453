// The configurator window at work for a long time, for scripts/soak: the
// window and data module built as app/main.cpp builds them, on the real
// serial port (a simulated line's pseudo-terminal), driven through the
// window's own handlers: the scan, a double click on the relay's line, the
// tab "Текущие значения" and "Установить обновление" with the period given.
//
//   soak_window --port PATH [--address N] [--period S] [--minutes M]
//
// Prints "ready rss_kib K" once automatic refresh runs, then every minute
// "minute M rss_kib K refreshes R failures F restarts S" (K: its resident
// memory, VmRSS) and at the end "done refreshes R failures F restarts S".
// A refresh counts when the live values it brought differ from
// the ones before (the relay's clock and its moving values change with every
// read). A message box during the run is a failure: it is answered and noted
// on stderr; when automatic refresh has gone off (a lost link does that), the
// relay is identified again and automatic refresh switched on again, so that
// the run goes on (a restart). Exit status 0 when refreshes were done in
// every minute, 1 otherwise, 2 on wrong usage.
#include "ProcessMemory.h"
#include "UnattendedWindow.h"
#include "app/ActionEnabling.h"
#include "app/DialogOperator.h"
#include "app/Tdm.h"
#include "app/Tmf.h"
#include "app/WindowProcess.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <array>
#include <cstdio>

using namespace miv;

namespace {

struct Options
{
    QString port;
    int address = 1;
    QString period = QStringLiteral("1");
    int minutes = 60;
};

std::optional<Options> parseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption address(QStringLiteral("address"), QString(), QStringLiteral("N"),
                                     QStringLiteral("1"));
    const QCommandLineOption period(QStringLiteral("period"), QString(), QStringLiteral("S"),
                                    QStringLiteral("1"));
    const QCommandLineOption minutes(QStringLiteral("minutes"), QString(), QStringLiteral("M"),
                                     QStringLiteral("60"));
    parser.addOptions({port, address, period, minutes});
    if (!parser.parse(arguments) || !parser.isSet(port))
        return std::nullopt;
    Options options;
    options.port = parser.value(port);
    bool addressOk = false;
    bool minutesOk = false;
    options.address = parser.value(address).toInt(&addressOk);
    options.minutes = parser.value(minutes).toInt(&minutesOk);
    options.period = parser.value(period);
    if (!addressOk || options.address < 1 || options.address > 32 || !minutesOk
        || options.minutes < 1)
        return std::nullopt;
    return options;
}

// The operator's road to automatic refresh, through the window's handlers.
class Driver
{
public:
    Driver(Tmf &window, Tdm &dataModule, int address)
        : m_window(window),
          m_dm(dataModule),
          m_address(address),
          m_pages(window.findChild<QTabWidget *>(QStringLiteral("pc"))),
          m_devices(window.findChild<QListWidget *>(QStringLiteral("lb")))
    { }

    // Scans, identifies the relay, opens "Текущие значения" and switches
    // automatic refresh on; false when a step did not get there.
    bool startAutoRefresh()
    {
        if (!m_pages || !m_devices)
            return false;
        m_window.setCurrentPage(ActionEnabling::DevicesTab);
        m_dm.action(ActionId::a_pooling)->trigger();
        if (m_devices->count() < m_address)
            return false;
        m_devices->setCurrentRow(m_address - 1);
        Q_EMIT m_devices->itemDoubleClicked(
                m_devices->currentItem()); // as the operator double-clicks the line
        if (m_dm.session().device.networkAddress != m_address)
            return false;
        m_window.setCurrentPage(ActionEnabling::LiveValuesTab);
        m_dm.action(ActionId::a_setref)->trigger();
        return m_dm.session().flags.autoRefresh;
    }

    // Called after each tick of the refresh timer (connected after the data
    // module's own handler): counts the ticks that brought new values.
    void afterTick()
    {
        const LiveValues &live = m_dm.session().live;
        if (live.blockA != m_lastA || live.blockB != m_lastB)
            ++m_refreshes;
        m_lastA = live.blockA;
        m_lastB = live.blockB;
    }

    bool autoRefreshOn() const { return m_dm.session().flags.autoRefresh; }
    long refreshes() const { return m_refreshes; }

private:
    Tmf &m_window;
    Tdm &m_dm;
    int m_address;
    QTabWidget *m_pages;
    QListWidget *m_devices;
    long m_refreshes = 0;
    std::array<quint16, LiveValues::blockACount> m_lastA{};
    std::array<quint16, LiveValues::blockBCount> m_lastB{};
};

// This process's resident memory in KiB (VmRSS of /proc/self/status); -1 where there is none.
long residentKib()
{
    return processMemoryKib("VmRSS");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    prepareWindowProcess();

    const std::optional<Options> options = parseOptions(QApplication::arguments());
    if (!options) {
        std::fprintf(
                stderr,
                "usage: soak_window --port PATH [--address 1..32] [--period S] [--minutes M]\n");
        return 2;
    }
    // A program folder of its own: no "front.ini" of the build tree is read
    // or written, so the line settings are the defaults and the port is the one given.
    QTemporaryDir programDir;
    if (!programDir.isValid()) {
        std::fprintf(stderr, "soak_window: no temporary folder\n");
        return 1;
    }

    Tmf mf;
    UnattendedOperator op(&mf);
    op.setStatusBar(mf.statusBar());
    op.setPeriod(options->period);
    Tdm dm(mf, op, unattendedEnvironment(programDir.path(), options->port));
    mf.show();

    Driver driver(mf, dm, options->address);
    if (!dm.portOpen() || !driver.startAutoRefresh()) {
        std::fprintf(stderr, "soak_window: automatic refresh could not be started on %s\n",
                     qPrintable(options->port));
        return 1;
    }
    QObject::connect(&dm.refreshTimer(), &QTimer::timeout, &dm, [&driver] { driver.afterTick(); });
    std::printf("ready rss_kib %ld\n", residentKib());
    std::fflush(stdout);

    int minute = 0;
    int restarts = 0;
    long refreshesBefore = 0;
    bool everyMinuteRefreshed = true;
    QTimer minuteTimer;
    minuteTimer.setInterval(60 * 1000);
    QObject::connect(&minuteTimer, &QTimer::timeout, [&] {
        ++minute;
        everyMinuteRefreshed = everyMinuteRefreshed && driver.refreshes() > refreshesBefore;
        refreshesBefore = driver.refreshes();
        std::printf("minute %d rss_kib %ld refreshes %ld failures %d restarts %d\n", minute,
                    residentKib(), driver.refreshes(), op.messages(), restarts);
        std::fflush(stdout);
        if (minute >= options->minutes)
            QApplication::quit();
    });
    // A lost link switches automatic refresh off (and the window scans
    // again): the operator's road is taken once more.
    QTimer watch;
    watch.setInterval(5 * 1000);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (driver.autoRefreshOn())
            return;
        ++restarts;
        if (!driver.startAutoRefresh())
            std::fprintf(stderr, "soak_window: automatic refresh could not be started again\n");
    });
    minuteTimer.start();
    watch.start();
    QApplication::exec();

    std::printf("done refreshes %ld failures %d restarts %d\n", driver.refreshes(), op.messages(),
                restarts);
    std::fflush(stdout);
    return everyMinuteRefreshed && driver.refreshes() > 0 ? 0 : 1;
}
