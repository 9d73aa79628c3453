#include "AppFixture.h"
#include "app/ActionEnabling.h"
#include "app/ActionTable.h"
#include "core/Texts.h"
#include "device/LineSearch.h"
#include "link/FrontIni.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>

using namespace miv;

namespace {

using DataModule = AppFixture;

const QString missingPort = QStringLiteral("/nonexistent/ttyMIV9");

QString storedPortName(const QString &iniPath)
{
    PortSettings settings;
    settings.portName = QStringLiteral("(none)");
    loadPortSettings(iniPath, settings);
    return settings.portName;
}

} // namespace

TEST_F(DataModule, portThatCannotOpenAtStartIsReportedThenSetUpAndStored)
{
    start(missingPort);
    ASSERT_GE(op.shown().size(), 1);
    const ScriptedOperator::Shown &box = op.shown().first();
    EXPECT_TRUE(box.text.startsWith(Texts::portOpenError)) << box.text.toStdString();
    EXPECT_EQ(box.icon, Operator::Icon::Error);
    EXPECT_EQ(box.buttons, Operator::Buttons::Ok);
    EXPECT_EQ(setupDialogs, 1);
    EXPECT_TRUE(QFile::exists(frontIni()));
    EXPECT_FALSE(dm->portOpen());
    // The plug shows the closed port, and nothing but the port can be used on the first tab.
    EXPECT_EQ(act(ActionId::a_port)->property("imageIndex").toInt(), 9);
    EXPECT_EQ(enabledToolbarActions(), QStringList{"a_port"});
}

TEST_F(DataModule, portGivenForThisRunIsNeverStored)
{
    PortSettings inFile;
    inFile.portName = QStringLiteral("ttyUSB3");
    ASSERT_TRUE(storePortSettings(frontIni(), inFile));
    start(missingPort);
    EXPECT_EQ(setupDialogs, 1);
    EXPECT_EQ(storedPortName(frontIni()), QStringLiteral("ttyUSB3"));
}

// The serial port itself, on a pseudo-terminal.
TEST_F(DataModule, portThatOpensAtStartAsksNothing)
{
    startOnPty();
    EXPECT_TRUE(op.shown().isEmpty());
    EXPECT_EQ(setupDialogs, 0);
    EXPECT_TRUE(dm->portOpen());
    EXPECT_EQ(enabledToolbarActions(), QStringList({"a_pooling", "a_getinfo", "a_port"}));
    EXPECT_FALSE(QFile::exists(frontIni()));
}

TEST_F(DataModule, frontIniThatIsNoSettingsFileGivesTheDefaultsAndThePortStillOpens)
{
    QFile file(frontIni());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("[p]\r\nPort=CO\0M9\r\nBaudRate=19200\r\n", 33)); // a NUL byte: binary
    file.close();
    startOnPty();
    EXPECT_TRUE(dm->portOpen());
    EXPECT_EQ(dm->port().settings().baudRate,
              QStringLiteral("9600")); // the default, not the file's
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Warning);
    EXPECT_EQ(op.shown()[0].text,
              QStringLiteral(
                      "Не удалось прочитать файл %1: в нём двоичные данные (байт 0x00 в строке 2), "
                      "это не файл настроек\r")
                              .arg(frontIni())
                      + Texts::frontIniDefaultsTaken);
    EXPECT_EQ(setupDialogs, 0);
}

TEST_F(DataModule, portActionClosesAndOpensAndTheTabFollows)
{
    start();
    act(ActionId::a_port)->trigger();
    EXPECT_FALSE(dm->portOpen());
    EXPECT_EQ(act(ActionId::a_port)->property("imageIndex").toInt(), 9);
    EXPECT_EQ(enabledToolbarActions(), QStringList{"a_port"});

    act(ActionId::a_port)->trigger();
    EXPECT_TRUE(dm->portOpen());
    EXPECT_EQ(act(ActionId::a_port)->property("imageIndex").toInt(), 8);
    EXPECT_EQ(enabledToolbarActions(), QStringList({"a_pooling", "a_getinfo", "a_port"}));
    EXPECT_TRUE(op.shown().isEmpty());
}

TEST_F(DataModule, portActionThatCannotOpenStaysSilentAndChangesNothing)
{
    start(missingPort);
    op.clearShown();
    const QStringList before = enabledToolbarActions();
    act(ActionId::a_port)->trigger();
    EXPECT_TRUE(op.shown().isEmpty());
    EXPECT_FALSE(dm->portOpen());
    EXPECT_EQ(act(ActionId::a_port)->property("imageIndex").toInt(), 9);
    EXPECT_EQ(enabledToolbarActions(), before);
    // The reason is noted in the status bar, not in a box.
    EXPECT_FALSE(op.notes().isEmpty());
}

// "Поиск устройства..." shows its own box while bus work disables the window;
// its "Отмена" ends the search before the next exchange and leaves the port
// as it was: nothing asked, nothing stored.
TEST_F(DataModule, lineSearchCancelledLeavesThePortAsItWas)
{
    start();
    const PortSettings before = dm->port().settings();
    bool cancelUsable = false;
    bool clicked = false;
    op.duringKeepAlive = [&] {
        auto *box = mf->findChild<QProgressDialog *>(QStringLiteral("searchProgress"));
        auto *cancel = box ? box->findChild<QPushButton *>() : nullptr;
        if (clicked || !cancel)
            return;
        cancelUsable = !mf->isEnabled() && box->isVisible() && cancel->isEnabled();
        cancel->click();
        clicked = true;
    };
    dm->lineSearchAction()->trigger();
    EXPECT_TRUE(cancelUsable);
    EXPECT_TRUE(line.requests().isEmpty());
    EXPECT_EQ(dm->port().settings(), before);
    EXPECT_TRUE(op.notes().contains(searchCancelledText));
    EXPECT_TRUE(op.shown().isEmpty());
    EXPECT_FALSE(QFile::exists(frontIni()));
    EXPECT_TRUE(mf->isEnabled());
}

TEST_F(DataModule, tabChangeWithClosedPortLeavesOnlyTheFileActionsOfUnlockedConfigurationTabs)
{
    start(missingPort);
    // With no relay selected a settings file may always be opened, for a
    // relay type, to be edited with no relay at hand.
    for (const bool relaySelected : {true, false})
        for (bool locked : {true, false}) {
            dm->session().device.networkAddress = relaySelected ? 1 : 0;
            dm->session().flags.editingLocked = locked;
            for (int tab = 0; tab < 7; ++tab) {
                enterTab(tab);
                QStringList expected;
                if (tab == 2 || tab == 6) {
                    if (!locked)
                        expected << "a_save";
                    if (!locked || !relaySelected)
                        expected << "a_load";
                }
                expected << "a_port";
                QStringList enabled = enabledToolbarActions();
                std::sort(enabled.begin(), enabled.end());
                std::sort(expected.begin(), expected.end());
                EXPECT_EQ(enabled, expected)
                        << "tab " << tab << " locked " << locked << " relay " << relaySelected;
            }
        }
}

TEST_F(DataModule, tabChangeWithOpenPortFollowsTheTable)
{
    start();
    dm->session().device.networkAddress = 1;
    dm->session().flags.editingLocked = false;
    dm->setRelayControlEntryCheck([] { return true; });
    const QList<QStringList> expected{
            {"a_pooling", "a_getinfo"},
            {"a_refresh", "a_setref"},
            {"a_getdata", "a_setdata", "a_save", "a_load"},
            {"a_refresh", "a_setref"},
            {"a_print", "a_getdata"},
            {"a_refresh"},
            {"a_getdata", "a_setdata", "a_save", "a_load"},
    };
    for (int tab = 0; tab < 7; ++tab) {
        enterTab(tab);
        QStringList enabled = enabledToolbarActions();
        enabled.removeOne(QStringLiteral("a_port"));
        QStringList wanted = expected[tab];
        std::sort(enabled.begin(), enabled.end());
        std::sort(wanted.begin(), wanted.end());
        EXPECT_EQ(enabled, wanted) << "tab " << tab;
    }
}

TEST_F(DataModule, relayControlTabOffersNothingUntilItsCheckPasses)
{
    start();
    dm->session().device.networkAddress = 1;
    // The data module's check: its warning declined leads back to the live values.
    op.answer(Operator::Answer::Cancel);
    enterTab(ActionEnabling::RelayControlTab);
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::relayControlWarning});
    EXPECT_EQ(pc()->currentIndex(), ActionEnabling::LiveValuesTab);

    pc()->setCurrentIndex(ActionEnabling::DevicesTab);
    int checks = 0;
    dm->setRelayControlEntryCheck([&checks] {
        ++checks;
        return false;
    });
    enterTab(ActionEnabling::RelayControlTab);
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(enabledToolbarActions(), QStringList{"a_port"});
}

TEST_F(DataModule, enteringTheLiveValuesTabRefreshesOnlyWhenTheRefreshIsOffered)
{
    start();
    int refreshes = 0;
    QObject::connect(dm->action(ActionId::a_refresh), &QAction::triggered,
                     [&refreshes] { ++refreshes; });
    enterTab(ActionEnabling::LiveValuesTab);
    EXPECT_EQ(refreshes, 1);

    enterTab(ActionEnabling::DevicesTab);
    act(ActionId::a_port)->trigger(); // closed
    enterTab(ActionEnabling::LiveValuesTab);
    EXPECT_EQ(refreshes, 1);
}

TEST_F(DataModule, tabChangeSwitchesAutomaticRefreshOffAndResetsTheLiveView)
{
    start();
    dm->session().flags.autoRefresh = true;
    dm->session().flags.startLimitView = true;
    dm->refreshTimer().start();
    dm->action(ActionId::a_setref)->setProperty("imageIndex", ActionTable::iconClock);
    child<QDateEdit>("dtp1")->setDate(QDate(2001, 2, 3));
    enterTab(ActionEnabling::LiveValuesTab);
    EXPECT_FALSE(dm->session().flags.autoRefresh);
    EXPECT_FALSE(dm->refreshTimer().isActive());
    EXPECT_EQ(dm->action(ActionId::a_setref)->property("imageIndex").toInt(), ActionTable::iconStop)
            << "the picture goes off with it";
    EXPECT_FALSE(dm->session().flags.startLimitView);
    EXPECT_EQ(child<QDateEdit>("dtp1")->date(), QDate::currentDate());
}

// The README's table from each caption to its handler names, for every row,
// handlers that the window or the data module has connected, and every
// handler connected in a row of it.
TEST_F(DataModule, everyHandlerOfTheReadmesCaptionTableIsConnected)
{
    QFile ini(frontIni());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Registry]\nLocation=registry.sqlite\n");
    ini.close();
    start();
    // The history's own buttons are connected when it opens: a relay read
    // into the register is identified and its history opened.
    dm->port().bus().setScanTimeoutMs(50);
    act(ActionId::a_pooling)->trigger();
    mf->findChild<QListWidget *>(QStringLiteral("lb"))->setCurrentRow(0);
    mf->lbDblClick();
    enterTab(ActionEnabling::ConfigurationTab);
    act(ActionId::a_getdata)->trigger();
    dm->settingsHistoryAction()->trigger();
    QFile readme(QStringLiteral(MIV_README));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(readme.readAll()).split(u'\n');
    qsizetype row = lines.indexOf(QStringLiteral("| caption (where) | handler | the work |"));
    ASSERT_GE(row, 0);
    const QStringList connected = mf->connectedHandlers() + dm->connectedHandlers();
    const QRegularExpression handlerName(QStringLiteral("`((?:Tmf|Tdm)::\\w+)`"));
    int rows = 0;
    QStringList listed;
    for (row += 2; row < lines.size() && lines[row].startsWith(u'|'); ++row, ++rows) {
        const QStringList cells = lines[row].split(u'|');
        ASSERT_GE(cells.size(), 4) << lines[row].toStdString();
        auto names = handlerName.globalMatch(cells[2]);
        EXPECT_TRUE(names.hasNext()) << "no handler: " << lines[row].toStdString();
        while (names.hasNext()) {
            const QString name = names.next().captured(1);
            EXPECT_TRUE(connected.contains(name)) << name.toStdString();
            listed << name;
        }
    }
    EXPECT_GE(rows, 25);
    // And the other way: every handler connected has its row.
    for (const QString &name : connected)
        EXPECT_TRUE(listed.contains(name)) << "not in the caption table: " << name.toStdString();
}

TEST_F(DataModule, btsFollowsTheTypeOfTheRelayIdentifiedLast)
{
    start();
    dm->session().device.typeCode = 6;
    mf->bts(0, dm->session().pagesTypeCode());
    for (int tab = 0; tab < 7; ++tab)
        EXPECT_EQ(pc()->isTabVisible(tab), tab != 5) << "tab " << tab;
    mf->bts(1, dm->session().pagesTypeCode());
    for (int tab = 0; tab < 7; ++tab)
        EXPECT_EQ(pc()->isTabVisible(tab), tab == 0 || tab == 2 || tab == 6) << "tab " << tab;
    dm->session().device.typeCode = 4;
    mf->bts(0, dm->session().pagesTypeCode());
    for (int tab = 0; tab < 7; ++tab)
        EXPECT_EQ(pc()->isTabVisible(tab), tab <= 4) << "tab " << tab;
}

TEST_F(DataModule, closingWithUnsavedChangesAsksAndNoKeepsTheWindow)
{
    start();
    mf->show();
    dm->session().flags.unwrittenChanges = true;
    op.answer(Operator::Answer::No);
    EXPECT_FALSE(mf->close());
    EXPECT_TRUE(mf->isVisible());
    ASSERT_EQ(op.shown().size(), 1);
    const ScriptedOperator::Shown &box = op.shown().first();
    EXPECT_EQ(
            box.text,
            QStringLiteral(
                    "Имеются несохраненные изменения.\rОтменить изменения и завершить работу программы?"));
    EXPECT_EQ(box.icon, Operator::Icon::Warning);
    EXPECT_EQ(box.buttons, Operator::Buttons::OkNo);

    op.answer(Operator::Answer::Ok);
    EXPECT_TRUE(mf->close());
    EXPECT_FALSE(mf->isVisible());
}

TEST_F(DataModule, closingWithoutChangesAsksNothing)
{
    start();
    mf->show();
    EXPECT_TRUE(mf->close());
    EXPECT_TRUE(op.shown().isEmpty());
}

TEST_F(DataModule, exitEndsTheLoopWithoutAskingAboutUnsavedChanges)
{
    start();
    mf->show();
    dm->session().flags.unwrittenChanges = true;
    QTimer::singleShot(0, dm->action(ActionId::a_exit), &QAction::trigger);
    // A safety net only: the loop must end through the action.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(op.shown().isEmpty());
}

TEST_F(DataModule, aboutWithoutTheLibraryShowsTheLoadErrorWithAbortOnly)
{
    start();
    op.answer(Operator::Answer::Abort);
    act(ActionId::a_about)->trigger();
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].text, QStringLiteral("Ошибка загрузки библиотеки"));
    EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Error);
    EXPECT_EQ(op.shown()[0].buttons, Operator::Buttons::Abort);
}

TEST_F(DataModule, aboutShowsTheProductTitleAndFullVersion)
{
    const QDir bin(qEnvironmentVariable("MIV_BIN_DIR"));
    const QStringList libraries =
            bin.entryList({QStringLiteral("*about.so"), QStringLiteral("about.dll"),
                           QStringLiteral("libabout.dylib")});
    ASSERT_FALSE(libraries.isEmpty())
            << "the about library is not beside the programs in " << bin.path().toStdString();
    ASSERT_TRUE(QFile::copy(bin.filePath(libraries.first()), programDir() + libraries.first()));
    start();
    mf->show();

    QString shown;
    QTimer::singleShot(0, [&shown] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    act(ActionId::a_about)->trigger();
    EXPECT_TRUE(op.shown().isEmpty());
    EXPECT_TRUE(shown.contains(QStringLiteral("Конфигуратор МИВ-04,06"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Версия 1.1.080704"))) << shown.toStdString();
}
