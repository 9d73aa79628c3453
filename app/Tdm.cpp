#include "app/Tdm.h"

#include "app/ActionEnabling.h"
#include "app/TabVisibility.h"
#include "app/JournalArchiveDialog.h"
#include "app/ManualSections.h"
#include "app/OperatorManualDialog.h"
#include "app/RegistryHistoryDialog.h"
#include "app/Tmf.h"
#include "core/ConfigGrid.h"
#include "core/Texts.h"
#include "core/WriteStop.h"
#include "device/Discovery.h"
#include "device/Identification.h"
#include "device/RelayCommands.h"
#include "registry/CommissioningReportBuilder.h"
#include "registry/JournalArchiveReport.h"
#include "registry/JournalStore.h"
#include "registry/RegistryCheck.h"
#include "report/CommissioningReportExport.h"
#include "report/JournalReport.h"
#include "report/SettingsSheetExport.h"

#include <cstdlib>
#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QUrl>
#include <utility>

using namespace miv;

Tdm::Tdm(Tmf &mainWindow, Operator &op, Environment environment, QObject *parent)
    : QObject(parent),
      m_environment(std::move(environment)),
      mf(mainWindow),
      m_operator(op, [this] { m_autoRefresh.stop(); }),
      m_actions(this),
      m_port(m_environment, m_operator, m_actions, mainWindow),
      m_recorder(RegistryRecorder::forProgram({}, m_environment.frontIniPath())),
      m_session(m_port.link().bus()),
      m_gate(mainWindow, m_actions),
      m_autoRefresh(m_session.flags, m_actions),
      m_livePage(mainWindow, m_session, m_operator, m_gate),
      m_configurationPage(mainWindow, m_session, m_operator, m_actions, m_environment,
                          [this](const QString &path) { openFile(path); }),
      m_journalPage(mainWindow, m_session, m_operator, m_gate,
                    [this](const QString &path) { openFile(path); }),
      m_overview(m_session, m_operator, &mainWindow),
      m_trend(m_session, m_operator, &mainWindow),
      m_check(m_port.link().bus(), *m_recorder, &mainWindow)
{
    setObjectName(QStringLiteral("dm"));
    mf.setMenuBar(m_actions.menuBar());
    mf.setLampPictures([this](int index, qreal devicePixelRatio) {
        return m_actions.lampIcons().pixmap(index, devicePixelRatio);
    });
    mf.setCloseCheck([this] { return windowMayClose(); });
    mf.setToolbarActions(m_actions.toolbarRow());
    mf.setConfigModel(&m_session.configGrid);
    mf.setJournalModel(&m_session.journal);
    // The grid is a child of the window and shares its pixel ratio.
    QList<QPixmap> pictures;
    for (int index = 0; index < m_actions.rowPictures().count(); ++index)
        pictures << m_actions.rowPictures().pixmap(index, mf.devicePixelRatioF());
    mf.setRowPictures(pictures);

    PortLink &p = m_port.link();
    m_session.reopenPort = [&p](QString *error) { return p.reopen(error); };
    m_session.portHeldOpen = [&p] { return p.heldOpen(); };
    m_session.portLostHint =
            QStringLiteral("Подключите адаптер и нажмите «Порт», чтобы открыть его снова.");
    m_session.audit.portName = [&p] { return p.settings().portName; };
    m_session.recorder = m_recorder.get();
    m_relayControlEntryCheck = [this] { return relayControlEntryCheck(); };
    initActions();
    connectWindow();
    DataModuleCreate();
}

Tdm::~Tdm()
{
    DataModuleDestroy();
    mf.setLampPictures({});
    mf.setCloseCheck({});
}

void Tdm::initActions()
{
    using Handler = NamedHandler<void (Tdm::*)()>;
    const std::pair<QAction *, Handler> handlers[] = {
            {action(ActionId::a_pooling), MIV_HANDLER(Tdm, a_poolingExecute)},
            {action(ActionId::a_getinfo), MIV_HANDLER(Tdm, a_getinfoExecute)},
            {action(ActionId::a_refresh), MIV_HANDLER(Tdm, a_refreshExecute)},
            {action(ActionId::a_setref), MIV_HANDLER(Tdm, a_setrefExecute)},
            {action(ActionId::a_print), MIV_HANDLER(Tdm, a_printExecute)},
            {action(ActionId::a_getdata), MIV_HANDLER(Tdm, a_getdataExecute)},
            {action(ActionId::a_setdata), MIV_HANDLER(Tdm, a_setdataExecute)},
            {action(ActionId::a_port), MIV_HANDLER(Tdm, a_portExecute)},
            {action(ActionId::a_exit), MIV_HANDLER(Tdm, a_exitExecute)},
            {action(ActionId::a_about), MIV_HANDLER(Tdm, a_aboutExecute)},
            {action(ActionId::a_chpass), MIV_HANDLER(Tdm, a_chpassExecute)},
            {action(ActionId::a_save), MIV_HANDLER(Tdm, a_saveExecute)},
            {action(ActionId::a_load), MIV_HANDLER(Tdm, a_loadExecute)},
            {action(ActionId::a_manual), MIV_HANDLER(Tdm, a_manualExecute)},
            {portSetupAction(), MIV_HANDLER(Tdm, N6Click)},
            {lineSearchAction(), MIV_HANDLER(Tdm, N7Click)},
            {compareAction(), MIV_HANDLER(Tdm, compareWithFileExecute)},
            {settingsSheetAction(), MIV_HANDLER(Tdm, settingsSheetExecute)},
            {lineOverviewAction(), MIV_HANDLER(Tdm, lineOverviewExecute)},
            {m_actions.approveSettings(), MIV_HANDLER(Tdm, approveSettingsExecute)},
            {m_actions.settingsHistory(), MIV_HANDLER(Tdm, settingsHistoryExecute)},
            {m_actions.approvedCheck(), MIV_HANDLER(Tdm, approvedCheckExecute)},
    };
    for (const auto &[source, handler] : handlers)
        m_handlers.connect(source, &QAction::triggered, this, handler);
    connect(&m_livePage, &LiveValuesPage::shown, &m_trend, &TrendWindow::showNewPoints);
    connect(&m_overview, &LineOverviewWindow::identifyRequested, this, &Tdm::identifyFromOverview);
    // The rounds kept the selected relay's page waiting: it is read once more.
    connect(&m_overview, &LineOverviewWindow::closedByOperator, this, &Tdm::a_refreshExecute);
    // The window follows the port through the link's lost(); the box is the overview's.
    connect(&m_overview, &LineOverviewWindow::portLost, this,
            [this](const QString &text) { m_operator.message(Operator::Icon::Error, text); });
    m_handlers.connect(&m_port.link(), &PortLink::afterOpen, this, MIV_HANDLER(Tdm, pAfterOpen));
    m_handlers.connect(&m_port.link(), &PortLink::beforeClose, this,
                       MIV_HANDLER(Tdm, pBeforeClose));
    connect(&m_port.link(), &PortLink::lost, this, &Tdm::followLostPort);
    m_handlers.connect(&m_autoRefresh, &AutoRefresh::tick, this, MIV_HANDLER(Tdm, rtTimer));
    m_handlers.connect(&blinkTimer(), &QTimer::timeout, this, MIV_HANDLER(Tdm, ltTimer));
    // The double click on the row "Пароль" runs the action's handler.
    m_handlers.connect(&m_configurationPage, &ConfigurationPage::passwordChangeAsked, this,
                       MIV_HANDLER(Tdm, a_chpassExecute));
}

void Tdm::connectWindow()
{
    m_handlers.connect(&mf, &Tmf::pageEntered, this, MIV_HANDLER(Tdm, enterPage));
    // A disabled action does nothing (the port is closed).
    m_handlers.connect(&mf, &Tmf::deviceLineActivated, this, MIV_HANDLER(Tdm, a_getinfoExecute));
    connect(&mf, &Tmf::configRowSelected, &m_configurationPage, &ConfigurationPage::selectRow);
    m_handlers.connect(&mf, &Tmf::configRowActivated, this, MIV_HANDLER(Tdm, activateConfigRow));
    connect(&mf, &Tmf::timerSwitchClicked, &m_configurationPage,
            &ConfigurationPage::clickTimerSwitch);
    m_handlers.connect(&mf, &Tmf::commandClicked, this, MIV_HANDLER(Tdm, runCommand));
    m_handlers.connect(&mf, &Tmf::outputCommandClicked, this, MIV_HANDLER(Tdm, runOutputCommand));
    m_handlers.connect(&mf, &Tmf::trendClicked, this, MIV_HANDLER(Tdm, trendExecute));
    m_handlers.connect(&mf, &Tmf::journalArchiveClicked, this,
                       MIV_HANDLER(Tdm, journalArchiveExecute));
}

// --- Start and end ---

void Tdm::DataModuleCreate()
{
    m_port.openAtStart(m_session);
    lineOverviewAction()->setEnabled(portOpen());
    m_actions.approvedCheck()->setEnabled(portOpen());
    m_session.device.networkAddress = 0;
    mf.bts(TabVisibility::WithoutRelay, m_session.pagesTypeCode());
    m_autoRefresh.stop();
    mf.hideStorageColumns();
    mf.setCurrentPage(ActionEnabling::DevicesTab);
    mf.pcChange();
    fill_conf();
}

void Tdm::DataModuleDestroy()
{
    if (!m_port.closeAtEnd()
        && m_operator.message(Operator::Icon::Error, Texts::portCloseError) == Operator::Answer::Ok)
        std::exit(EXIT_FAILURE);
}

void Tdm::fill_conf()
{
    m_session.configGrid.fillFromCatalogue(m_session.catalogue);
    if (QAbstractItemModel *journal = mf.journalModel())
        fillJournalNumbers(*journal);
}

// --- Port ---

void Tdm::a_portExecute()
{
    if (!action(ActionId::a_port)->isEnabled())
        return;
    // Closed by the operator or refused to open: the plug shows it; the tab's actions follow.
    if (!m_port.toggle())
        m_actions.showPortOpen(false);
    mf.pcChange();
}

void Tdm::pAfterOpen()
{
    m_actions.showPortOpen(true);
    lineOverviewAction()->setEnabled(true);
    m_actions.approvedCheck()->setEnabled(true);
}

void Tdm::pBeforeClose()
{
    m_actions.showPortOpen(false);
    lineOverviewAction()->setEnabled(false);
    m_actions.approvedCheck()->setEnabled(false);
}

void Tdm::N6Click()
{
    if (portSetupAction()->isEnabled() && m_port.setUp(m_session))
        mf.showMemo(identificationMemo(m_session.device));
}

void Tdm::N7Click()
{
    if (!lineSearchAction()->isEnabled())
        return;
    m_autoRefresh.stop();
    m_port.searchLine(m_session, m_gate);
    mf.pcChange();
}

// An exchange lost the port (an adapter pulled out, so that the reset could
// not open it again; the operation told the operator).
void Tdm::followLostPort()
{
    if (m_gate.busy()) {
        m_gate.afterWork([this] { followLostPort(); });
        return;
    }
    if (portOpen())
        return; // opened again meanwhile
    m_autoRefresh.stop();
    m_livePage.leaveRelayControl();
    m_actions.showPortOpen(false);
    mf.pcChange();
}

// --- Program ---

void Tdm::a_exitExecute()
{
    QCoreApplication::exit(0);
}

void Tdm::a_aboutExecute()
{
    m_about.show(mf, m_environment.programFolder(), m_operator);
}

void Tdm::a_manualExecute()
{
    OperatorManualDialog::showSection(mf, ManualSections::anchorForTab(mf.currentPage()));
}

bool Tdm::windowMayClose()
{
    // Not in the middle of the journal reading: it ends first.
    if (m_gate.loopRunning())
        return false;
    if (m_writeRunning) {
        closeAfterWrite();
        return false;
    }
    if (!m_session.holdsUnwrittenChanges())
        return true;
    const QString question = QStringLiteral("Имеются несохраненные изменения.") + QLatin1Char('\r')
            + QStringLiteral("Отменить изменения и завершить работу программы?");
    return m_operator.message(Operator::Icon::Warning, question, Operator::Buttons::OkNo)
            != Operator::Answer::No;
}

void Tdm::openFile(const QString &path)
{
    if (m_environment.openFile)
        m_environment.openFile(path);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

// --- The line and the relay ---

void Tdm::a_poolingExecute()
{
    // Also called directly (after a lost link): a disabled action does nothing.
    if (!action(ActionId::a_pooling)->isEnabled())
        return;
    mf.showMemo({});
    mf.clearDevices();
    m_session.device.networkAddress = 0;
    mf.bts(TabVisibility::WithoutRelay, m_session.pagesTypeCode());
    mf.startProgress();
    // The window stays painted while the operator cannot act on it.
    mf.setEnabled(false);
    DiscoveryHooks hooks;
    hooks.progress = [this](int position) { mf.setProgress(position); };
    hooks.lineAdded = [this](const QString &line) { mf.addDeviceLine(line); };
    hooks.lineReplaced = [this](int index, const QString &line) {
        mf.replaceDeviceLine(index, line);
    };
    m_lastScanFound = scanBus(m_session, m_operator, hooks).answering;
    mf.setEnabled(true);
    mf.hideProgress();
}

void Tdm::a_getinfoExecute()
{
    if (!action(ActionId::a_getinfo)->isEnabled())
        return;
    mf.showMemo({});
    const IdentificationResult result =
            identifyRelay(m_session, m_operator, mf.selectedDeviceLine());
    switch (result.outcome) {
    case IdentificationResult::Outcome::Identified:
        mf.bts(TabVisibility::WithRelay, m_session.pagesTypeCode());
        mf.showMemo(result.memo);
        mf.setSensorLampsVisible(result.showTypeSixControls);
        // Values of a settings file held with no relay reach this one only
        // when the operator carries them over.
        m_configurationPage.offerHeldFile();
        // Identification locks editing again: the tab's actions follow.
        mf.pcChange();
        break;
    case IdentificationResult::Outcome::NotConnected:
    case IdentificationResult::Outcome::Silent:
        // No relay is selected: the previous relay's pages go with it.
        mf.bts(TabVisibility::WithoutRelay, m_session.pagesTypeCode());
        break;
    case IdentificationResult::Outcome::NoSelection:
        break;
    }
}

// --- Live values and commands ---

void Tdm::a_refreshExecute()
{
    // Also called directly (after a command): a disabled action does nothing.
    if (action(ActionId::a_refresh)->isEnabled())
        refreshPage(false);
}

void Tdm::refreshPage(bool timerDriven)
{
    // Without a selected relay there is nobody to ask (address 0 is the broadcast).
    if (!portOpen() || m_gate.busy() || m_session.device.networkAddress == 0)
        return;
    const int page = mf.currentPage();
    if (page == ActionEnabling::ServiceTab) {
        m_livePage.readServiceValues();
        return;
    }
    if (page != ActionEnabling::LiveValuesTab && page != ActionEnabling::RelayControlTab)
        return;
    // Every failure switches automatic refresh off before anything is shown.
    const LiveReadResult result = m_livePage.readLiveValues([this] { m_autoRefresh.stop(); });
    if (result.outcome != BusOutcome::PortFailed)
        return;
    if (timerDriven) {
        handleLostLink(result.portReason);
        return;
    }
    m_operator.message(Operator::Icon::Error, result.portError);
}

void Tdm::handleLostLink(const QString &reason)
{
    m_autoRefresh.stop();
    m_operator.message(Operator::Icon::Error,
                       QStringLiteral("Неудается получить данные.") + QLatin1Char('\r')
                               + QStringLiteral("Возможно пропала связь с устройством.") + u'\n'
                               + reason,
                       Operator::Buttons::Ok, QStringLiteral("Ошибка"));
    if (mf.currentPage() == ActionEnabling::DevicesTab)
        mf.pcChange();
    else
        mf.setCurrentPage(ActionEnabling::DevicesTab); // runs pcChange
    // The port may have opened again under the failure: then the line is
    // scanned again; a port that stayed closed has nothing more to say.
    if (portOpen())
        a_poolingExecute();
}

void Tdm::show_values()
{
    m_livePage.show();
}

void Tdm::ltTimer()
{
    m_livePage.blink();
}

void Tdm::rtTimer()
{
    // A tick that comes while an exchange runs (under a message box, say) is skipped.
    if (!m_gate.busy() && action(ActionId::a_refresh)->isEnabled())
        refreshPage(true);
}

void Tdm::a_setrefExecute()
{
    if (action(ActionId::a_setref)->isEnabled())
        m_autoRefresh.toggle(m_operator, m_session.decimalSeparator);
}

void Tdm::sync_time()
{
    setRelayClock(m_session, m_operator, QDateTime::currentDateTime());
}

void Tdm::set_time()
{
    setRelayClock(m_session, m_operator, mf.pickedDateTime());
}

void Tdm::runCommand(int tag)
{
    if (m_livePage.runCommand(tag))
        a_refreshExecute(); // the page's own read: live values or the service page
}

void Tdm::runOutputCommand(int tag)
{
    m_livePage.runOutputCommand(tag);
}

bool Tdm::relayControlEntryCheck()
{
    return m_livePage.enterRelayControl();
}

void Tdm::setRelayControlEntryCheck(std::function<bool()> check)
{
    m_relayControlEntryCheck = std::move(check);
}

void Tdm::enterPage(int page)
{
    m_autoRefresh.stop();
    m_livePage.leaveRelayControl();
    for (ActionId id : allActions)
        if (ActionEnabling::switchedByTab().contains(id))
            action(id)->setEnabled(false);
    // The live values tab opens on the current values, not those at the start limit.
    if (page == ActionEnabling::LiveValuesTab)
        m_session.flags.startLimitView = false;
    const ActionEnabling::TabEntry entry = ActionEnabling::onTabEntered(
            page, portOpen(), m_session.flags.editingLocked, relaySelected());
    // The relay outputs may be switched by hand only with the motor at rest;
    // the tab's check decides, and may move to another tab itself.
    if (entry.needsEntryCheck && !m_relayControlEntryCheck())
        return;
    for (ActionId id : allActions)
        if (entry.enabled.contains(id))
            action(id)->setEnabled(true);
    m_configurationPage.followGridState();
    if (entry.runsRefresh)
        action(ActionId::a_refresh)->trigger();
}

// --- Configuration, timer and journal ---

void Tdm::a_getdataExecute()
{
    if (!action(ActionId::a_getdata)->isEnabled())
        return;
    const int page = mf.currentPage();
    if (page == ActionEnabling::ConfigurationTab || page == ActionEnabling::TimerTab)
        m_configurationPage.read();
    else if (page == ActionEnabling::JournalTab)
        m_journalPage.read();
}

void Tdm::a_setdataExecute()
{
    if (!action(ActionId::a_setdata)->isEnabled())
        return;
    const int page = mf.currentPage();
    bool actionsFollow = false;
    {
        const BusWorkGate::Exchange exchange(m_gate);
        miv::WriteStop::clear();
        m_writeRunning = true;
        if (page == ActionEnabling::ConfigurationTab)
            actionsFollow = m_configurationPage.write();
        else if (page == ActionEnabling::TimerTab)
            actionsFollow = m_configurationPage.writeTimer();
        m_writeRunning = false;
        miv::WriteStop::clear();
    }
    if (actionsFollow)
        mf.pcChange();
    if (std::exchange(m_closeAfterWrite, false))
        mf.close();
}

void Tdm::closeAfterWrite()
{
    miv::WriteStop::request();
    m_closeAfterWrite = true;
}

void Tdm::activateConfigRow()
{
    if (m_configurationPage.activateSelectedRow())
        mf.pcChange();
}

void Tdm::a_chpassExecute()
{
    if (action(ActionId::a_chpass)->isEnabled())
        m_configurationPage.changePassword();
}

void Tdm::a_saveExecute()
{
    if (action(ActionId::a_save)->isEnabled())
        m_configurationPage.save();
}

void Tdm::a_loadExecute()
{
    if (!action(ActionId::a_load)->isEnabled())
        return;
    m_configurationPage.load();
    // A file opened with no relay shows the tabs of its relay type.
    if (!relaySelected())
        mf.bts(TabVisibility::WithoutRelay, m_session.pagesTypeCode());
    // A file opened with no relay unlocks editing: the tab's actions follow.
    mf.pcChange();
}

void Tdm::compareWithFileExecute()
{
    m_configurationPage.compareWithFile();
}

void Tdm::settingsSheetExecute()
{
    if (settingsSheetAction()->isEnabled())
        m_configurationPage.makeSheet();
}

void Tdm::lineOverviewExecute()
{
    if (!lineOverviewAction()->isEnabled())
        return;
    if (m_lastScanFound.isEmpty()) {
        m_operator.message(Operator::Icon::Information,
                           QStringLiteral("Нет устройств для обзора: выполните «Опрос»."));
        return;
    }
    // The overview's rounds and automatic refresh would share the line.
    m_autoRefresh.stop();
    m_overview.watch(m_lastScanFound);
}

void Tdm::trendExecute()
{
    m_trend.open();
}

void Tdm::identifyFromOverview(quint8 address)
{
    mf.setCurrentPage(ActionEnabling::DevicesTab);
    mf.selectDeviceLine(address - 1);
    a_getinfoExecute();
    if (relaySelected() && m_session.device.networkAddress == address)
        mf.setCurrentPage(ActionEnabling::LiveValuesTab);
}

void Tdm::a_printExecute()
{
    if (action(ActionId::a_print)->isEnabled())
        m_journalPage.makeReport();
}

// --- The relay register ---

void Tdm::approveSettingsExecute()
{
    QString error;
    RegistryStore *store = m_recorder->store(&error);
    if (!store) {
        m_operator.message(Operator::Icon::Error, error);
        return;
    }
    const quint16 factory = m_session.device.factoryNumber;
    const auto note = m_operator.askText(
            QStringLiteral("Утвердить как уставки реле"),
            QStringLiteral("Уставки, прочитанные из реле №%1 последними, станут утверждёнными.\n"
                           "Примечание:")
                    .arg(factory),
            {});
    if (!note)
        return;
    if (!approveLastRead(*store, m_session, *note, &error)) {
        m_operator.message(Operator::Icon::Warning, error);
        return;
    }
    m_operator.note(QStringLiteral("Уставки реле №%1 утверждены").arg(factory));
}

std::optional<RegistryRelay> Tdm::selectedRegistryRelay(RegistryStore *&store)
{
    QString error;
    store = m_recorder->storeForReading(&error);
    if (!store) {
        m_operator.message(Operator::Icon::Error, error);
        return std::nullopt;
    }
    const CurrentDevice &device = m_session.device;
    const auto relay = RegistryViews::findRelay(
            *store, QStringLiteral("%1:%2").arg(device.factoryNumber).arg(device.typeCode), &error);
    if (!relay)
        m_operator.message(Operator::Icon::Information, error);
    return relay;
}

void Tdm::settingsHistoryExecute()
{
    RegistryStore *store = nullptr;
    const auto relay = selectedRegistryRelay(store);
    const auto history = relay ? store->history(relay->id) : std::nullopt;
    if (!history) {
        if (relay)
            m_operator.message(Operator::Icon::Information, store->error());
        return;
    }
    auto *dialog = new RegistryHistoryDialog(
            *relay, RegistryViews::withChanges(*history, m_session.decimalSeparator), &mf);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_handlers.note(MIV_HANDLER(Tdm, commissioningReportExecute).name,
                    connect(dialog, &RegistryHistoryDialog::commissioningReportAsked, this,
                            [this, store, relay = *relay](const ReportVisit &visit) {
                                commissioningReportExecute(*store, relay, visit);
                            }));
    dialog->show();
}

void Tdm::commissioningReportExecute(RegistryStore &store, const RegistryRelay &relay,
                                     const ReportVisit &visit)
{
    JournalStore journal(store);
    QString error;
    const auto document =
            buildCommissioningReport(store, journal, relay, visit, m_session.decimalSeparator,
                                     QDateTime::currentDateTime(), &error);
    if (!document) {
        m_operator.message(Operator::Icon::Information, error);
        return;
    }
    const JournalReport::Outcome outcome = JournalReport::saveReport(
            m_operator, SettingsSheetExport::filter, SettingsSheetExport::defaultSuffix,
            [&document](const QString &path, QString *writeError) {
                return CommissioningReportExport::write(path, *document, writeError);
            });
    if (outcome.open)
        openFile(outcome.path);
}

void Tdm::journalArchiveExecute()
{
    RegistryStore *store = nullptr;
    const auto relay = selectedRegistryRelay(store);
    if (!relay)
        return;
    JournalStore journal(*store);
    auto entries = journal.relayEntries(relay->id, {}, {});
    if (!entries) {
        m_operator.message(Operator::Icon::Error, journal.error());
        return;
    }
    auto *dialog =
            new JournalArchiveDialog(*relay, std::move(*entries), m_session.decimalSeparator, &mf);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &JournalArchiveDialog::reportAsked, this, [this, dialog] {
        const JournalReport::Outcome outcome = JournalReport::saveReport(
                m_operator, JournalReport::filter, JournalReport::defaultSuffix,
                [this, dialog](const QString &path, QString *error) {
                    return JournalArchiveReport::write(
                            path, dialog->relay(), dialog->shownEntries(),
                            m_session.decimalSeparator, QDateTime::currentDateTime(), error);
                });
        if (outcome.open)
            openFile(outcome.path);
    });
    dialog->show();
}

void Tdm::approvedCheckExecute()
{
    if (!m_actions.approvedCheck()->isEnabled())
        return;
    if (m_lastScanFound.isEmpty()) {
        m_operator.message(Operator::Icon::Information,
                           QStringLiteral("Нет устройств для сверки: выполните «Опрос»."));
        return;
    }
    m_autoRefresh.stop();
    m_check.check(m_lastScanFound, m_session.audit.portName());
}
