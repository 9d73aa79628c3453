#pragma once

#include "app/AboutBox.h"
#include "app/ActionId.h"
#include "app/WindowActions.h"
#include "app/AutoRefresh.h"
#include "app/BusWorkGate.h"
#include "app/ConfigurationPage.h"
#include "app/DataModuleEnvironment.h"
#include "app/HandlerNames.h"
#include "app/JournalPage.h"
#include "app/LineOverviewWindow.h"
#include "app/LiveValuesPage.h"
#include "app/TrendWindow.h"
#include "app/PortKeeper.h"
#include "app/RegistryCheckWindow.h"
#include "app/RefreshStoppingOperator.h"
#include "core/Operator.h"
#include "link/RelaySession.h"
#include "registry/CommissioningReportBuilder.h"
#include "registry/RegistryRecorder.h"
#include "registry/RegistryStore.h"

#include <functional>
#include <memory>

#include <QObject>
#include <QPixmap>

class QAction;
class QMenuBar;
class QTimer;
class Tmf;

// The data module `dm`: the actions with their menu and toolbar, the port
// `p`, the timers `rt` and `lt`, and the program-wide state, each kept by a
// part of its own; its handlers keep their designer names and hand the work
// to those parts. It connects to what the main window tells of the
// operator's doings; the window knows nothing of it. It lives from after the
// main window's creation to after the message loop's end.
class Tdm : public QObject
{
    Q_OBJECT
public:
    using Environment = miv::DataModuleEnvironment;

    // Creates the components, wires them and runs DataModuleCreate.
    Tdm(Tmf &mainWindow, miv::Operator &op, Environment environment, QObject *parent = nullptr);
    // Runs DataModuleDestroy.
    ~Tdm() override;

    // --- The components, for the window and the tests ---
    QAction *action(miv::ActionId id) const { return m_actions.action(id); }
    QAction *portSetupAction() const { return m_actions.portSetup(); }
    QAction *lineSearchAction() const { return m_actions.lineSearch(); }
    QAction *compareAction() const { return m_actions.compareWithFile(); }
    QAction *settingsSheetAction() const { return m_actions.settingsSheet(); }
    QAction *lineOverviewAction() const { return m_actions.lineOverview(); }
    miv::RegistryCheckWindow &checkWindow() { return m_check; }
    QAction *approveSettingsAction() const { return m_actions.approveSettings(); }
    QAction *settingsHistoryAction() const { return m_actions.settingsHistory(); }
    QAction *approvedCheckAction() const { return m_actions.approvedCheck(); }
    miv::LineOverviewWindow &lineOverviewWindow() { return m_overview; }
    miv::TrendWindow &trendWindow() { return m_trend; }
    QMenuBar *menuBar() const { return m_actions.menuBar(); }
    miv::PortLink &port() { return m_port.link(); }
    miv::RelaySession &session() { return m_session; }
    miv::RegistryRecorder &recorder() { return *m_recorder; }
    QTimer &refreshTimer() { return m_autoRefresh.timer(); }
    QTimer &blinkTimer() { return m_livePage.blinkTimer(); }
    bool portOpen() const { return m_port.link().isOpen(); }
    bool relaySelected() const { return m_session.device.networkAddress != 0; }
    // The handlers connected to the actions, the window's signals and the
    // parts' signals, "Tdm::a_poolingExecute", ...
    const QStringList &connectedHandlers() const { return m_handlers.names(); }
    // The check of the tab "Управление реле" put in place of
    // relayControlEntryCheck (a test's); true when the tab may stay.
    void setRelayControlEntryCheck(std::function<bool()> check);

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
    // "Руководство оператора" (F1): the manual at the section of the tab in view.
    void a_manualExecute();
    void a_chpassExecute();
    void a_saveExecute();
    void a_loadExecute();
    // "Сравнить с файлом...": the relay as last read against a settings file.
    void compareWithFileExecute();
    // "Лист настроек...": the settings sheet of the relay or the file the grid holds.
    void settingsSheetExecute();
    // "Обзор линии": every relay of the last scan in one table, refreshed in turn.
    void lineOverviewExecute();
    // The relay register: the settings last read approved for the relay,
    // the relay's history, and the relays of the last scan checked against
    // their approved settings.
    void approveSettingsExecute();
    void settingsHistoryExecute();
    // "Архив..." of the journal page: the identified relay's journal kept in the register.
    void journalArchiveExecute();
    void approvedCheckExecute();
    // "График...": the trend of the identified relay's values.
    void trendExecute();
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
    // The window's tab `page` entered (pcChange): automatic refresh off, the
    // outputs offered again only after the check, the actions the tab
    // offers, and the tab's own read.
    void enterPage(int page);
    // The grids' start-up contents: the catalogue's names and registers in
    // the configuration grid, "#" in the journal grid's first column.
    void fill_conf();

private:
    void initActions();
    // What the operator does on the main window, to its handlers here.
    void connectWindow();
    // The port was lost under an exchange (the link tells it once, after
    // the exchange): automatic refresh stops, the relay control page's offer
    // is taken back, the plug shows pulled and the tab's actions follow; all
    // that waits until the bus work under way is over.
    void followLostPort();
    // A double-click on the configuration grid's selected row.
    void activateConfigRow();
    // Whether the window may close: not while the journal is read; a write
    // under way ends its exchange first (WriteStop), then the window closes;
    // unwritten changes are asked about.
    bool windowMayClose();
    // A close asked while "Записать" writes: the exchange under way is
    // finished and logged, no further write is sent, and the window is
    // closed once the write has returned.
    void closeAfterWrite();
    // The refresh of the active page; a timer-driven one reports a lost link
    // when the port fails under it.
    void refreshPage(bool timerDriven);
    // After a port failure under a timer-driven refresh: tell it with its
    // reason, go to the first tab, and scan the line again when the port
    // opened again.
    void handleLostLink(const QString &reason);
    void openFile(const QString &path);
    // The identified relay in the register, with the register; nullopt when
    // either is missing, the operator told why.
    std::optional<miv::RegistryRelay> selectedRegistryRelay(miv::RegistryStore *&store);
    // "Протокол наладки..." of the history: the report built, then saved
    // where the operator chooses.
    void commissioningReportExecute(miv::RegistryStore &store, const miv::RegistryRelay &relay,
                                    const miv::ReportVisit &visit);
    // A row of the line overview double-clicked: that relay identified and
    // "Текущие значения" opened.
    void identifyFromOverview(quint8 address);

    // Declared in the order they are made: each part is given those before it.
    Environment m_environment;
    Tmf &mf;
    // The operator every part talks through: the window's, with automatic
    // refresh switched off before any failure is shown.
    miv::RefreshStoppingOperator m_operator;
    miv::WindowActions m_actions;
    miv::PortKeeper m_port; // p
    // The relay register every configuration read and write is recorded in.
    std::unique_ptr<miv::RegistryRecorder> m_recorder;
    miv::RelaySession m_session;
    miv::BusWorkGate m_gate;
    miv::AutoRefresh m_autoRefresh; // rt
    miv::LiveValuesPage m_livePage; // lt
    miv::ConfigurationPage m_configurationPage;
    miv::JournalPage m_journalPage;
    AboutBox m_about;
    miv::LineOverviewWindow m_overview;
    miv::TrendWindow m_trend;
    miv::RegistryCheckWindow m_check;
    QList<quint8> m_lastScanFound; // the relays "Опрос" found last
    std::function<bool()> m_relayControlEntryCheck;
    miv::HandlerNames m_handlers;
    bool m_writeRunning = false;
    bool m_closeAfterWrite = false;
};
