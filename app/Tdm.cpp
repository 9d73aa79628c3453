#include "app/Tdm.h"

#include "about/ShowAboutFrm.h"
#include "access/PasswordAccess.h"
#include "app/ActionEnabling.h"
#include "app/ActionTable.h"
#include "app/TabVisibility.h"
#include "app/Tmf.h"
#include "config/ConfigEditing.h"
#include "config/ConfigReader.h"
#include "config/ConfigWriter.h"
#include "config/SettingsFile.h"
#include "app/TimerTabBinding.h"
#include "config/TimerWriter.h"
#include "core/Operator.h"
#include "core/ProgramFolders.h"
#include "core/Texts.h"
#include "device/Discovery.h"
#include "device/Identification.h"
#include "device/LineSearch.h"
#include "device/LiveDisplay.h"
#include "device/CommandDispatch.h"
#include "device/LiveRead.h"
#include "device/ServiceFields.h"
#include "device/OutputControl.h"
#include "device/RefreshInterval.h"
#include "device/RelayCommands.h"
#include "device/JournalReader.h"
#include "link/FrontIni.h"
#include "app/TComSetupFrm.h"
#include "app/SettingsDiffDialog.h"
#include "link/RelayBus.h"
#include "link/LineLink.h"
#include "report/JournalReport.h"

#include <cstdlib>
#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QUrl>

using namespace miv;

namespace {

constexpr int refreshIntervalMs = 1000;
constexpr int blinkIntervalMs = 500;

std::unique_ptr<PortLink> makePortLink(const Tdm::Environment &environment)
{
    if (environment.portLink)
        return environment.portLink();
    // The serial port or the TCP gateway, whichever the settings name.
    return std::make_unique<LineLink>();
}

} // namespace

Tdm::Tdm(Tmf &mainWindow, Operator &op_, Environment environment, QObject *parent)
    : QObject(parent),
      m_portLink(makePortLink(environment)),
      m_operator(op_, [this] { stopAutoRefresh(); }),
      mf(mainWindow),
      op(m_operator),
      p(*m_portLink),
      session(p.bus()),
      m_environment(std::move(environment))
{
    setObjectName(QStringLiteral("dm"));
    rt.setObjectName(QStringLiteral("rt"));
    rt.setInterval(refreshIntervalMs);
    lt.setObjectName(QStringLiteral("lt"));
    lt.setInterval(blinkIntervalMs);
    createActions();
    createMenu();
    mf.setDataModule(this);
    fillToolbar();
    mf.setConfigModel(&session.configGrid);
    mf.setJournalModel(&session.journal);
    showRowPictures();
    session.reopenPort = [this](QString *error) { return p.reopen(error); };
    session.portHeldOpen = [this] { return p.heldOpen(); };
    session.portLostHint =
            QStringLiteral("Подключите адаптер и нажмите «Порт», чтобы открыть его снова.");
    session.audit.portName = [this] { return p.settings().portName; };
    configEditor = std::make_unique<ConfigEditor>(session, op);
    timerTab = new TimerTabBinding(session.timer, mf.timeMarks(), mf.timerSwitches(), this);
    initActions();
    mf.setRelayControlEntryCheck([this] { return relayControlEntryCheck(); });
    DataModuleCreate();
}

Tdm::~Tdm()
{
    DataModuleDestroy();
    mf.setDataModule(nullptr);
}

void Tdm::createActions()
{
    for (const ActionInfo &info : ActionTable::all()) {
        auto *action = new QAction(info.caption, this);
        action->setObjectName(QLatin1String(info.name));
        action->setToolTip(info.hint.isEmpty() ? info.caption : info.hint);
        action->setStatusTip(info.hint);
        action->setProperty("imageIndex", info.icon);
        if (info.icon >= 0)
            action->setIcon(il0.icon(info.icon));
        m_actions[std::size_t(info.id)] = action;
    }
    a_pooling = action(ActionId::a_pooling);
    a_getinfo = action(ActionId::a_getinfo);
    a_refresh = action(ActionId::a_refresh);
    a_setref = action(ActionId::a_setref);
    a_print = action(ActionId::a_print);
    a_getdata = action(ActionId::a_getdata);
    a_setdata = action(ActionId::a_setdata);
    a_port = action(ActionId::a_port);
    a_exit = action(ActionId::a_exit);
    a_about = action(ActionId::a_about);
    a_chpass = action(ActionId::a_chpass);
    a_save = action(ActionId::a_save);
    a_load = action(ActionId::a_load);
}

void Tdm::createMenu()
{
    mm = new QMenuBar;
    mm->setObjectName(QStringLiteral("mm"));
    mm->addMenu(QStringLiteral("Программа"))->addAction(a_exit);
    QMenu *settingsMenu = mm->addMenu(QStringLiteral("Настройки"));
    N6 = settingsMenu->addAction(QStringLiteral("Настройка порта"));
    N6->setObjectName(QStringLiteral("N6"));
    N7 = settingsMenu->addAction(QStringLiteral("Поиск устройства..."));
    N7->setObjectName(QStringLiteral("N7"));
    compareAction = settingsMenu->addAction(QStringLiteral("Сравнить с файлом..."));
    compareAction->setObjectName(QStringLiteral("a_compare"));
    mm->addMenu(QStringLiteral("Помощь"))->addAction(a_about);
    mf.setMenuBar(mm);
}

void Tdm::fillToolbar()
{
    QList<QAction *> row;
    for (const std::optional<ActionId> &id : ActionTable::toolbarOrder())
        row << (id ? action(*id) : nullptr);
    mf.setToolbarActions(row);
}

void Tdm::showRowPictures()
{
    // The grid is a child of the window and shares its pixel ratio.
    QList<QPixmap> pictures;
    for (int index = 0; index < il.count(); ++index)
        pictures << il.pixmap(index, mf.devicePixelRatioF());
    mf.setRowPictures(pictures);
}

void Tdm::initActions()
{
    connect(a_pooling, &QAction::triggered, this, &Tdm::a_poolingExecute);
    connect(a_getinfo, &QAction::triggered, this, &Tdm::a_getinfoExecute);
    connect(a_refresh, &QAction::triggered, this, &Tdm::a_refreshExecute);
    connect(a_setref, &QAction::triggered, this, &Tdm::a_setrefExecute);
    connect(a_print, &QAction::triggered, this, &Tdm::a_printExecute);
    connect(a_getdata, &QAction::triggered, this, &Tdm::a_getdataExecute);
    connect(a_setdata, &QAction::triggered, this, &Tdm::a_setdataExecute);
    connect(a_port, &QAction::triggered, this, &Tdm::a_portExecute);
    connect(a_exit, &QAction::triggered, this, &Tdm::a_exitExecute);
    connect(a_about, &QAction::triggered, this, &Tdm::a_aboutExecute);
    connect(a_chpass, &QAction::triggered, this, &Tdm::a_chpassExecute);
    connect(a_save, &QAction::triggered, this, &Tdm::a_saveExecute);
    connect(a_load, &QAction::triggered, this, &Tdm::a_loadExecute);
    connect(N6, &QAction::triggered, this, &Tdm::N6Click);
    connect(N7, &QAction::triggered, this, &Tdm::N7Click);
    connect(compareAction, &QAction::triggered, this, &Tdm::compareWithFileExecute);
    connect(&p, &PortLink::afterOpen, this, &Tdm::pAfterOpen);
    connect(&p, &PortLink::beforeClose, this, &Tdm::pBeforeClose);
    connect(&rt, &QTimer::timeout, this, &Tdm::rtTimer);
    connect(&lt, &QTimer::timeout, this, &Tdm::ltTimer);
    // The window wires its own controls; the timer tab's buttons are
    // connected by their binding (timerTab).
}

// --- Start and end ---

bool Tdm::storePortSettings(const PortSettings &settings, QString *error)
{
    // A port given for this run only is not written to "front.ini".
    if (!m_environment.portOverride)
        return ::storePortSettings(settingsFile(), settings, error);
    PortSettings inFile;
    ::loadPortSettings(settingsFile(), inFile);
    return ::storePortSettings(settingsFile(),
                               m_environment.portOverride->storable(settings, inFile), error);
}

PortSetupResult Tdm::runPortSetupDialog(quint8 relayAddress)
{
    const PortSetupPort port{
            [this] { return p.settings(); },
            [this](const PortSettings &settings, QString *error) {
                return p.setSettings(settings, error);
            },
    };
    const PortSetupAsk dialog = m_environment.portSetupDialog
            ? m_environment.portSetupDialog
            : PortSetupAsk([this](const PortSettings &current) {
                  return TComSetupFrm::execFor(current, &mf);
              });
    const PortSettingsStore store = [this](const PortSettings &settings, QString *error) {
        return storePortSettings(settings, error);
    };
    return runPortSetup(p.bus(), port, relayAddress, dialog, store, op, &session.audit,
                        session.device.factoryNumber);
}

void Tdm::DataModuleCreate()
{
    m_programDir = m_environment.programDir;
    if (!m_programDir.isEmpty() && !m_programDir.endsWith(QLatin1Char('/')))
        m_programDir += QLatin1Char('/');

    PortSettings settings = loadFrontIni();
    if (m_environment.portOverride)
        m_environment.portOverride->applyTo(settings);
    QString error;
    if (!p.setSettings(settings, &error) || !p.open(&error)) {
        // The reason (a missing port, a permission the user lacks) goes on a
        // line of its own under the message, and stays in the status bar.
        op.message(Operator::Icon::Error,
                   error.isEmpty() ? Texts::portOpenError
                                   : Texts::portOpenError + QLatin1Char('\r') + error);
        if (!error.isEmpty())
            op.note(error);
        runPortSetupDialog(0);
    }
    // The plug shows how the port really is, also when it stayed closed.
    setPortIcon(p.isOpen() ? ActionTable::iconPlugConnected : ActionTable::iconPlugPulled);

    session.device.networkAddress = 0;
    mf.bts(TabVisibility::WithoutRelay);
    stopAutoRefresh();
    mf.hideStorageColumns();
    mf.setCurrentPage(ActionEnabling::DevicesTab);
    mf.pcChange();
    fill_conf();
}

PortSettings Tdm::loadFrontIni()
{
    PortSettings settings = p.settings();
    QString error;
    QStringList notices;
    if (!::loadPortSettings(settingsFile(), settings, &error, &notices)) {
        // A "front.ini" that cannot be read, or is no settings file, never
        // keeps the program from its port: the defaults are taken, and the
        // operator is told which file to mend.
        op.message(Operator::Icon::Warning,
                   error + QLatin1Char('\r') + Texts::frontIniDefaultsTaken);
        return p.settings();
    }
    if (!notices.isEmpty())
        op.note(settingsFile() + QStringLiteral(": ") + notices.join(u' '));
    return settings;
}

void Tdm::DataModuleDestroy()
{
    if (!p.isOpen())
        return;
    p.close();
    if (p.isOpen()
        && op.message(Operator::Icon::Error, Texts::portCloseError) == Operator::Answer::Ok)
        std::exit(EXIT_FAILURE);
}

void Tdm::fill_conf()
{
    session.configGrid.fillFromCatalogue(session.catalogue);
    if (QAbstractItemModel *journal = mf.journalModel())
        fillJournalNumbers(*journal);
}

// The action's picture goes with it: a tab change or a failed exchange that
// stops refresh must not leave the picture saying it still runs.
void Tdm::stopAutoRefresh()
{
    const bool wasOn = session.flags.autoRefresh;
    session.flags.autoRefresh = false;
    rt.stop();
    if (wasOn)
        setAutoRefreshPicture(false);
}

// --- Port ---

void Tdm::a_portExecute()
{
    if (!a_port->isEnabled())
        return;
    if (p.isOpen()) {
        p.close();
        followPortState();
        return;
    }
    QString error;
    if (!p.open(&error)) {
        // No box: the port simply stays closed. The reason goes to the status bar.
        op.note(error);
        return;
    }
    setPortIcon(ActionTable::iconPlugConnected);
    mf.pcChange();
}

void Tdm::setPortIcon(int imageIndex)
{
    a_port->setIcon(il0.icon(imageIndex));
    a_port->setProperty("imageIndex", imageIndex);
}

void Tdm::pAfterOpen()
{
    setPortIcon(ActionTable::iconPlugConnected);
}

void Tdm::pBeforeClose()
{
    setPortIcon(ActionTable::iconPlugPulled);
}

void Tdm::N6Click()
{
    if (!N6->isEnabled())
        return;
    runPortSetupDialog(session.device.networkAddress);
}

void Tdm::N7Click()
{
    if (!N7->isEnabled())
        return;
    stopAutoRefresh();
    QList<quint8> addresses;
    for (int address = firstScanAddress; address <= lastScanAddress; ++address)
        addresses << quint8(address);
    // Up to some 90 s on an empty line: a box of its own shows the setting
    // tried and takes the operator's "Отмена", which ends the search after
    // the exchange under way. It is a window of its own, so it stays usable
    // while bus work disables the main window.
    QProgressDialog progress(QStringLiteral("Поиск устройства..."), QStringLiteral("Отмена"), 0, 1,
                             &mf);
    progress.setObjectName(QStringLiteral("searchProgress"));
    progress.setWindowTitle(QStringLiteral("Поиск устройства"));
    progress.setWindowModality(Qt::NonModal);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setMinimumDuration(0);
    LineSearchHooks hooks;
    hooks.settingsTried = [this, &progress](const PortSettings &settings, int step, int steps) {
        const QString text = QStringLiteral("Поиск устройства (%1 из %2): %3")
                                     .arg(step + 1)
                                     .arg(steps)
                                     .arg(settingsText(settings));
        op.note(text);
        progress.setMaximum(steps);
        progress.setValue(step);
        progress.setLabelText(text);
    };
    hooks.cancelRequested = [&progress] { return progress.wasCanceled(); };
    beginBusWork();
    progress.setEnabled(true);
    progress.show();
    const LineSearchResult result = findRelayLine(session, op, p, addresses, hooks);
    progress.hide();
    endBusWork();
    const PortSettingsStore store = [this](const PortSettings &settings, QString *error) {
        return storePortSettings(settings, error);
    };
    offerFoundSettings(op, p, result, store);
    setPortIcon(p.isOpen() ? ActionTable::iconPlugConnected : ActionTable::iconPlugPulled);
    mf.pcChange();
}

// --- Program ---

void Tdm::a_exitExecute()
{
    QCoreApplication::exit(0);
}

void Tdm::a_aboutExecute()
{
    if (!m_aboutLibrary.isLoaded() && !loadAboutLibrary(m_aboutLibrary, m_programDir)) {
        op.message(Operator::Icon::Error, Texts::libraryLoadError, Operator::Buttons::Abort);
        return;
    }
    // The library stays loaded for the rest of the run.
    const auto show =
            reinterpret_cast<ShowAboutFrmFunction>(m_aboutLibrary.resolve(showAboutFrmName));
    if (!show)
        return;
    show(quintptr(mf.winId()), Texts::productTitle.toUtf8().constData(),
         Texts::aboutVersionLine.toUtf8().constData());
}

// --- Device and configuration work ---

void Tdm::a_poolingExecute()
{
    // Also called directly (after a lost link): a disabled action does nothing.
    if (!a_pooling->isEnabled())
        return;
    mf.showMemo({});
    mf.clearDevices();
    session.device.networkAddress = 0;
    mf.bts(TabVisibility::WithoutRelay);
    mf.startProgress();
    // The window stays painted while the operator cannot act on it.
    mf.setEnabled(false);
    DiscoveryHooks hooks;
    hooks.progress = [this](int position) { mf.setProgress(position); };
    hooks.lineAdded = [this](const QString &line) { mf.addDeviceLine(line); };
    hooks.lineReplaced = [this](int index, const QString &line) {
        mf.replaceDeviceLine(index, line);
    };
    scanBus(session, op, hooks);
    mf.setEnabled(true);
    mf.hideProgress();
    followPortState();
}

// Any exchange may have lost the port on the way (an adapter pulled out, so
// that the reset could not open it again; the operation told the operator):
// automatic refresh stops, and the plug and the actions show it.
void Tdm::followPortState()
{
    if (p.isOpen())
        return;
    stopAutoRefresh();
    relayControlLeft();
    setPortIcon(ActionTable::iconPlugPulled);
    mf.pcChange();
}

void Tdm::a_getinfoExecute()
{
    if (!a_getinfo->isEnabled())
        return;
    mf.showMemo({});
    const IdentificationResult result = identifyRelay(session, op, mf.selectedDeviceLine());
    switch (result.outcome) {
    case IdentificationResult::Outcome::Identified:
        mf.bts(TabVisibility::WithRelay);
        mf.showMemo(result.memo);
        mf.setSensorLampsVisible(result.showTypeSixControls);
        // Identification locks editing again: the tab's actions follow.
        mf.pcChange();
        break;
    case IdentificationResult::Outcome::NotConnected:
        mf.bts(TabVisibility::WithoutRelay);
        break;
    case IdentificationResult::Outcome::NoSelection:
    case IdentificationResult::Outcome::Silent:
        break;
    }
    followPortState();
}

// --- Live values ---

void Tdm::a_refreshExecute()
{
    // Also called directly (after a command): a disabled action does nothing.
    if (!a_refresh->isEnabled())
        return;
    refreshPage(false);
}

void Tdm::refreshPage(bool timerDriven)
{
    // Without a selected relay there is nobody to ask (address 0 is the broadcast).
    if (!p.isOpen() || m_exchanging || session.device.networkAddress == 0)
        return;
    const int page = mf.currentPage();
    if (page == ActionEnabling::LiveValuesTab || page == ActionEnabling::RelayControlTab)
        refreshLiveValues(timerDriven);
    else if (page == ActionEnabling::ServiceTab)
        readServicePage();
}

void Tdm::refreshLiveValues(bool timerDriven)
{
    m_exchanging = true;
    // Every failure switches automatic refresh off before anything is shown.
    const LiveReadResult result = readLiveValues(session, op, [this] { stopAutoRefresh(); });
    m_exchanging = false;
    if (result.done()) {
        show_values();
        return;
    }
    if (result.outcome != BusOutcome::PortFailed)
        return;
    if (timerDriven && p.isOpen()) {
        handleLostLink();
        return;
    }
    // A lost port is told once; a new scan would only fail on it again.
    op.message(Operator::Icon::Error, result.portError);
    if (timerDriven)
        mf.setCurrentPage(ActionEnabling::DevicesTab);
    followPortState();
}

void Tdm::readServicePage()
{
    m_exchanging = true;
    const std::optional<ServiceValues> values = readServiceValues(session, op);
    m_exchanging = false;
    if (values)
        mf.showServiceValues(values->hours, values->minutes, values->serialNumber);
    followPortState();
}

void Tdm::handleLostLink()
{
    stopAutoRefresh();
    op.message(Operator::Icon::Error,
               QStringLiteral("Неудается получить данные.") + QLatin1Char('\r')
                       + QStringLiteral("Возможно пропала связь с устройством."),
               Operator::Buttons::Ok, QStringLiteral("Ошибка"));
    if (mf.currentPage() == ActionEnabling::DevicesTab)
        mf.pcChange();
    else
        mf.setCurrentPage(ActionEnabling::DevicesTab); // runs pcChange
    a_poolingExecute();
}

void Tdm::show_values()
{
    const LiveDisplay display = showValues(session.live, session.flags, session.device.typeCode,
                                           session.decimalSeparator);
    for (int slot = 0; slot < LiveDisplay::labelCount; ++slot)
        mf.setValueText(slot, display.labels[std::size_t(slot)]);
    mf.setStartLimitColumnShown(display.startLimitColumn);
    mf.setCommandButtons(display.workEnabled, display.stopEnabled);
    for (int tag = 1; tag <= 6; ++tag)
        mf.setOutputButton(tag, display.outputButtonsEnabled[std::size_t(tag - 1)]);
    for (int lamp = 1; lamp <= LiveDisplay::lampCount; ++lamp)
        if (const std::optional<int> value = display.lamps[std::size_t(lamp - 1)])
            mf.led(*value, lamp);
    if (display.blink == LiveDisplay::Blink::Stop)
        lt.stop();
    else if (!lt.isActive())
        lt.start();
}

void Tdm::ltTimer()
{
    mf.led(blinkStep(m_blinkTag), 7);
}

void Tdm::rtTimer()
{
    // A tick that comes while a refresh runs (under a message box, say) is skipped.
    if (m_exchanging || !a_refresh->isEnabled())
        return;
    refreshPage(true);
}

void Tdm::a_setrefExecute()
{
    if (!a_setref->isEnabled())
        return;
    if (session.flags.autoRefresh) {
        stopAutoRefresh();
        return;
    }
    // An answer that is no interval starts nothing and leaves the picture as it is.
    const std::optional<int> interval = askRefreshInterval(op, session.decimalSeparator);
    if (!interval)
        return;
    rt.setInterval(*interval);
    session.flags.autoRefresh = true;
    rt.start();
    setAutoRefreshPicture(true);
}

void Tdm::setAutoRefreshPicture(bool on)
{
    const int image = on ? ActionTable::iconClock : ActionTable::iconStop;
    a_setref->setIcon(il0.icon(image));
    a_setref->setProperty("imageIndex", image);
    const QString hint = on ? QStringLiteral("Отключить автоматическое обновление")
                            : QStringLiteral("Включить автоматическое обновление");
    a_setref->setToolTip(hint);
    a_setref->setStatusTip(hint);
}

// --- Relay commands ---

void Tdm::sync_time()
{
    setRelayClock(session, op, QDateTime::currentDateTime());
}

void Tdm::set_time()
{
    setRelayClock(session, op, mf.pickedDateTime());
}

void Tdm::runCommand(int tag)
{
    if (tag < int(RelayCommand::Start) || tag > int(RelayCommand::SetSerialNumber))
        return;
    const auto command = static_cast<RelayCommand>(tag);
    CommandArguments arguments;
    arguments.clock = mf.pickedDateTime();
    if (command == RelayCommand::SetMotorResource || command == RelayCommand::SetSerialNumber) {
        const QStringList texts = mf.serviceFieldTexts();
        QString error;
        const std::optional<ServiceFieldValues> fields =
                parseServiceFields(texts[0], texts[1], texts[2], &error);
        if (!fields) {
            op.message(Operator::Icon::Error, error); // nothing is written
            return;
        }
        arguments.hours = fields->hours;
        arguments.minutes = fields->minutes;
        arguments.serialNumber = fields->serialNumber;
    }
    // A refresh tick that comes under one of the command's boxes waits.
    m_exchanging = true;
    const std::optional<BusOutcome> outcome = sendRelayCommand(session, op, command, arguments);
    m_exchanging = false;
    if (!outcome)
        return; // "Квитирование" declined: nothing sent, nothing refreshed
    // "Работа" and "Стоп" follow at once, until the refresh shows register 40.
    if (outcome == BusOutcome::Done && command == RelayCommand::Start)
        mf.setCommandButtons(false, true);
    if (outcome == BusOutcome::Done && command == RelayCommand::Stop)
        mf.setCommandButtons(true, false);
    if (readAfterCommand(command, *outcome) != ReadAfterCommand::Nothing)
        a_refreshExecute(); // the page's own read: live values or the service page
    followPortState();
}

void Tdm::runOutputCommand(int tag)
{
    if (tag < 1 || tag > 6)
        return;
    const int row = (tag - 1) / 2;
    const bool on = tag % 2 == 1;
    const auto output = static_cast<RelayOutput>(row);
    // The row's buttons follow the command at once, before the relay answers.
    const bool onWasEnabled = mf.outputButtonEnabled(2 * row + 1);
    const bool offWasEnabled = mf.outputButtonEnabled(2 * row + 2);
    mf.setOutputButton(2 * row + 1, !on);
    mf.setOutputButton(2 * row + 2, on);
    bool redrawn = false;
    const HandSwitchResult result = switchOutputByHand(session, op, output, on, [&] {
        show_values();
        redrawn = true;
    });
    if (result.outcome == BusOutcome::Done) {
        // The check's refresh showed the buttons as they were before the switch.
        mf.setOutputButton(2 * row + 1, !on);
        mf.setOutputButton(2 * row + 2, on);
    } else if (!redrawn) {
        // Told already; the buttons go back to what they offered.
        mf.setOutputButton(2 * row + 1, onWasEnabled);
        mf.setOutputButton(2 * row + 2, offWasEnabled);
    }
    // A check that kept the switch back leaves the page as its entry check would.
    if (result.check == OutputControlCheck::CurrentsFlowing)
        mf.setCurrentPage(ActionEnabling::LiveValuesTab);
    else if (result.check == OutputControlCheck::NoLink)
        mf.setCurrentPage(ActionEnabling::DevicesTab);
    followPortState();
}

bool Tdm::relayControlEntryCheck()
{
    const RelayControlEntry entry = enterRelayControl(session, op, [this] { show_values(); });
    mf.setOutputControlEnabled(outputControlOffered(session));
    switch (entry) {
    case RelayControlEntry::Stay:
        return true;
    case RelayControlEntry::BackToLiveValues:
        mf.setCurrentPage(ActionEnabling::LiveValuesTab);
        return false;
    case RelayControlEntry::BackToDevices:
        mf.setCurrentPage(ActionEnabling::DevicesTab);
        followPortState();
        return false;
    }
    return false;
}

void Tdm::relayControlLeft()
{
    leaveRelayControl(session);
    mf.setOutputControlEnabled(false);
}

void Tdm::a_printExecute()
{
    if (!a_print->isEnabled())
        return;
    const JournalReport::Outcome outcome = JournalReport::makeReport(session, op);
    if (outcome.open)
        openFile(outcome.path);
}

void Tdm::openFile(const QString &path)
{
    // A file that cannot be opened is not reported: it was written.
    if (m_environment.openFile)
        m_environment.openFile(path);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void Tdm::readConfigurationIntoGrid()
{
    readConfiguration(session, op);
    timerTab->show();
    followPortState();
}

void Tdm::a_getdataExecute()
{
    if (!a_getdata->isEnabled())
        return;
    const int page = mf.currentPage();
    if (page == ActionEnabling::ConfigurationTab || page == ActionEnabling::TimerTab)
        readConfigurationIntoGrid();
    else if (page == ActionEnabling::JournalTab)
        readJournalIntoGrid();
}

void Tdm::readJournalIntoGrid()
{
    beginBusWork();
    mf.startJournalProgress();
    JournalReadHooks hooks;
    hooks.progress = [this](int position) { mf.setJournalProgress(position); };
    readJournal(session, op, hooks);
    mf.hideJournalProgress();
    endBusWork();
    followPortState();
}

void Tdm::beginBusWork()
{
    m_busWorkRunning = true;
    // The window keeps painting (the operator's keepAlive), but nothing on it
    // starts another exchange: not its controls, not an action called directly.
    mf.setEnabled(false);
    m_enabledBeforeBusWork.clear();
    QList<QAction *> all(m_actions.begin(), m_actions.end());
    all << N6 << N7;
    for (QAction *each : std::as_const(all))
        if (each->isEnabled()) {
            m_enabledBeforeBusWork << each;
            each->setEnabled(false);
        }
}

void Tdm::endBusWork()
{
    for (QAction *each : std::as_const(m_enabledBeforeBusWork))
        each->setEnabled(true);
    m_enabledBeforeBusWork.clear();
    mf.setEnabled(true);
    m_busWorkRunning = false;
}

void Tdm::a_setdataExecute()
{
    if (!a_setdata->isEnabled())
        return;
    const int page = mf.currentPage();
    if (page == ActionEnabling::ConfigurationTab)
        writeConfiguration();
    else if (page == ActionEnabling::TimerTab)
        writeTimerSchedule();
}

void Tdm::writeConfiguration()
{
    const ConfigWriteResult result = ::writeConfiguration(session, op);
    timerTab->show();
    if (result.needsTabRefresh())
        mf.pcChange();
    followPortState();
}

void Tdm::writeTimerSchedule()
{
    const TimerWriteResult result = ::writeTimerSchedule(session, op);
    timerTab->show();
    if (needsActionRefresh(result))
        mf.pcChange();
    followPortState();
}

// --- What the window asks ---

void Tdm::selectConfigRow(int row)
{
    if (configEditor)
        configEditor->selectRow(row);
}

bool Tdm::activateConfigRow()
{
    if (!configEditor)
        return false;
    const bool refresh = needsTabRefresh(configEditor->activateSelectedRow());
    followPortState(); // resetting the motor resource talks to the relay
    return refresh;
}

void Tdm::clickTimerSwitch(int button)
{
    if (timerTab)
        timerTab->click(button);
}

Operator::Answer Tdm::ask(Operator::Icon icon, const QString &text, Operator::Buttons buttons)
{
    return op.message(icon, text, buttons);
}

void Tdm::a_chpassExecute()
{
    if (!a_chpass->isEnabled())
        return;
    PasswordAccess::change(session, op);
    followPortState();
}

void Tdm::a_saveExecute()
{
    if (a_save->isEnabled())
        SettingsFile::askAndSave(op, session.configGrid, session.timer);
}

void Tdm::compareWithFileExecute()
{
    QString path = op.askOpenFileName(SettingsFile::filter, SettingsFile::defaultSuffix);
    if (path.isEmpty())
        return;
    if (!QFileInfo::exists(path))
        path = SettingsFile::withDefaultSuffix(path);
    const SettingsComparison comparison = compareWithFile(session, path);
    switch (comparison.outcome) {
    case SettingsComparison::Outcome::NothingRead:
        op.message(Operator::Icon::Information,
                   QStringLiteral("Сначала получите конфигурацию из устройства."));
        return;
    case SettingsComparison::Outcome::Unreadable:
        op.message(Operator::Icon::Error, comparison.error);
        return;
    case SettingsComparison::Outcome::Compared:
        break;
    }
    if (comparison.equal()) {
        op.message(Operator::Icon::Information,
                   QStringLiteral("Настройки в устройстве и в файле совпадают."));
        return;
    }
    if (m_environment.showDifferences)
        m_environment.showDifferences(path, comparison.differences);
    else
        SettingsDiffDialog::show(path, comparison.differences, &mf);
}

void Tdm::a_loadExecute()
{
    if (!a_load->isEnabled())
        return;
    SettingsFile::askAndLoad(session, op);
    timerTab->show();
}
