#include "AppFixture.h"
#include "app/JournalArchiveDialog.h"
#include "app/LineOverviewPage.h"
#include "app/LineOverviewWindow.h"
#include "app/RegistryCheckWindow.h"
#include "app/RegistryHistoryDialog.h"
#include "app/TrendChart.h"
#include "app/TrendWindow.h"
#include "app/ActionEnabling.h"
#include "app/ActionTable.h"
#include "core/ConfigGrid.h"
#include "core/JournalGrid.h"
#include "report/JournalReport.h"
#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "core/ValueFormat.h"
#include "link/FrontIni.h"

#include <QFile>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QTableView>
#include <QToolTip>
#include <QTest>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>

using namespace miv;

namespace {

// The road of an operator through the window, from an empty screen to a
// changed setting in a relay, against the simulated relays on the loopback line.
class WindowFlow : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        start();
        ASSERT_TRUE(dm->portOpen());
        dm->port().bus().setReplyTimeoutMs(300);
        dm->port().bus().setScanTimeoutMs(50); // the line answers at once
    }

    void scanAndIdentify(int address)
    {
        enterTab(ActionEnabling::DevicesTab);
        dm->action(ActionId::a_pooling)->trigger();
        QListWidget *lb = child<QListWidget>("lb");
        lb->setCurrentRow(address - 1);
        Q_EMIT lb->itemDoubleClicked(lb->currentItem()); // the window calls lbDblClick
    }
    QString value(int row) const { return dm->session().configGrid.text(row, ConfigGrid::Value); }
    bool marked(int row) const { return dm->session().configGrid.isMarked(row); }
    void doubleClick(int row)
    {
        mf->sgSelectCell(ConfigGrid::Value, row);
        mf->sgDblClick();
    }
    QString number(const char *text) const
    {
        return QString::fromLatin1(text).replace(u',', systemDecimalSeparator());
    }
};

TEST_F(WindowFlow, scanListsEveryAddressAndLeavesTheWindowUsable)
{
    QListWidget *lb = child<QListWidget>("lb");
    dm->action(ActionId::a_pooling)->trigger();
    ASSERT_EQ(lb->count(), 32);
    for (int address = 1; address <= 32; ++address) {
        const bool answers = address == 1 || address == 6 || address == 17;
        const QString expected = answers
                ? QStringLiteral("Устройство №%1 в сети").arg(address)
                : QStringLiteral("Связи с устройством №%1 нет").arg(address);
        EXPECT_EQ(lb->item(address - 1)->text(), expected);
    }
    EXPECT_TRUE(mf->isEnabled());
    EXPECT_FALSE(child<QProgressBar>("pb1")->isVisible());
    EXPECT_TRUE(op.shown().isEmpty());
}

TEST_F(WindowFlow, identificationShowsTheRelayAndItsTabs)
{
    QPlainTextEdit *m1 = child<QPlainTextEdit>("m1");
    scanAndIdentify(6);
    const QStringList memo = m1->toPlainText().split(u'\n');
    ASSERT_EQ(memo.size(), 8) << m1->toPlainText().toStdString();
    EXPECT_EQ(memo[0], QStringLiteral("Устройство: МИВ-06    "));
    EXPECT_EQ(memo[1], QStringLiteral("Заводской №1006, Версия ПО v3 от 15.6.2010"));
    EXPECT_EQ(memo[2], QStringLiteral("Сетевой адрес устройства 6"));
    EXPECT_EQ(memo[3], QStringLiteral("Параметры интерфейса:"));
    EXPECT_EQ(memo[4], QStringLiteral("Скорость 9600 бит/с"));
    EXPECT_EQ(dm->session().device.networkAddress, 6);
    for (int tab : {0, 1, 2, 3, 4, 6})
        EXPECT_TRUE(pc()->isTabVisible(tab)) << tab;
    EXPECT_FALSE(pc()->isTabVisible(5));
    EXPECT_TRUE(dm->session().flags.editingLocked);
}

// "Настройка порта" with relay 6 selected: a speed its word cannot say is
// refused with nothing written; 19200 keeps its 8 data bits, and its details,
// the port and front.ini show the new speed without a new identification.
TEST_F(WindowFlow, portSetupMovesTheSelectedRelayAndItsDetailsFollow)
{
    scanAndIdentify(6);
    PortSettings chosen = dm->port().settings();
    chosen.baudRate = QStringLiteral("115200");
    setupAnswer = chosen;
    const qsizetype requests = line.requests().size();
    dm->N6Click();
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_TRUE(op.shownTexts()[0].contains(QStringLiteral("скорость 115200 бит/с")))
            << op.shownTexts()[0].toStdString();
    EXPECT_EQ(line.requests().size(), requests + 1); // the word read, nothing written
    EXPECT_EQ(dm->port().settings().baudRate, QStringLiteral("9600"));

    op.clearShown();
    chosen.baudRate = QStringLiteral("19200");
    setupAnswer = chosen;
    dm->N6Click();
    EXPECT_TRUE(op.shown().isEmpty()) << op.shownTexts().join(u'|').toStdString();
    EXPECT_EQ(line.relay(6)->registerValue(65), 0x2848);
    const QStringList memo = child<QPlainTextEdit>("m1")->toPlainText().split(u'\n');
    ASSERT_EQ(memo.size(), 8);
    EXPECT_EQ(memo[4], QStringLiteral("Скорость 19200 бит/с"));
    EXPECT_EQ(memo[6], QStringLiteral("8 бит данных"));
    EXPECT_EQ(dm->port().settings().baudRate, QStringLiteral("19200"));
    PortSettings stored;
    ASSERT_TRUE(loadPortSettings(frontIni(), stored));
    EXPECT_EQ(stored.baudRate, QStringLiteral("19200"));
}

TEST_F(WindowFlow, readUnlockEditWriteAndReadBack)
{
    scanAndIdentify(1);
    enterTab(ActionEnabling::ConfigurationTab);
    EXPECT_FALSE(dm->compareAction()->isEnabled()) << "nothing read to compare";
    dm->action(ActionId::a_getdata)->trigger();
    EXPECT_TRUE(dm->compareAction()->isEnabled());
    EXPECT_EQ(value(0), QStringLiteral("10"));
    EXPECT_EQ(value(1), number("25,0"));
    EXPECT_EQ(value(5), QStringLiteral("30"));
    EXPECT_EQ(value(31), Texts::functionOff); // a type-4 relay has no tank algorithm
    EXPECT_FALSE(dm->action(ActionId::a_save)->isEnabled());

    // Locked: the first double-click only asks for the password.
    op.answerPassword(QStringLiteral("ABCD"));
    doubleClick(5);
    EXPECT_FALSE(dm->session().flags.editingLocked);
    EXPECT_FALSE(marked(5));
    EXPECT_TRUE(dm->action(ActionId::a_save)->isEnabled()); // the tab's actions followed the lock

    op.answerEdit(Operator::ValueEditResult{QStringLiteral("40"), 40});
    doubleClick(5);
    EXPECT_EQ(value(5), QStringLiteral("40"));
    EXPECT_TRUE(marked(5));
    EXPECT_TRUE(dm->session().flags.unwrittenChanges);
    ASSERT_EQ(op.editRequests().size(), 1);
    EXPECT_EQ(op.editRequests()[0].minimum, 10);
    EXPECT_EQ(op.editRequests()[0].maximum, 50);

    doubleClick(24); // a switch flips at once
    EXPECT_EQ(value(24), onOffTexts[0]);
    EXPECT_EQ(value(4), Texts::functionOff); // its dependent rows are disabled
    EXPECT_EQ(value(17), Texts::functionOff);

    dm->action(ActionId::a_setdata)->trigger();
    EXPECT_TRUE(op.shown().isEmpty()) << op.shownTexts().join(u'|').toStdString();
    EXPECT_FALSE(marked(5));
    EXPECT_FALSE(marked(24));
    EXPECT_TRUE(dm->session().flags.editingLocked);
    EXPECT_FALSE(dm->session().flags.unwrittenChanges);
    EXPECT_FALSE(dm->action(ActionId::a_save)->isEnabled());

    // What the relay holds now, read afresh.
    dm->action(ActionId::a_getdata)->trigger();
    EXPECT_EQ(value(5), QStringLiteral("40"));
    EXPECT_EQ(value(24), onOffTexts[0]);
    EXPECT_EQ(value(4), Texts::functionOff);

    // The row "Пароль" runs the handler of the action "Изменение пароля".
    op.answerPasswordChange(std::nullopt);
    doubleClick(ConfigRow::password);
    EXPECT_EQ(op.passwordChangePrompts(), 1);
    dm->action(ActionId::a_chpass)->setEnabled(false);
    doubleClick(ConfigRow::password);
    EXPECT_EQ(op.passwordChangePrompts(), 1) << "a disabled action does nothing";
}

TEST_F(WindowFlow, settingsFileCarriesAConfigurationToAnotherRelay)
{
    scanAndIdentify(1);
    enterTab(ActionEnabling::ConfigurationTab);
    dm->action(ActionId::a_getdata)->trigger();
    op.answerPassword(QStringLiteral("ABCD"));
    doubleClick(5);
    op.answerEdit(Operator::ValueEditResult{QStringLiteral("45"), 45});
    doubleClick(5);
    const QString file = folder.path() + QStringLiteral("/relay1");
    op.answerFileName(file);
    dm->action(ActionId::a_save)->trigger();
    ASSERT_TRUE(QFile::exists(file + QStringLiteral(".miv")));

    // Relay 17 gets the file. The change made for relay 1 was never written
    // to it: it is dropped, and the operator told.
    scanAndIdentify(17);
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::changesDropped.arg(1).arg(1001)});
    op.clearShown();
    enterTab(ActionEnabling::ConfigurationTab);
    dm->action(ActionId::a_getdata)->trigger();
    EXPECT_EQ(value(5), QStringLiteral("30"));
    op.answerPassword(QStringLiteral("ABCD"));
    doubleClick(0);
    op.answerFileName(file + QStringLiteral(".miv"));
    dm->action(ActionId::a_load)->trigger();
    EXPECT_EQ(value(5), QStringLiteral("45"));
    for (int row = 0; row <= 31; ++row)
        EXPECT_TRUE(marked(row) || dm->session().configGrid.isDisabled(row)) << row;
    dm->action(ActionId::a_setdata)->trigger();
    EXPECT_TRUE(op.shown().isEmpty()) << op.shownTexts().join(u'|').toStdString();
    EXPECT_EQ(value(5), QStringLiteral("45")); // read back from relay 17
}

// Settings prepared with no relay: a file opened for a type, edited with no
// password, and carried to a relay only on the operator's word.
TEST_F(WindowFlow, aFileEditedWithNoRelayReachesARelayOnlyWhenCarried)
{
    const QString file = folder.path() + QStringLiteral("/motor.miv");
    {
        QFile miv(file);
        ASSERT_TRUE(miv.open(QIODevice::WriteOnly));
        miv.write(QStringLiteral("[Параметры]\r\nКоэффициент трансформации=10\r\n").toUtf8());
    }
    enterTab(ActionEnabling::ConfigurationTab);
    ASSERT_TRUE(dm->action(ActionId::a_load)->isEnabled()) << "no relay: a file may be opened";
    op.answerChoice(1); // МИВ-06
    op.answerFileName(file);
    dm->action(ActionId::a_load)->trigger();
    op.clearShown(); // the rows the file lacks are listed
    EXPECT_TRUE(mf->windowTitle().contains(QStringLiteral("motor.miv")));
    EXPECT_TRUE(pc()->isTabVisible(ActionEnabling::TimerTab)) << "a МИВ-06 file has its timer";
    EXPECT_FALSE(dm->action(ActionId::a_setdata)->isEnabled()) << "no relay to write to";
    EXPECT_TRUE(dm->action(ActionId::a_save)->isEnabled());
    op.answerEdit(Operator::ValueEditResult{QStringLiteral("45"), 45});
    doubleClick(5);
    EXPECT_EQ(op.passwordPrompts(), 0) << "no relay is touched: no password";
    EXPECT_TRUE(marked(5));

    // Identified, relay 6 is asked first; "Да" reads it, asks its password
    // and marks the rows where the file differs; nothing is written yet.
    op.answer(Operator::Answer::Yes);
    op.answerPassword(QStringLiteral("ABCD"));
    scanAndIdentify(6);
    EXPECT_EQ(line.relay(6)->registerValue(0x55), 30);
    EXPECT_TRUE(marked(5));
    EXPECT_EQ(value(5), QStringLiteral("45"));
    EXPECT_FALSE(mf->windowTitle().contains(QStringLiteral("motor.miv")));
    enterTab(ActionEnabling::ConfigurationTab);
    dm->action(ActionId::a_setdata)->trigger();
    EXPECT_EQ(line.relay(6)->registerValue(0x55), 45);
}

// "Обзор линии": the relays the scan found, read in turn while the window is
// open; a double click on a row identifies that relay.
TEST_F(WindowFlow, lineOverviewWatchesTheScannedRelaysAndOpensOne)
{
    enterTab(ActionEnabling::DevicesTab);
    dm->action(ActionId::a_pooling)->trigger();
    dm->lineOverviewAction()->trigger();
    LineOverviewWindow &overview = dm->lineOverviewWindow();
    ASSERT_TRUE(overview.isVisible());
    EXPECT_EQ(overview.windowModality(), Qt::ApplicationModal) << "nothing else uses the line";
    QTRY_COMPARE(overview.page().model().rowCount(), 3);
    QTRY_VERIFY(!overview.page().model().index(2, 0).data().toString().isEmpty());

    // The alarms, like every column, widen by dragging; a cut text is a tool tip.
    QTableView *table = overview.page().table();
    EXPECT_EQ(table->horizontalHeader()->sectionResizeMode(LineOverviewModel::Alarms),
              QHeaderView::Interactive);
    table->setColumnWidth(LineOverviewModel::Name, 4);
    const QModelIndex name = overview.page().model().index(0, LineOverviewModel::Name);
    QHelpEvent hover(QEvent::ToolTip, table->visualRect(name).center(),
                     table->viewport()->mapToGlobal(table->visualRect(name).center()));
    QCoreApplication::sendEvent(table->viewport(), &hover);
    EXPECT_EQ(QToolTip::text(), name.data().toString());

    Q_EMIT overview.page().identifyRequested(6);
    EXPECT_FALSE(overview.isVisible());
    EXPECT_FALSE(overview.page().isRunning());
    EXPECT_EQ(dm->session().device.networkAddress, 6);
    EXPECT_EQ(pc()->currentIndex(), ActionEnabling::LiveValuesTab);

    // Closed by the operator, the overview hands the line back: the relay
    // selected is read once more.
    dm->lineOverviewAction()->trigger();
    QTRY_VERIFY(!overview.page().model().index(2, 0).data().toString().isEmpty());
    line.clearRequests();
    overview.close();
    ASSERT_FALSE(line.requests().isEmpty());
    EXPECT_EQ(quint8(line.requests().front()[0]), 6);
    EXPECT_EQ(quint8(line.requests().front()[3]), RelayRegister::liveBlockA);

    // A relay that does not answer is not selected, and its page is not
    // opened with the values of the relay before.
    RelayLine::Faults silent;
    silent.silent = true;
    line.setFaults(17, silent);
    Q_EMIT overview.page().identifyRequested(17);
    EXPECT_FALSE(dm->relaySelected());
    EXPECT_EQ(pc()->currentIndex(), ActionEnabling::DevicesTab);
    EXPECT_FALSE(pc()->isTabVisible(ActionEnabling::LiveValuesTab));
}

TEST_F(WindowFlow, approvedSettingsTheCheckOfTheLineAndTheHistory)
{
    dm.reset();
    mf.reset();
    QFile ini(frontIni());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Registry]\nLocation=registry.sqlite\n");
    ini.close();
    start();
    dm->port().bus().setReplyTimeoutMs(300);
    dm->port().bus().setScanTimeoutMs(50);

    scanAndIdentify(1);
    enterTab(ActionEnabling::ConfigurationTab);
    dm->action(ActionId::a_getdata)->trigger();
    op.answerText(QStringLiteral("пусконаладка"));
    dm->approveSettingsAction()->trigger();
    EXPECT_TRUE(op.notes().contains(
            QStringLiteral("Уставки реле №%1 утверждены").arg(dm->session().device.factoryNumber)))
            << op.notes().join(u'|').toStdString();

    dm->approvedCheckAction()->trigger();
    RegistryCheckWindow &check = dm->checkWindow();
    ASSERT_EQ(check.results().size(), 3);
    EXPECT_EQ(check.results()[0].result, RelayCheck::Result::Same);
    EXPECT_EQ(check.results()[1].result, RelayCheck::Result::NotApproved);
    EXPECT_EQ(check.table()->item(0, 3)->text(), QStringLiteral("совпадает"));
    EXPECT_EQ(check.table()->item(0, 0)->background().color(),
              RegistryCheckWindow::resultColour(check.results()[0]));
    EXPECT_NE(check.table()->item(1, 0)->background().color(),
              check.table()->item(0, 0)->background().color());

    // The settings written as they are: the read-back is what the visit left.
    op.answerPassword(QStringLiteral("ABCD"));
    dm->action(ActionId::a_setdata)->trigger();

    dm->settingsHistoryAction()->trigger();
    auto *history = mf->findChild<RegistryHistoryDialog *>();
    ASSERT_NE(history, nullptr);
    // As found, approved, as found by the check, as left by the write.
    ASSERT_EQ(history->entriesTable()->rowCount(), 4);
    EXPECT_EQ(history->entriesTable()->item(3, 2)->text(), QStringLiteral("после записи"));
    EXPECT_EQ(history->entriesTable()->item(1, 2)->text(), QStringLiteral("утверждено"));
    EXPECT_EQ(history->entriesTable()->item(1, 8)->text(), QStringLiteral("пусконаладка"));
    // The check's reads keep the port as every other read does.
    EXPECT_EQ(history->entriesTable()->item(2, 4)->text(),
              history->entriesTable()->item(0, 4)->text());
    history->compareEntries(0, 2);
    EXPECT_EQ(history->changesTable()->rowCount(), 0);

    // Two entries that are no visit, an approval as what was left: refused, and said why.
    QItemSelectionModel *selection = history->entriesTable()->selectionModel();
    for (int row : {0, 1})
        selection->select(history->entriesTable()->model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    history->findChild<QPushButton *>(QStringLiteral("commissioningReport"))->click();
    ASSERT_FALSE(op.shown().isEmpty());
    EXPECT_TRUE(op.shown().last().text.startsWith(QStringLiteral("После наладки — запись")))
            << op.shown().last().text.toStdString();

    // The commissioning report of the first and the last entry, from the history.
    const QString reportPath = programDir() + QStringLiteral("visit.csv");
    history->entriesTable()->selectAll();
    op.answerFileName(reportPath);
    op.answer(Operator::Answer::No); // the file is not opened
    history->findChild<QPushButton *>(QStringLiteral("commissioningReport"))->click();
    QFile report(reportPath);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
            QString::fromUtf8(report.readAll()).contains(QStringLiteral("Протокол наладки реле")));

    // The journal read is kept; "Архив..." shows it and reports what it shows.
    enterTab(ActionEnabling::JournalTab);
    dm->action(ActionId::a_getdata)->trigger();
    mf->findChild<QPushButton *>(QStringLiteral("archiveButton"))->click();
    auto *archive = mf->findChild<JournalArchiveDialog *>();
    ASSERT_NE(archive, nullptr);
    const int kept = archive->entriesTable()->rowCount();
    EXPECT_GT(kept, 0);
    EXPECT_EQ(archive->entriesTable()->item(0, 3)->text(),
              mf->journalModel()->index(0, JournalGrid::Event).data().toString());
    const QString archivePath = programDir() + QStringLiteral("archive.csv");
    op.answerFileName(archivePath);
    op.answer(Operator::Answer::No);
    archive->findChild<QPushButton *>(QStringLiteral("archiveReport"))->click();
    QFile archived(archivePath);
    ASSERT_TRUE(archived.open(QIODevice::ReadOnly));
    EXPECT_EQ(archived.readAll().count("\r\n"), kept + 1); // the headings and each entry
    ASSERT_FALSE(op.shown().isEmpty());
    EXPECT_EQ(op.shown().last().text, JournalReport::finishedQuestion(archivePath));
}

TEST_F(WindowFlow, timerTabShowsWritesAndReadsBackTheSchedule)
{
    scanAndIdentify(6);
    enterTab(ActionEnabling::TimerTab);
    dm->action(ActionId::a_getdata)->trigger();
    EXPECT_EQ(mf->timeMarks()[0]->time(), QTime(6, 30));
    EXPECT_EQ(mf->timerSwitches()[0]->text(), onOffTexts[1]);
    EXPECT_EQ(mf->timerSwitches()[1]->text(), onOffTexts[0]);
    EXPECT_EQ(mf->timerSwitches()[6]->text(), onOffTexts[1]);

    mf->timerSwitches()[1]->click(); // interval 2 on
    mf->timeMarks()[0]->setTime(QTime(7, 15));
    op.answerPassword(QStringLiteral("ABCD"));
    dm->action(ActionId::a_setdata)->trigger(); // locked: asks only
    EXPECT_FALSE(dm->session().flags.editingLocked);
    dm->action(ActionId::a_setdata)->trigger();
    EXPECT_TRUE(dm->session().flags.editingLocked);
    EXPECT_TRUE(op.shown().isEmpty()) << op.shownTexts().join(u'|').toStdString();
    EXPECT_EQ(mf->timeMarks()[0]->time(), QTime(7, 15)); // as read back
    EXPECT_EQ(mf->timerSwitches()[1]->text(), onOffTexts[1]);
}

TEST_F(WindowFlow, silentRelayDuringReadIsReportedAndTheWindowGoesOn)
{
    scanAndIdentify(1);
    enterTab(ActionEnabling::ConfigurationTab);
    RelayLine::Faults silent;
    silent.silent = true;
    line.setFaults(0, silent);
    dm->action(ActionId::a_getdata)->trigger();
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::linkError});
    EXPECT_TRUE(mf->isEnabled());
}

} // namespace

namespace { } // namespace

namespace {

// The live values tab of an identified relay, against the simulated relays.
class LiveValuesFlow : public WindowFlow
{
protected:
    void SetUp() override
    {
        WindowFlow::SetUp();
        scanAndIdentify(6);
        op.clearShown();
    }
    LoopbackPort &loopback() { return static_cast<LoopbackLink &>(dm->port()).port(); }
    QString label(int number) const
    {
        return child<QLabel>(QStringLiteral("Label%1").arg(number).toLatin1().constData())->text();
    }
    int lampIcon(int lamp) const
    {
        return child<QLabel>(QStringLiteral("Image%1").arg(lamp).toLatin1().constData())
                ->property("iconIndex")
                .toInt();
    }
};

TEST_F(LiveValuesFlow, enteringTheTabShowsTheRelaysValuesAndLamps)
{
    line.relay(6)->setStatusBits(1 << 11); // leakage
    enterTab(ActionEnabling::LiveValuesTab);
    const quint16 clockDay = line.relay(6)->registerValue(116);
    EXPECT_TRUE(label(59).startsWith(
            QStringLiteral("%1.").arg(clockDay >> 8, 2, 10, QLatin1Char('0'))));
    EXPECT_EQ(label(14), QStringLiteral("000") + systemDecimalSeparator() + QStringLiteral("0 А"));
    EXPECT_EQ(lampIcon(11), 1) << "leakage lamp bright red";
    EXPECT_EQ(lampIcon(3), 2) << "work lamp dark green";
    EXPECT_TRUE(child<QPushButton>("BitBtn1")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("BitBtn2")->isEnabled());

    child<QPushButton>("BitBtn1")->click(); // "Работа"
    EXPECT_TRUE(line.relay(6)->isMotorRunning());
    EXPECT_EQ(lampIcon(3), 3) << "the refresh after the command shows the work lamp lit";
    EXPECT_FALSE(child<QPushButton>("BitBtn1")->isEnabled());
    EXPECT_TRUE(op.shown().isEmpty());
}

// "График...": every refresh of the live values adds its point to the trend.
TEST_F(LiveValuesFlow, theTrendWindowDrawsEveryRefresh)
{
    enterTab(ActionEnabling::LiveValuesTab);
    child<QPushButton>("trendButton")->click();
    TrendWindow &trend = dm->trendWindow();
    ASSERT_TRUE(trend.isVisible());
    EXPECT_TRUE(trend.windowTitle().contains(QStringLiteral("№6")));
    EXPECT_GE(dm->session().trend.points().size(), 1) << "entering the tab read the values";
    EXPECT_GE(trend.chart().shownPointCount(), 1);
    // Another relay's values start a new chart.
    scanAndIdentify(1);
    enterTab(ActionEnabling::LiveValuesTab);
    EXPECT_TRUE(trend.windowTitle().contains(QStringLiteral("№1")));
    EXPECT_EQ(dm->session().trend.points().size(), 1);
}

TEST_F(LiveValuesFlow, timerDrivenRefreshThatLosesThePortTellsAndScansAgain)
{
    enterTab(ActionEnabling::LiveValuesTab);
    op.answerText(QStringLiteral("1"));
    dm->action(ActionId::a_setref)->trigger();
    ASSERT_TRUE(dm->refreshTimer().isActive());
    EXPECT_EQ(dm->action(ActionId::a_setref)->property("imageIndex").toInt(), 3);

    dm->rtTimer(); // a tick that reads fine
    EXPECT_TRUE(op.shown().isEmpty());
    loopback().failWriteAt(1);
    dm->rtTimer();

    EXPECT_FALSE(dm->refreshTimer().isActive());
    EXPECT_FALSE(dm->session().flags.autoRefresh);
    EXPECT_EQ(dm->action(ActionId::a_setref)->property("imageIndex").toInt(), 4);
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(op.shown()[0].text,
              QStringLiteral("Неудается получить данные.\rВозможно пропала связь с устройством.\n")
                      + QStringLiteral("Ошибка записи в порт"));
    EXPECT_EQ(pc()->currentIndex(), ActionEnabling::DevicesTab);
    EXPECT_EQ(child<QListWidget>("lb")->item(5)->text(), QStringLiteral("Устройство №6 в сети"))
            << "scanned again";
}

// The adapter pulled out in the middle of an exchange: the port fails and will
// not open again.
enum class PulledDuring { Scan, ConfigRead, ConfigWrite, JournalRead, AutoRefresh };

class AdapterPulled : public LiveValuesFlow, public ::testing::WithParamInterface<PulledDuring>
{
protected:
    // Automatic refresh runs on the live values tab, then the operation
    // starts, and one of its requests never gets its reply.
    void runOperationAndPullTheAdapter()
    {
        enterTab(ActionEnabling::LiveValuesTab);
        op.answerText(QStringLiteral("1"));
        dm->action(ActionId::a_setref)->trigger();
        ASSERT_TRUE(dm->refreshTimer().isActive());
        // The second request of the operation on that tab gets no reply.
        const auto pullDuring = [this](int tab, QAction *action) {
            enterTab(tab);
            loopback().vanishAtRequest(2);
            action->trigger();
        };
        switch (GetParam()) {
        case PulledDuring::Scan:
            pullDuring(ActionEnabling::DevicesTab, dm->action(ActionId::a_pooling));
            break;
        case PulledDuring::ConfigRead:
            pullDuring(ActionEnabling::ConfigurationTab, dm->action(ActionId::a_getdata));
            break;
        case PulledDuring::ConfigWrite:
            enterTab(ActionEnabling::ConfigurationTab);
            dm->action(ActionId::a_getdata)->trigger();
            op.answerPassword(QStringLiteral("ABCD"));
            doubleClick(5); // unlocks
            op.answerEdit(Operator::ValueEditResult{QStringLiteral("40"), 40});
            doubleClick(5);
            loopback().vanishAtRequest(1);
            dm->action(ActionId::a_setdata)->trigger();
            break;
        case PulledDuring::JournalRead:
            pullDuring(ActionEnabling::JournalTab, dm->action(ActionId::a_getdata));
            break;
        case PulledDuring::AutoRefresh:
            loopback().vanishAtRequest(2);
            dm->rtTimer();
            break;
        }
        // The window follows the lost port once the operation has returned.
        QCoreApplication::processEvents();
    }
};

TEST_P(AdapterPulled, oneMessageRefreshOffPlugPulledAndThePortActionReopens)
{
    runOperationAndPullTheAdapter();
    ASSERT_EQ(op.shown().size(), 1) << op.shownTexts().join(u'|').toStdString();
    EXPECT_TRUE(op.shown()[0].text.contains(QStringLiteral("Связь с портом потеряна")))
            << op.shown()[0].text.toStdString();
    EXPECT_FALSE(dm->refreshTimer().isActive());
    EXPECT_FALSE(dm->session().flags.autoRefresh);
    EXPECT_FALSE(dm->portOpen());
    EXPECT_EQ(dm->action(ActionId::a_port)->property("imageIndex").toInt(),
              ActionTable::iconPlugPulled);
    EXPECT_TRUE(mf->isEnabled());
    if (GetParam() == PulledDuring::ConfigWrite) {
        // Row 5 went out and its answer was lost: not reported as written.
        EXPECT_TRUE(marked(5));
        EXPECT_TRUE(dm->session().flags.unwrittenChanges);
        EXPECT_FALSE(op.shown()[0].text.contains(QStringLiteral("Записаны:")));
    }
    if (GetParam() == PulledDuring::Scan) {
        EXPECT_EQ(child<QListWidget>("lb")->item(5)->text(),
                  QStringLiteral("Устройство №6 не опрошено: порт потерян"));
    }

    loopback().reappear();
    dm->action(ActionId::a_port)->trigger();
    EXPECT_TRUE(dm->portOpen());
    EXPECT_EQ(dm->action(ActionId::a_port)->property("imageIndex").toInt(),
              ActionTable::iconPlugConnected);
    scanAndIdentify(6);
    enterTab(ActionEnabling::LiveValuesTab); // reads the values afresh
    EXPECT_EQ(op.shown().size(), 1) << op.shownTexts().join(u'|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(During, AdapterPulled,
                         ::testing::Values(PulledDuring::Scan, PulledDuring::ConfigRead,
                                           PulledDuring::ConfigWrite, PulledDuring::JournalRead,
                                           PulledDuring::AutoRefresh));

TEST_F(LiveValuesFlow, anIntervalThatIsNoNumberStartsNothing)
{
    enterTab(ActionEnabling::LiveValuesTab);
    for (const char *answer : {"abc", "0", "-1"}) {
        op.answerText(QString::fromLatin1(answer));
        dm->action(ActionId::a_setref)->trigger();
        EXPECT_FALSE(dm->refreshTimer().isActive()) << answer;
        EXPECT_EQ(dm->action(ActionId::a_setref)->property("imageIndex").toInt(), 4) << answer;
    }
    op.answerText(std::nullopt); // Cancel counts as the default "1"
    dm->action(ActionId::a_setref)->trigger();
    EXPECT_EQ(dm->refreshTimer().interval(), 1000);
    EXPECT_TRUE(dm->refreshTimer().isActive());
}

// A command to a relay that fell silent: one message, automatic refresh off
// before it, and no refresh after it to tell the same silence again.
TEST_F(LiveValuesFlow, aCommandThatFailsIsToldOnceWithAutomaticRefreshOff)
{
    enterTab(ActionEnabling::LiveValuesTab);
    op.answerText(QStringLiteral("1"));
    dm->action(ActionId::a_setref)->trigger();
    ASSERT_TRUE(dm->refreshTimer().isActive());
    RelayLine::Faults silent;
    silent.silent = true;
    line.setFaults(6, silent);
    bool refreshOnAtTheBox = true;
    op.duringMessage = [&] {
        refreshOnAtTheBox = dm->refreshTimer().isActive();
        dm->rtTimer(); // a tick under the box
    };
    child<QPushButton>("BitBtn1")->click(); // "Работа"
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::linkError});
    EXPECT_FALSE(refreshOnAtTheBox);
    EXPECT_FALSE(dm->session().flags.autoRefresh);
}

// The service page's hours are shown whole and written back as shown.
TEST_F(LiveValuesFlow, motorHoursOfMoreThanFiveDigitsAreShownAndWrittenWhole)
{
    line.relay(6)->setRegister(112, 1);
    line.relay(6)->setRegister(113, 34464); // 100000 h
    line.relay(6)->setRegister(114, 30);
    enterTab(ActionEnabling::ServiceTab);
    EXPECT_EQ(child<QLineEdit>("Edit1")->text(), QStringLiteral("100000"));
    child<QPushButton>("BitBtn3")->click(); // "Установить мр", nothing edited
    EXPECT_EQ(line.relay(6)->registerValue(112), 1);
    EXPECT_EQ(line.relay(6)->registerValue(113), 34464);
    EXPECT_TRUE(op.shown().isEmpty());
}

// The port closed by the operator under a running motor: the page check
// cannot run, the page is left as a failed check leaves it, and no button of
// it sends a coil or opens the port again.
TEST_F(LiveValuesFlow, relayControlWithThePortClosedSendsNoCoil)
{
    line.relay(6)->handle(QByteArray::fromHex("050300ff00"));
    for (int settle = 0; settle < 4; ++settle)
        line.relay(6)->tick();
    dm->action(ActionId::a_port)->trigger(); // closes
    ASSERT_FALSE(dm->portOpen());
    line.clearRequests();
    enterTab(ActionEnabling::RelayControlTab);
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::portClosed});
    EXPECT_EQ(pc()->currentIndex(), ActionEnabling::DevicesTab);
    for (const char *name : {"Button1", "Button3", "Button4", "Button5"}) {
        EXPECT_FALSE(child<QPushButton>(name)->isEnabled()) << name;
        mf->SetCommand2(child<QPushButton>(name));
    }
    EXPECT_TRUE(line.requests().isEmpty());
    EXPECT_FALSE(dm->portOpen());
}

TEST_F(LiveValuesFlow, relayControlTabIsLeftWhileTheMotorCarriesCurrent)
{
    line.relay(6)->handle(QByteArray::fromHex("050300ff00"));
    for (int settle = 0; settle < 4; ++settle)
        line.relay(6)->tick();
    op.answer(Operator::Answer::Ok);
    enterTab(ActionEnabling::RelayControlTab);
    EXPECT_EQ(op.shownTexts(), (QStringList{Texts::relayControlWarning, Texts::currentsFlowing}));
    EXPECT_EQ(pc()->currentIndex(), ActionEnabling::LiveValuesTab);

    // With the motor stopped the tab stays and its buttons follow register 40.
    line.relay(6)->handle(QByteArray::fromHex("0503000000"));
    op.clearShown();
    op.answer(Operator::Answer::Ok);
    enterTab(ActionEnabling::RelayControlTab);
    EXPECT_EQ(pc()->currentIndex(), ActionEnabling::RelayControlTab);
    EXPECT_TRUE(act(ActionId::a_refresh)->isEnabled());
    child<QPushButton>("Button3")->click(); // "Авария" on
    EXPECT_FALSE(child<QPushButton>("Button3")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("Button4")->isEnabled());
    EXPECT_EQ(line.relay(6)->registerValue(40) & 2, 2);
}

} // namespace
