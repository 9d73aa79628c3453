#pragma once

#include "app/ActionId.h"
#include "app/ImageList.h"
#include "app/RefreshStoppingOperator.h"
#include "core/Operator.h"
#include "config/SettingsCompare.h"
#include "link/RelaySession.h"
#include "device/PortSetup.h"
#include "link/PortOverride.h"
#include "link/PortLink.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <QLibrary>
#include <QObject>
#include <QPixmap>
#include <QTimer>

namespace miv {
class ConfigEditor;
class TimerTabBinding;
} // namespace miv
class QAction;
class QMenuBar;
class Tmf;

// The data module `dm`: the port, the timers, the actions with their
// menu and toolbar, the image lists, and the program-wide state. It lives
// from after the main window's creation to after the message loop's end.
class Tdm : public QObject
{
    Q_OBJECT
public:
    // What differs between the program and a test run.
    struct Environment
    {
        // The program's folder with its trailing separator: the about library
        // is looked for there (and in the installed library folder reached from it).
        QString programDir;
        // The "front.ini" to read and write; empty means the one in programDir.
        QString frontIni;
        // A port (serial, or a TCP gateway) used for this run instead of the
        // one in "front.ini" and never stored there.
        std::optional<miv::PortOverride> portOverride;
        // The port setup dialog; empty means the real one.
        miv::PortSetupDialog portSetupDialog;
        // Makes the port link `p`; empty means the program's own, the serial
        // port or the TCP gateway as the settings' transport says (LineLink).
        std::function<std::unique_ptr<miv::PortLink>()> portLink;
        // Opens a written report with the program the desktop associates
        // with it; empty means the desktop's own.
        std::function<void(const QString &path)> openFile;
        // Shows the differences of "Сравнить с файлом..."; empty means the
        // real dialog.
        std::function<void(const QString &path, const QList<miv::SettingsDifference> &)>
                showDifferences;
    };

    // Creates the components, wires them and runs DataModuleCreate.
    Tdm(Tmf &mainWindow, miv::Operator &op, Environment environment, QObject *parent = nullptr);
    // Runs DataModuleDestroy.
    ~Tdm() override;

    QAction *action(ActionId id) const { return m_actions[std::size_t(id)]; }
    bool portOpen() const { return p.isOpen(); }
    // Automatic refresh off: the flag cleared and the refresh timer stopped.
    void stopAutoRefresh();

    // --- What the window asks of the session ---
    bool editingLocked() const { return session.flags.editingLocked; }
    bool unwrittenChanges() const { return session.flags.unwrittenChanges; }
    // The type of the relay identified last; 0 before any.
    quint16 relayTypeCode() const { return session.device.typeCode; }
    // The live values tab opens on the current values, not those at the start limit.
    void leaveStartLimitView() { session.flags.startLimitView = false; }
    // The configuration grid's row cursor moved to `row`.
    void selectConfigRow(int row);
    // A double-click on the selected row; true when the tab's actions must follow.
    bool activateConfigRow();
    // Toggles timer button 1..7.
    void clickTimerSwitch(int button);
    // Lamp picture `index` at the given pixel ratio.
    QPixmap lampIcon(int index, qreal devicePixelRatio) const
    {
        return il2.pixmap(index, devicePixelRatio);
    }
    // A question or message for the operator.
    miv::Operator::Answer ask(miv::Operator::Icon icon, const QString &text,
                              miv::Operator::Buttons buttons = miv::Operator::Buttons::Ok);
    QString settingsFile() const
    {
        return m_environment.frontIni.isEmpty() ? m_programDir + QStringLiteral("front.ini")
                                                : m_environment.frontIni;
    }
    const QString &programDir() const { return m_programDir; }
    // A loop of bus exchanges (the journal reading) is running: every action
    // is disabled and the window may not close until it ends.
    bool busWorkRunning() const { return m_busWorkRunning; }

    // --- Handlers ---
    void DataModuleCreate();
    void DataModuleDestroy();
    void a_poolingExecute();
    void a_getinfoExecute();
    void a_refreshExecute();
    void a_setrefExecute();
    void a_printExecute();
    void a_getdataExecute();
    void a_setdataExecute();
    void a_portExecute();
    void a_exitExecute();
    void a_aboutExecute();
    void a_chpassExecute();
    void a_saveExecute();
    void a_loadExecute();
    // "Сравнить с файлом...": the relay as last read against a settings file.
    void compareWithFileExecute();
    void N6Click();
    // "Поиск устройства...": the line settings of a relay that answers nothing
    // at the port's, offered for the port.
    void N7Click();
    void pAfterOpen();
    void pBeforeClose();
    // The live values: the display of the last read, the refresh timer's
    // tick, the blink of lamp 7, and the clock writes.
    void show_values();
    void rtTimer();
    void ltTimer();
    void sync_time();
    void set_time();
    // The command buttons by their tag: SetCommand's 1..7, SetCommand2's 1..6.
    void runCommand(int tag);
    void runOutputCommand(int tag);
    // The check of the tab "Управление реле"; true when the tab may stay.
    // Moves to "Текущие значения" or "Связь с устройствами" otherwise.
    bool relayControlEntryCheck();
    // Any page change: the outputs are offered again only after the check.
    void relayControlLeft();
    // The grids' start-up contents: the catalogue's names and registers in
    // the configuration grid, "#" in the journal grid's first column.
    void fill_conf();

private:
    // Owns the link `p` refers to; made before the session that talks through it.
    std::unique_ptr<miv::PortLink> m_portLink;
    // The operator `op` refers to: the window's, with automatic refresh
    // switched off before any failure is shown.
    RefreshStoppingOperator m_operator;

public:
    // --- Components and program-wide state ---
    Tmf &mf;
    miv::Operator &op;
    miv::PortLink &p;
    QTimer rt; // refresh timer
    QTimer lt; // lamp blink timer
    ImageList il0 = ImageList::toolbarIcons();
    ImageList il = ImageList::rowPictures();
    ImageList il2 = ImageList::lampIcons();
    QMenuBar *mm = nullptr;
    QAction *a_pooling = nullptr, *a_getinfo = nullptr, *a_refresh = nullptr, *a_setref = nullptr,
            *a_print = nullptr, *a_getdata = nullptr, *a_setdata = nullptr, *a_port = nullptr,
            *a_exit = nullptr, *a_about = nullptr, *a_chpass = nullptr, *a_save = nullptr,
            *a_load = nullptr;
    QAction *N6 = nullptr; // "Настройка порта"
    QAction *compareAction = nullptr; // "Сравнить с файлом..."
    QAction *N7 = nullptr; // "Поиск устройства..."
    // The relay, the flags, the catalogue, the grid, the timer schedule and
    // the live state that every operation works on.
    miv::RelaySession session;
    // The grid's row cursor and double-click (SelectedRow, selectedRawValue).
    std::unique_ptr<miv::ConfigEditor> configEditor;
    // The timer tab's pickers and buttons over timerSchedule; it handles bu01Click.
    miv::TimerTabBinding *timerTab = nullptr;

private:
    void createActions();
    void createMenu();
    void fillToolbar();
    // Column 0 of the configuration grid shows the relay's menu-item pictures.
    void showRowPictures();
    void initActions();
    // The Port action's picture: the plug connected or pulled apart.
    void setPortIcon(int imageIndex);
    bool storePortSettings(const miv::PortSettings &settings, QString *error);
    // The port settings of "front.ini", or the defaults (the operator told why).
    miv::PortSettings loadFrontIni();
    miv::PortSetupResult runPortSetupDialog(quint8 relayAddress);
    void readConfigurationIntoGrid();
    void readJournalIntoGrid();
    // Around a loop of bus exchanges: the window and every enabled action
    // disabled, then the actions enabled before brought back.
    void beginBusWork();
    void endBusWork();
    void openFile(const QString &path);
    void writeConfiguration();
    void writeTimerSchedule();
    // After every exchange: a port lost on the way stops automatic refresh
    // and shows the plug pulled.
    void followPortState();
    // The refresh of the active page; a timer-driven one reports a lost link
    // when the port fails under it.
    void refreshPage(bool timerDriven);
    void refreshLiveValues(bool timerDriven);
    void readServicePage();
    // After a port failure under a timer-driven refresh that the port
    // survived (it opened again): tell, go to the first tab and scan the line
    // again.
    void handleLostLink();
    void setAutoRefreshPicture(bool on);

    Environment m_environment;
    QString m_programDir;
    std::array<QAction *, actionCount> m_actions{};
    QLibrary m_aboutLibrary;
    int m_blinkTag = 0; // lt's Tag: flips at every blink
    // An exchange with the relay runs (a refresh, a command): a refresh tick
    // that comes meanwhile, under one of its boxes, is skipped.
    bool m_exchanging = false;
    bool m_busWorkRunning = false;
    QList<QAction *> m_enabledBeforeBusWork;
};
