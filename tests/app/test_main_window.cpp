#include "AppFixture.h"
#include "app/ActionTable.h"
#include "app/CutCellToolTips.h"
#include "app/Lamp.h"
#include "app/OperatorManualDialog.h"
#include "app/WindowProcess.h"
#include "core/TextFormats.h"
#include "core/Texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLibraryInfo>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTableView>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>

using namespace miv;

namespace {

using MainWindow = AppFixture;

QStringList headerCaptions(const QHeaderView *header)
{
    QStringList captions;
    for (int section = 0; section < header->count(); ++section)
        captions << header->model()->headerData(section, Qt::Horizontal).toString();
    return captions;
}

} // namespace

TEST_F(MainWindow, titleSizeAndTabCaptionsInPageOrder)
{
    start();
    EXPECT_EQ(mf->windowTitle(), QStringLiteral("КАРВЕН motor config v1.1"));
    EXPECT_EQ(mf->size(), QSize(762, 606));
    EXPECT_EQ(mf->minimumSize(), QSize(762, 606));
    const QStringList expected{"Связь с устройствами", "Текущие значения", "Конфигурация",
                               "Управление реле",      "Журнал событий",   "Техническая",
                               "Управление по таймеру"};
    ASSERT_EQ(pc()->count(), 7);
    for (int tab = 0; tab < 7; ++tab) {
        EXPECT_EQ(pc()->tabText(tab), expected[tab]);
        EXPECT_EQ(pc()->widget(tab)->objectName(), QStringLiteral("ts%1").arg(tab + 1));
    }
}

TEST_F(MainWindow, startShowsOnlyTheTabsWithoutARelayAndTheFirstTabIsActive)
{
    start();
    const bool expected[] = {true, false, true, false, false, false, false};
    for (int tab = 0; tab < 7; ++tab)
        EXPECT_EQ(pc()->isTabVisible(tab), expected[tab]) << "tab " << tab;
    EXPECT_EQ(pc()->currentIndex(), 0);
    EXPECT_EQ(dm->session().device.networkAddress, 0);
    EXPECT_FALSE(dm->session().flags.autoRefresh);
    EXPECT_FALSE(dm->refreshTimer().isActive());
    EXPECT_FALSE(dm->session().flags.unwrittenChanges);
    EXPECT_TRUE(dm->session().flags.editingLocked);
}

TEST_F(MainWindow, actionsCarryCaptionHintAndIconOfTheActionList)
{
    start();
    for (const ActionInfo &info : ActionTable::all()) {
        QAction *action = act(info.id);
        EXPECT_EQ(action->objectName(), QLatin1String(info.name));
        EXPECT_EQ(action->text(), info.caption);
        EXPECT_EQ(action->statusTip(), info.hint);
        if (!info.hint.isEmpty()) {
            EXPECT_EQ(action->toolTip(), info.hint);
        }
        EXPECT_EQ(action->icon().isNull(), info.icon < 0) << info.name;
    }
    // The port opened at start: the plug is shown connected.
    EXPECT_EQ(act(ActionId::a_port)->property("imageIndex").toInt(), 8);
}

TEST_F(MainWindow, menuAndToolbar)
{
    start();
    QToolBar *tb = child<QToolBar>("tb");
    QMenuBar *menu = mf->menuBar();
    ASSERT_EQ(menu, dm->menuBar());
    const QList<QAction *> menus = menu->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("Программа"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("Настройки"));
    EXPECT_EQ(menus[2]->text(), QStringLiteral("Помощь"));
    EXPECT_EQ(menus[0]->menu()->actions(), QList<QAction *>{dm->action(ActionId::a_exit)});
    ASSERT_EQ(menus[1]->menu()->actions().size(), 8);
    EXPECT_EQ(menus[1]->menu()->actions()[0]->text(), QStringLiteral("Настройка порта"));
    EXPECT_EQ(menus[1]->menu()->actions()[1], dm->lineSearchAction());
    EXPECT_EQ(dm->lineSearchAction()->text(), QStringLiteral("Поиск устройства..."));
    EXPECT_EQ(menus[1]->menu()->actions()[2]->text(), QStringLiteral("Сравнить с файлом..."));
    EXPECT_EQ(menus[1]->menu()->actions()[3], dm->lineOverviewAction());
    EXPECT_EQ(dm->lineOverviewAction()->text(), QStringLiteral("Обзор линии"));
    EXPECT_EQ(menus[1]->menu()->actions()[4]->text(), QStringLiteral("Сверка с утверждёнными"));
    EXPECT_EQ(menus[1]->menu()->actions()[5]->text(),
              QStringLiteral("Утвердить как уставки реле..."));
    EXPECT_EQ(menus[1]->menu()->actions()[6]->text(), QStringLiteral("История настроек..."));
    EXPECT_EQ(menus[1]->menu()->actions()[7], dm->settingsSheetAction());
    EXPECT_EQ(dm->settingsSheetAction()->text(), QStringLiteral("Лист настроек..."));
    EXPECT_EQ(menus[2]->menu()->actions(),
              QList<QAction *>({dm->action(ActionId::a_manual), dm->action(ActionId::a_about)}));
    EXPECT_EQ(dm->action(ActionId::a_manual)->shortcut(), QKeySequence(Qt::Key_F1));

    QStringList order;
    for (QAction *action : tb->actions()) {
        order << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
        if (!action->isSeparator()) {
            const QWidget *button = tb->widgetForAction(action);
            ASSERT_NE(button, nullptr);
            EXPECT_GE(button->minimumHeight(), 24);
        }
    }
    EXPECT_EQ(order.join(u' '),
              QStringLiteral("a_pooling a_getinfo | a_refresh a_setref | a_print | "
                             "a_getdata a_setdata a_load a_save | a_port"));
}

// F1 opens the manual at the section of the tab in view: the heading at the
// top of its page names the tab. One manual window serves every tab.
TEST_F(MainWindow, manualOpensAtTheSectionOfTheTabInView)
{
    start();
    mf->show();
    dm->setRelayControlEntryCheck([] { return true; });
    for (int tab = 0; tab < pc()->count(); ++tab) {
        enterTab(tab);
        ASSERT_EQ(pc()->currentIndex(), tab);
        act(ActionId::a_manual)->trigger();
        const auto *manual = mf->findChild<OperatorManualDialog *>();
        ASSERT_NE(manual, nullptr);
        EXPECT_TRUE(manual->isVisible());
        const QTextBlock top = manual->browser()->cursorForPosition(QPoint(8, 8)).block();
        EXPECT_GT(top.blockFormat().headingLevel(), 0) << top.text().toStdString();
        EXPECT_TRUE(top.text().contains(pc()->tabText(tab)))
                << "tab " << tab << ": " << top.text().toStdString();
    }
    EXPECT_EQ(mf->findChildren<OperatorManualDialog *>().size(), 1);
}

// Every picture the manual names is shown from the program itself, no wider
// than the page, and lies beside the manual in docs/ for those who read it there.
TEST_F(MainWindow, everyPictureOfTheManualIsFoundAndFitsThePage)
{
    start();
    act(ActionId::a_manual)->trigger();
    const auto *manual = mf->findChild<OperatorManualDialog *>();
    ASSERT_NE(manual, nullptr);
    QTextBrowser *browser = manual->browser();
    QFile markdown(QLatin1Char(':') + OperatorManualDialog::source().path());
    ASSERT_TRUE(markdown.open(QIODevice::ReadOnly));
    QSet<QString> named;
    const QRegularExpression pictureLink(QStringLiteral(R"(!\[[^\]]*\]\(([^)\s]+)\))"));
    for (auto found = pictureLink.globalMatch(QString::fromUtf8(markdown.readAll()));
         found.hasNext();)
        named.insert(found.next().captured(1));
    EXPECT_GE(named.size(), 9);
    const QDir docs(QFileInfo(QStringLiteral(MIV_README)).dir().filePath(QStringLiteral("docs")));
    QSet<QString> shown;
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (!it.fragment().charFormat().isImageFormat())
                continue;
            const QString name = it.fragment().charFormat().toImageFormat().name();
            shown.insert(name);
            const QImage picture = browser->document()
                                           ->resource(QTextDocument::ImageResource, QUrl(name))
                                           .value<QImage>();
            EXPECT_FALSE(picture.isNull()) << name.toStdString();
            EXPECT_LE(picture.width(), browser->viewport()->width()) << name.toStdString();
            EXPECT_TRUE(docs.exists(name)) << name.toStdString();
        }
    EXPECT_EQ(shown, named);
}

TEST_F(MainWindow, everyToolbarButtonIsShownAtTheSmallestWindowSize)
{
    start();
    QToolBar *tb = child<QToolBar>("tb");
    mf->show();
    for (QAction *action : tb->actions()) {
        if (action->isSeparator())
            continue;
        const QWidget *button = tb->widgetForAction(action);
        EXPECT_TRUE(button->isVisible()) << action->objectName().toStdString();
        EXPECT_GE(button->width(), button->sizeHint().width())
                << action->objectName().toStdString();
        EXPECT_LE(button->mapTo(mf.get(), QPoint(button->width(), 0)).x(), mf->width());
    }
}

TEST_F(MainWindow, headersAndGrids)
{
    start();
    QHeaderView *h = child<QHeaderView>("h"), *h0 = child<QHeaderView>("h0");
    QTableView *sg = child<QTableView>("sg"), *sg1 = child<QTableView>("sg1");
    mf->show();
    EXPECT_EQ(headerCaptions(h),
              QStringList({"Пункт в меню реле", "Название параметра", "Значение", "Изменение"}));
    EXPECT_EQ(headerCaptions(h0), QStringList({"Номер", "Дата события", "Событие", "Информация"}));
    for (QHeaderView *header : {h, h0})
        EXPECT_TRUE(header->defaultAlignment() & Qt::AlignHCenter);
    // Each grid's columns stand under their header's sections, a grid line
    // narrower at most, and the longest texts of a column fit it whole.
    const std::pair<QHeaderView *, QTableView *> pairs[] = {{h, sg}, {h0, sg1}};
    for (const auto &[header, grid] : pairs) {
        for (int column = 0; column < 4; ++column) {
            EXPECT_LE(grid->columnWidth(column), header->sectionSize(column));
            EXPECT_GE(grid->columnWidth(column), header->sectionSize(column) - 3)
                    << grid->objectName().toStdString() << " column " << column;
        }
    }
    EXPECT_LE(QFontMetrics(sg1->font()).horizontalAdvance(QStringLiteral("2026.12.31 23:59:59")),
              sg1->columnWidth(1));
    EXPECT_LE(QFontMetrics(sg->font()).horizontalAdvance(Texts::functionOff) + 8,
              sg->columnWidth(2));
    for (QTableView *grid : {sg, sg1}) {
        ASSERT_EQ(grid->model()->columnCount(), 6);
        for (int column = 0; column < 6; ++column)
            EXPECT_EQ(grid->isColumnHidden(column), column >= 4)
                    << grid->objectName().toStdString();
    }
    EXPECT_EQ(sg->model()->rowCount(), 34);
    EXPECT_EQ(sg1->model()->rowCount(), 100);
    EXPECT_EQ(sg->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(sg->font().bold());
    EXPECT_GE(sg->rowHeight(0), 24);

    // The grids' start-up contents.
    EXPECT_EQ(sg->model()->index(0, 1).data().toString(),
              QStringLiteral("Коэффициент трансформации"));
    EXPECT_EQ(sg->model()->index(33, 1).data().toString(), QStringLiteral("Пароль"));
    for (int row : {0, 57, 99})
        EXPECT_EQ(sg1->model()->index(row, 0).data().toString(), QStringLiteral("#"));
    EXPECT_TRUE(sg1->model()->index(0, 1).data().toString().isEmpty());
}

TEST_F(MainWindow, hSectionResizeFollowsTheHeaderByItsTag)
{
    start();
    QTableView *sg = child<QTableView>("sg"), *sg1 = child<QTableView>("sg1");
    QHeaderView *h = child<QHeaderView>("h"), *h0 = child<QHeaderView>("h0");
    // Each grid's column follows its own header's section step for step.
    const std::tuple<QHeaderView *, QTableView *, int> followers[] = {{h, sg, 1}, {h0, sg1, 3}};
    for (const auto &[header, grid, column] : followers) {
        header->resizeSection(column, 150);
        const int narrow = grid->columnWidth(column);
        EXPECT_LE(narrow, 150);
        header->resizeSection(column, 180);
        EXPECT_EQ(grid->columnWidth(column), narrow + 30) << grid->objectName().toStdString();
    }

    // Another tag, or none, belongs to no grid.
    const int firstColumns[] = {sg->columnWidth(0), sg1->columnWidth(0)};
    QHeaderView stranger(Qt::Horizontal);
    QStandardItemModel captions(0, 4);
    stranger.setModel(&captions);
    stranger.resizeSection(0, 10);
    mf->hSectionResize(&stranger, 0);
    stranger.setProperty("tag", 2);
    mf->hSectionResize(&stranger, 0);
    EXPECT_EQ(sg->columnWidth(0), firstColumns[0]);
    EXPECT_EQ(sg1->columnWidth(0), firstColumns[1]);
}

// The journal's "Информация" and long names are cut by their column: the
// operator reads them whole in a tool tip, or widens the column by its header.
TEST_F(MainWindow, aCutCellShowsItsTextAsAToolTipAndColumnsWiden)
{
    start();
    mf->show();
    auto *sg1 = child<QTableView>("sg1");
    QAbstractItemModel *journal = sg1->model();
    const QString information = QStringLiteral(
            "Ia = 12,3 А, Ib = 12,4 А, Ic = 12,5 А, Iут = 5 %, Ua = 220 В, Ub = 221 В, Uc = 222 В");
    journal->setData(journal->index(0, 3), information);
    journal->setData(journal->index(0, 0), QStringLiteral("1"));
    const QPoint infoCell = sg1->visualRect(journal->index(0, 3)).center();
    EXPECT_EQ(CutCellToolTips::toolTipAt(*sg1, infoCell), information);
    EXPECT_TRUE(CutCellToolTips::toolTipAt(*sg1, sg1->visualRect(journal->index(0, 0)).center())
                        .isEmpty())
            << "a number that fits has no tool tip";

    auto *h0 = child<QHeaderView>("h0");
    EXPECT_EQ(h0->sectionResizeMode(3), QHeaderView::Interactive);
    h0->resizeSection(3, 700);
    EXPECT_TRUE(CutCellToolTips::toolTipAt(*sg1, sg1->visualRect(journal->index(0, 3)).center())
                        .isEmpty())
            << "widened, the column shows it all";
}

TEST_F(MainWindow, valueLabelsInSlotOrderWithTheirFont)
{
    start();
    QStringList names;
    for (QLabel *label : mf->valueLabels()) {
        ASSERT_NE(label, nullptr);
        names << label->objectName();
        EXPECT_TRUE(label->font().bold());
        EXPECT_EQ(label->font().pixelSize(), 13);
        EXPECT_TRUE(label->alignment() & Qt::AlignRight);
    }
    QStringList expected;
    for (int n = 14; n <= 31; ++n)
        expected << QStringLiteral("Label%1").arg(n);
    expected << "Label59"
             << "Label61";
    EXPECT_EQ(names, expected);
}

TEST_F(MainWindow, firstShowingClearsValuesHidesLabel63AndDarkensTheLamps)
{
    start();
    for (QLabel *label : mf->valueLabels())
        label->setText(QStringLiteral("stale"));
    mf->show();
    EXPECT_FALSE(child<QLabel>("Label63")->isVisible());
    for (QLabel *label : mf->valueLabels())
        EXPECT_TRUE(label->text().isEmpty());
    ASSERT_EQ(mf->lamps().size(), 28);
    for (int lamp = 1; lamp <= 28; ++lamp) {
        QLabel *image = mf->lamps()[lamp - 1];
        EXPECT_EQ(image->objectName(), QStringLiteral("Image%1").arg(lamp));
        EXPECT_EQ(image->property("tag").toInt(), Lamp::tagOf(lamp));
        const int expected = Lamp::tagOf(lamp) == Lamp::Green ? 2
                : Lamp::tagOf(lamp) == Lamp::Red              ? 0
                                                              : 4;
        EXPECT_EQ(image->property("iconIndex").toInt(), expected) << "lamp " << lamp;
        EXPECT_FALSE(image->pixmap().isNull());
    }
}

TEST_F(MainWindow, ledPicksTheIconByTagAndLeavesOtherTagsAlone)
{
    start();
    mf->led(1, 1);
    EXPECT_EQ(mf->lamps()[0]->property("iconIndex").toInt(), 3);
    mf->led(1, 4);
    EXPECT_EQ(mf->lamps()[3]->property("iconIndex").toInt(), 1);
    mf->led(1, 5);
    EXPECT_EQ(mf->lamps()[4]->property("iconIndex").toInt(), 5);
    mf->led(3, 6);
    EXPECT_EQ(mf->lamps()[5]->property("iconIndex").toInt(), 3);

    for (int tag : {0, 5, 9}) {
        QLabel *image = mf->lamps()[9];
        image->setProperty("tag", tag);
        image->setProperty("iconIndex", 7);
        const qint64 picture = image->pixmap().cacheKey();
        mf->led(1, 10);
        EXPECT_EQ(image->property("iconIndex").toInt(), 7) << "tag " << tag;
        EXPECT_EQ(image->pixmap().cacheKey(), picture);
    }
    mf->led(1, 0); // no such lamp
    mf->led(1, 29);
}

TEST_F(MainWindow, statusPanelGroupsAndTheirLamps)
{
    start();
    const QStringList groups{"Состояние", "Индикация", "Датчики", "Обрыв фазы", "Управление реле"};
    QStringList found;
    for (QGroupBox *box : mf->findChildren<QGroupBox *>())
        found << box->title();
    for (const QString &group : groups)
        EXPECT_TRUE(found.contains(group)) << group.toStdString();
    // The level sensors and the timer lamp are for a type-6 relay only.
    EXPECT_TRUE(child<QGroupBox>("gbSensors")->isHidden());
    EXPECT_TRUE(child<QWidget>("timerLampRow")->isHidden());
    for (int lamp = 18; lamp <= 22; ++lamp)
        EXPECT_TRUE(child<QGroupBox>("gbSensors")->isAncestorOf(mf->lamps()[lamp - 1]));
    EXPECT_EQ(child<QPushButton>("BitBtn1")->text(), QStringLiteral("Работа"));
    EXPECT_EQ(child<QPushButton>("BitBtn2")->text(), QStringLiteral("Стоп"));
    EXPECT_EQ(child<QPushButton>("BitBtn4")->text(), QStringLiteral("Квитирование"));
    EXPECT_EQ(child<QPushButton>("BitBtn5")->text(), QStringLiteral("Синхронизация"));
    EXPECT_EQ(child<QPushButton>("BitBtn6")->text(), QStringLiteral("Установить"));
    // A command button's tag is the command SetCommand sends: the form holds them.
    const std::pair<const char *, int> commandTags[] = {
            {"BitBtn1", 1}, {"BitBtn2", 4}, {"BitBtn3", 6}, {"BitBtn4", 2},
            {"BitBtn5", 3}, {"BitBtn6", 5}, {"BitBtn7", 7}};
    for (const auto &[name, tag] : commandTags)
        EXPECT_EQ(child<QPushButton>(name)->property("tag").toInt(), tag) << name;
    QList<QPushButton *> outputs;
    for (const char *name : {"Button1", "Button2", "Button3", "Button4", "Button5", "Button6"})
        outputs << child<QPushButton>(name);
    for (int i = 0; i < outputs.size(); ++i) {
        EXPECT_EQ(outputs[i]->text(),
                  i % 2 == 0 ? QStringLiteral("Включить") : QStringLiteral("Выключить"));
        EXPECT_EQ(outputs[i]->property("tag").toInt(), i + 1);
        EXPECT_TRUE(child<QWidget>("ts4")->isAncestorOf(outputs[i]));
    }
    for (int lamp : {26, 27, 28})
        EXPECT_TRUE(child<QWidget>("ts4")->isAncestorOf(mf->lamps()[lamp - 1]));
}

TEST_F(MainWindow, devicesAndJournalTabs)
{
    start();
    QListWidget *lb = child<QListWidget>("lb");
    QProgressBar *pb1 = child<QProgressBar>("pb1"), *pb2 = child<QProgressBar>("pb2");
    mf->show();
    EXPECT_GE(lb->width(), 177);
    const int longest =
            lb->fontMetrics().horizontalAdvance(QStringLiteral("Связи с устройством №32 нет"));
    EXPECT_LE(longest, lb->viewport()->width() - lb->verticalScrollBar()->sizeHint().width());
    EXPECT_TRUE(child<QPlainTextEdit>("m1")->isReadOnly());
    EXPECT_TRUE(pb1->isHidden());
    EXPECT_EQ(pb1->minimum(), 0);
    EXPECT_EQ(pb1->maximum(), 31);
    EXPECT_TRUE(pb2->isHidden());
    EXPECT_EQ(pb2->minimum(), 0);
    EXPECT_EQ(pb2->maximum(), 99);
}

TEST_F(MainWindow, timerTabControls)
{
    start();
    ASSERT_EQ(mf->timeMarks().size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(mf->timeMarks()[i]->objectName(), QStringLiteral("dtp0%1").arg(i + 1));
        EXPECT_EQ(mf->timeMarks()[i]->displayFormat(), QStringLiteral("HH.mm"));
        EXPECT_EQ(mf->timeMarks()[i]->text(), QStringLiteral("00.00"));
    }
    ASSERT_EQ(mf->timerSwitches().size(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(mf->timerSwitches()[i]->objectName(), QStringLiteral("bu0%1").arg(i + 1));
        EXPECT_TRUE(mf->timerSwitches()[i]->text().isEmpty());
    }
    QStringList texts;
    for (QLabel *label : child<QWidget>("ts7")->findChildren<QLabel *>())
        texts << label->text();
    for (const char *text :
         {"Метки времени    00.00    Интервал", "     23.59", "Таймер", "1", "5", "6"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
}

TEST_F(MainWindow, liveValuesTabPickersUseTheFixedFormats)
{
    start();
    EXPECT_EQ(child<QDateEdit>("dtp1")->displayFormat(), TextFormats::shortDate);
    EXPECT_EQ(child<QTimeEdit>("dtp2")->displayFormat(), TextFormats::shortTime);
    EXPECT_EQ(TextFormats::shortDate, QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(TextFormats::shortTime, QStringLiteral("HH:mm:ss"));
}

// Every control of every tab lies inside its tab at the window's smallest size,
// so nothing is cut off. With MIV_SHOTS_DIR set, each tab is also saved as a picture.
TEST_F(MainWindow, everyTabFitsTheWindow)
{
    start();
    // Only the layout matters here: the relay control tab's check keeps it quiet.
    dm->setRelayControlEntryCheck([] { return false; });
    mf->setSensorLampsVisible(true);
    mf->show();
    // The widest texts the value labels take: two columns of phase currents.
    for (QLabel *label : mf->valueLabels())
        label->setText(QStringLiteral(" 1234.5 А 1234.5 А"));
    child<QLabel>("Label63")->show();
    const QString shots = qEnvironmentVariable("MIV_SHOTS_DIR");
    for (int tab = 0; tab < pc()->count(); ++tab) {
        // The service tab is never shown next to the others in the program.
        pc()->setTabVisible(5, tab == 5);
        pc()->setTabVisible(tab, true);
        pc()->setCurrentIndex(tab);
        QWidget *page = pc()->widget(tab);
        page->grab(); // lays the page out
        const QRect area = page->rect();
        for (QWidget *child : page->findChildren<QWidget *>()) {
            if (!child->isVisibleTo(page) || child->parentWidget() == nullptr)
                continue;
            const QRect placed(child->mapTo(page, QPoint(0, 0)), child->size());
            EXPECT_TRUE(area.contains(placed))
                    << "tab " << tab << ": " << child->metaObject()->className() << " "
                    << child->objectName().toStdString() << " at " << placed.x() << ","
                    << placed.y() << " " << placed.width() << "x" << placed.height();
            if (auto *label = qobject_cast<QLabel *>(child); label && !label->text().isEmpty()) {
                EXPECT_GE(label->width(), label->minimumSizeHint().width())
                        << label->text().toStdString();
            }
            if (auto *button = qobject_cast<QPushButton *>(child);
                button && !button->text().isEmpty()) {
                EXPECT_GE(button->width(), button->minimumSizeHint().width())
                        << button->text().toStdString();
            }
        }
        if (!shots.isEmpty()) {
            QDir().mkpath(shots);
            mf->grab().save(QStringLiteral("%1/tab%2.png").arg(shots).arg(tab));
        }
    }
}

TEST_F(MainWindow, theTabsOfATypeSixRelayFitWithoutScrolling)
{
    start();
    dm->session().device.typeCode = 6;
    mf->bts(0);
    mf->show();
    const QTabBar *bar = pc()->tabBar();
    int width = 0;
    for (int tab = 0; tab < bar->count(); ++tab)
        if (bar->isTabVisible(tab))
            width += bar->tabRect(tab).width();
    EXPECT_LE(width, pc()->width());
}

namespace {

// Qt's own dialogs and buttons speak Russian: its translation is taken from
// beside the program first (a Windows folder), then from the folder
// windeployqt makes, then from Qt's own folder.
TEST(WindowProcess, qtsTranslationIsTakenFromBesideTheProgramFirst)
{
    const QString system = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    ASSERT_TRUE(QFileInfo::exists(system + QStringLiteral("/qtbase_ru.qm")))
            << "qt6-translations-l10n is missing (scripts/install-deps)";
    QTemporaryDir beside;
    QTemporaryDir deployed;
    QTemporaryDir empty;
    ASSERT_TRUE(QDir(deployed.path()).mkdir(QStringLiteral("translations")));
    ASSERT_TRUE(QFile::copy(system + QStringLiteral("/qtbase_ru.qm"),
                            beside.filePath(QStringLiteral("qtbase_ru.qm"))));
    ASSERT_TRUE(QFile::copy(system + QStringLiteral("/qtbase_ru.qm"),
                            deployed.filePath(QStringLiteral("translations/qtbase_ru.qm"))));
    const struct
    {
        QString programFolder;
        QString takenFrom;
    } cases[] = {
            {beside.path(), beside.path()},
            {deployed.path(), deployed.filePath(QStringLiteral("translations"))},
            {empty.path(), system},
    };
    for (const auto &c : cases) {
        QTranslator *translator = installQtTranslation(c.programFolder);
        ASSERT_NE(translator, nullptr) << c.programFolder.toStdString();
        EXPECT_EQ(QFileInfo(translator->filePath()).canonicalPath(),
                  QFileInfo(c.takenFrom).canonicalFilePath());
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                  QStringLiteral("Отмена"));
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

} // namespace
