#include "app/Tmf.h"

#include "app/ActionEnabling.h"
#include "app/Lamp.h"
#include "app/TabVisibility.h"
#include "app/Tdm.h"
#include "app/ConfigGridPictureDelegate.h"
#include "app/CutCellToolTips.h"
#include "core/Operator.h"
#include "device/ServiceFields.h"
#include "core/TextFormats.h"
#include "core/Texts.h"

#include <array>
#include <QCloseEvent>
#include <QDateEdit>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProxyStyle>
#include <QRegularExpressionValidator>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolBar>
#include <QVBoxLayout>

using namespace miv;

namespace {

constexpr int windowWidth = 762;
constexpr int windowHeight = 606;

// Header sections and grid columns. The headers sit over the grids as
// controls of their own; a grid column is its section's width less 2 pixels.
const QStringList configCaptions{QStringLiteral("Пункт в меню реле"),
                                 QStringLiteral("Название параметра"), QStringLiteral("Значение"),
                                 QStringLiteral("Изменение")};
const QList<int> configSections{120, 300, 80, 70};
const QList<int> configColumns{117, 299, 79, 69};
constexpr int valueSection = 2;
constexpr int deviceListWidth = 177;
const QStringList journalCaptions{QStringLiteral("Номер"), QStringLiteral("Дата события"),
                                  QStringLiteral("Событие"), QStringLiteral("Информация")};
const QList<int> journalSections{45, 100, 295, 300};
const QList<int> journalColumns{42, 98, 295, 298};
constexpr int gridColumnCount = 6;
constexpr int configRowCount = 34;
constexpr int journalRowCount = 100;
constexpr int rowPictureHeight = 24;
constexpr QSize toolButtonSize{72, 24};
constexpr int separatorAllowance = 12; // a separator's width with its margins

// The value labels in slot order: Label14..Label31, then Label59 and Label61.
QList<int> valueLabelNumbers()
{
    QList<int> numbers;
    for (int n = 14; n <= 31; ++n)
        numbers << n;
    numbers << 59 << 61;
    return numbers;
}

QFont windowFont()
{
    if (QFontDatabase::hasFamily(QStringLiteral("Tahoma")))
        return QFont(QStringLiteral("Tahoma"), 8);
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(8);
    return font;
}

QFont valueFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    font.setBold(true);
    return font;
}

// Tabs with a little less padding than the platform's, so that the six tabs
// of a type-6 relay fit the window's smallest width with their full captions.
class CompactTabStyle final : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        if (metric == PM_TabBarTabHSpace)
            return std::min(value, compactTabSpace);
        return value;
    }

private:
    static constexpr int compactTabSpace = 12;
};

// "Установить обновление" as "Установить\nобновление": broken at the space
// nearest the middle; one word stays on one line.
QString twoLines(const QString &caption)
{
    int best = -1;
    for (int at = caption.indexOf(u' '); at >= 0; at = caption.indexOf(u' ', at + 1))
        if (best < 0 || qAbs(at - caption.size() / 2) < qAbs(best - caption.size() / 2))
            best = at;
    if (best < 0)
        return caption;
    QString lines = caption;
    lines[best] = u'\n';
    return lines;
}

QHeaderView *makeHeader(const QStringList &captions, const QList<int> &widths, int tag,
                        QWidget *parent)
{
    auto *header = new QHeaderView(Qt::Horizontal, parent);
    auto *captionsModel = new QStandardItemModel(0, int(captions.size()), header);
    captionsModel->setHorizontalHeaderLabels(captions);
    header->setModel(captionsModel);
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    for (int section = 0; section < widths.size(); ++section)
        header->resizeSection(section, widths[section]);
    header->setProperty("tag", tag);
    header->setFixedHeight(header->fontMetrics().height() + 8);
    return header;
}

QTableView *makeGrid(QWidget *parent)
{
    auto *grid = new QTableView(parent);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    // A text its column cuts off is shown whole as a tool tip.
    CutCellToolTips::install(grid);
    return grid;
}

QWidget *headerOverGrid(QHeaderView *header, QTableView *grid, QWidget *under = nullptr)
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(grid, 1);
    if (under)
        layout->addWidget(under);
    // The header scrolls with the grid's columns.
    QObject::connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, header,
                     &QHeaderView::setOffset);
    return page;
}

void applyColumns(QTableView *grid, const QList<int> &widths)
{
    for (int column = 0; column < widths.size(); ++column)
        grid->setColumnWidth(column, widths[column]);
}

} // namespace

Tmf::Tmf(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("mf"));
    setFont(windowFont());
    resize(windowWidth, windowHeight);
    setMinimumSize(windowWidth, windowHeight);

    tb = new QToolBar(this);
    tb->setObjectName(QStringLiteral("tb"));
    tb->setMovable(false);
    tb->setFloatable(false);
    tb->setIconSize(QSize(16, 16));
    tb->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    addToolBar(Qt::TopToolBarArea, tb);

    pc = new QTabWidget(this);
    pc->setObjectName(QStringLiteral("pc"));
    // Tabs that do not fit scroll rather than lose their captions.
    pc->setUsesScrollButtons(true);
    pc->setElideMode(Qt::ElideNone);
    auto *tabStyle = new CompactTabStyle;
    tabStyle->setParent(pc->tabBar());
    pc->tabBar()->setStyle(tabStyle);
    ts1 = buildDevicesTab();
    ts2 = buildLiveValuesTab();
    ts3 = buildConfigurationTab();
    ts4 = buildRelayControlTab();
    ts5 = buildJournalTab();
    ts6 = buildServiceTab();
    ts7 = buildTimerTab();
    const QList<std::pair<QWidget *, QString>> tabs{
            {ts1, QStringLiteral("Связь с устройствами")},
            {ts2, QStringLiteral("Текущие значения")},
            {ts3, QStringLiteral("Конфигурация")},
            {ts4, QStringLiteral("Управление реле")},
            {ts5, QStringLiteral("Журнал событий")},
            {ts6, QStringLiteral("Техническая")},
            {ts7, QStringLiteral("Управление по таймеру")},
    };
    for (int index = 0; index < tabs.size(); ++index) {
        tabs[index].first->setObjectName(QStringLiteral("ts%1").arg(index + 1));
        pc->addTab(tabs[index].first, tabs[index].second);
    }
    setCentralWidget(pc);

    sb = new QStatusBar(this);
    sb->setObjectName(QStringLiteral("sb"));
    setStatusBar(sb);

    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    // The window's own controls call its handlers; the data module wires the actions.
    connect(pc, &QTabWidget::currentChanged, this, &Tmf::pcChange);
    connect(lb, &QListWidget::itemDoubleClicked, this, &Tmf::lbDblClick);
    connect(sg, &QTableView::doubleClicked, this, &Tmf::sgDblClick);
    for (QHeaderView *header : {h, h0})
        connect(header, &QHeaderView::sectionResized, this,
                [this, header](int section) { hSectionResize(header, section); });
    for (QPushButton *button : {BitBtn1, BitBtn2, BitBtn3, BitBtn4, BitBtn5, BitBtn6, BitBtn7})
        connect(button, &QPushButton::clicked, this, [this, button] { SetCommand(button); });
    for (QPushButton *button : {Button1, Button2, Button3, Button4, Button5, Button6})
        connect(button, &QPushButton::clicked, this, [this, button] { SetCommand2(button); });
    for (QLineEdit *edit : {Edit1, Edit2, Edit3})
        edit->installEventFilter(this);
    // Selecting a cell of the configuration grid is wired by setConfigModel,
    // since every model brings its own selection model.

    FormCreate();
}

Tmf::~Tmf() = default;

void Tmf::FormCreate()
{
    m_valueLabels.clear();
    for (int number : valueLabelNumbers())
        m_valueLabels << findChild<QLabel *>(QStringLiteral("Label%1").arg(number));
    m_lamps.clear();
    for (int lamp = 1; lamp <= Lamp::lampCount; ++lamp) {
        auto *image = findChild<QLabel *>(QStringLiteral("Image%1").arg(lamp));
        image->clear();
        image->setProperty("iconIndex", QVariant());
        m_lamps << image;
    }
    setWindowTitle(Texts::applicationTitle);
    // unwrittenChanges and editingLocked start as SessionFlags declares them (clear, set).
}

void Tmf::setDataModule(Tdm *dataModule)
{
    dm = dataModule;
}

// --- Tabs ---

QWidget *Tmf::buildDevicesTab()
{
    auto *page = new QWidget;
    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);

    auto *left = new QWidget;
    // The list is 177 pixels wide in the window's own font; a wider font
    // (where that one is missing) widens it so that no line is cut.
    const int longestLine =
            QFontMetrics(font()).horizontalAdvance(QStringLiteral("Связи с устройством №32 нет"));
    const int listWidth =
            std::max(deviceListWidth,
                     longestLine + 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth)
                             + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 12);
    left->setMinimumWidth(listWidth);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(2);
    lb = new QListWidget;
    lb->setObjectName(QStringLiteral("lb"));
    pb1 = new QProgressBar;
    pb1->setObjectName(QStringLiteral("pb1"));
    pb1->setRange(0, 31);
    pb1->setTextVisible(false);
    pb1->hide();
    leftLayout->addWidget(lb, 1);
    leftLayout->addWidget(pb1);

    m1 = new QPlainTextEdit;
    m1->setObjectName(QStringLiteral("m1"));
    m1->setReadOnly(true);
    m1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(left);
    splitter->addWidget(m1);
    // The list keeps its width when the window grows; the memo takes the rest.
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({listWidth, windowWidth});
    layout->addWidget(splitter);
    return page;
}

QLabel *Tmf::makeValueLabel(int number)
{
    auto *label = new QLabel;
    label->setObjectName(QStringLiteral("Label%1").arg(number));
    label->setFont(valueFont());
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(QFontMetrics(label->font()).horizontalAdvance(QLatin1Char('0')) * 18);
    return label;
}

QWidget *Tmf::buildValuesPanel()
{
    auto *panel = new QGroupBox;
    panel->setObjectName(QStringLiteral("p3"));
    auto *grid = new QGridLayout(panel);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);

    int row = 0;
    auto *headingValues = new QLabel(QStringLiteral("Значения"));
    QFont bold = headingValues->font();
    bold.setBold(true);
    headingValues->setFont(bold);
    Label63 = new QLabel(QStringLiteral("при ограничении пусков"));
    Label63->setObjectName(QStringLiteral("Label63"));
    auto *headingCurrent = new QLabel(QStringLiteral("текущие"));
    headingCurrent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *headings = new QHBoxLayout;
    headings->addWidget(Label63);
    headings->addStretch(1);
    headings->addWidget(headingCurrent);
    grid->addWidget(headingValues, row, 0, 1, 2);
    grid->addLayout(headings, row, 2);
    ++row;

    auto addRow = [&](const QString &caption, const QString &phase, int labelNumber) {
        grid->addWidget(new QLabel(caption), row, 0);
        if (!phase.isEmpty())
            grid->addWidget(new QLabel(phase), row, 1);
        grid->addWidget(makeValueLabel(labelNumber), row, 2);
        ++row;
    };
    addRow(QStringLiteral("Ток"), QStringLiteral("A"), 14);
    addRow(QString(), QStringLiteral("B"), 15);
    addRow(QString(), QStringLiteral("C"), 16);
    addRow(QStringLiteral("Напряжение"), QStringLiteral("A"), 17);
    addRow(QString(), QStringLiteral("B"), 18);
    addRow(QString(), QStringLiteral("C"), 19);
    addRow(QStringLiteral("Эквив. тепловой энергии"), QString(), 29);
    addRow(QStringLiteral("Температура двигателя"), QString(), 25);
    addRow(QStringLiteral("Активная мощность"), QString(), 20);
    addRow(QStringLiteral("Реактивная мощность"), QString(), 21);
    addRow(QStringLiteral("Полная мощность"), QString(), 22);
    addRow(QStringLiteral("cos ф двигателя"), QString(), 23);
    addRow(QStringLiteral("Частота сети"), QString(), 24);
    addRow(QStringLiteral("Асимметрия токов фаз"), QString(), 26);
    addRow(QStringLiteral("Ток утечки"), QString(), 27);
    addRow(QStringLiteral("Сопротивление изоляции"), QString(), 28);
    addRow(QStringLiteral("Моторесурс"), QString(), 30);
    addRow(QString(), QString(), 31);
    addRow(QStringLiteral("Дата"), QString(), 59);
    addRow(QStringLiteral("Время"), QString(), 61);

    // Setting the relay's clock: from the PC's clock, or from the two pickers.
    BitBtn5 = new QPushButton(QStringLiteral("Синхронизация"));
    BitBtn5->setObjectName(QStringLiteral("BitBtn5"));
    BitBtn5->setProperty("tag", 3);
    dtp1 = new QDateEdit;
    dtp1->setObjectName(QStringLiteral("dtp1"));
    dtp1->setDisplayFormat(TextFormats::shortDate);
    dtp1->setCalendarPopup(true);
    dtp2 = new QTimeEdit;
    dtp2->setObjectName(QStringLiteral("dtp2"));
    dtp2->setDisplayFormat(TextFormats::shortTime);
    BitBtn6 = new QPushButton(QStringLiteral("Установить"));
    BitBtn6->setObjectName(QStringLiteral("BitBtn6"));
    BitBtn6->setProperty("tag", 5);
    auto *clock = new QGridLayout;
    clock->setContentsMargins(0, 4, 0, 0);
    clock->addWidget(BitBtn5, 0, 0, 1, 2);
    clock->addWidget(dtp1, 1, 0);
    clock->addWidget(dtp2, 1, 1);
    clock->addWidget(BitBtn6, 2, 0, 1, 2);
    grid->addLayout(clock, row, 0, 1, 3);
    ++row;
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(2, 1);
    return panel;
}

QWidget *Tmf::makeLamp(int lamp, const QString &caption)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto *image = new QLabel;
    image->setObjectName(QStringLiteral("Image%1").arg(lamp));
    image->setFixedSize(16, 16);
    image->setProperty("tag", Lamp::tagOf(lamp));
    layout->addWidget(image);
    layout->addWidget(new QLabel(caption), 1);
    return row;
}

QWidget *Tmf::buildStatusPanel()
{
    auto *panel = new QWidget;
    panel->setObjectName(QStringLiteral("p4"));
    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);

    auto *state = new QGroupBox(QStringLiteral("Состояние"));
    auto *stateGrid = new QGridLayout(state);
    stateGrid->setVerticalSpacing(2);
    stateGrid->addWidget(new QLabel(QStringLiteral("Вход")), 0, 0);
    stateGrid->addWidget(new QLabel(QStringLiteral("Реле")), 0, 1);
    stateGrid->addWidget(makeLamp(1, QStringLiteral("Пуск")), 1, 0);
    stateGrid->addWidget(makeLamp(2, QStringLiteral("2-я ступень")), 2, 0);
    stateGrid->addWidget(makeLamp(3, QStringLiteral("Работа")), 1, 1);
    stateGrid->addWidget(makeLamp(4, QStringLiteral("Авария")), 2, 1);
    stateGrid->addWidget(makeLamp(5, QStringLiteral("Перегрузка")), 3, 1);
    grid->addWidget(state, 0, 0, 1, 2);

    auto *indication = new QGroupBox(QStringLiteral("Индикация"));
    auto *indicationGrid = new QGridLayout(indication);
    indicationGrid->setVerticalSpacing(2);
    const QStringList indicationCaptions{
            QStringLiteral("Работа"),
            QStringLiteral("Нагрузка/Перегрузка"),
            QStringLiteral("Ограничение пусков"),
            QStringLiteral("Недогрузка"),
            QStringLiteral("Асимметрия"),
            QStringLiteral("Утечка"),
            QStringLiteral("U >"),
            QStringLiteral("U <"),
            QStringLiteral("Изоляция"),
            QStringLiteral("Залипание"),
            QStringLiteral("T °C >"),
            QStringLiteral("ABC"),
    };
    for (int i = 0; i < indicationCaptions.size(); ++i)
        indicationGrid->addWidget(makeLamp(6 + i, indicationCaptions[i]), i % 6, i / 6);
    grid->addWidget(indication, 1, 0, 1, 2);

    gbSensors = new QGroupBox(QStringLiteral("Датчики"));
    gbSensors->setObjectName(QStringLiteral("gbSensors"));
    auto *sensorsLayout = new QVBoxLayout(gbSensors);
    sensorsLayout->setSpacing(2);
    const QStringList sensorCaptions{QStringLiteral("Авар. уровень"),
                                     QStringLiteral("Верхн. уровень"),
                                     QStringLiteral("Нижн. уровень"), QStringLiteral("Сухой ход"),
                                     QStringLiteral("Затопление")};
    for (int i = 0; i < sensorCaptions.size(); ++i)
        sensorsLayout->addWidget(makeLamp(18 + i, sensorCaptions[i]));
    timerLampRow = makeLamp(25, QStringLiteral("Таймер"));
    timerLampRow->setObjectName(QStringLiteral("timerLampRow"));
    auto *leftColumn = new QVBoxLayout;
    leftColumn->addWidget(gbSensors);
    leftColumn->addWidget(timerLampRow);
    leftColumn->addStretch(1);
    grid->addLayout(leftColumn, 2, 0);

    auto *phaseLoss = new QGroupBox(QStringLiteral("Обрыв фазы"));
    auto *phaseLossLayout = new QVBoxLayout(phaseLoss);
    phaseLossLayout->setSpacing(2);
    phaseLossLayout->addWidget(makeLamp(23, QStringLiteral("по напряжению")));
    phaseLossLayout->addWidget(makeLamp(24, QStringLiteral("по току")));

    auto *control = new QGroupBox(QStringLiteral("Управление реле"));
    auto *controlLayout = new QHBoxLayout(control);
    BitBtn1 = new QPushButton(QStringLiteral("Работа"));
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setProperty("tag", 1);
    BitBtn2 = new QPushButton(QStringLiteral("Стоп"));
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setProperty("tag", 4);
    controlLayout->addWidget(BitBtn1);
    controlLayout->addWidget(BitBtn2);

    BitBtn4 = new QPushButton(QStringLiteral("Квитирование"));
    BitBtn4->setObjectName(QStringLiteral("BitBtn4"));
    BitBtn4->setProperty("tag", 2);

    auto *rightColumn = new QVBoxLayout;
    rightColumn->addWidget(phaseLoss);
    rightColumn->addWidget(control);
    rightColumn->addWidget(BitBtn4);
    rightColumn->addStretch(1);
    grid->addLayout(rightColumn, 2, 1);
    grid->setRowStretch(3, 1);

    gbSensors->hide();
    timerLampRow->hide();
    return panel;
}

QWidget *Tmf::buildLiveValuesTab()
{
    auto *page = new QWidget;
    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    p3 = buildValuesPanel();
    p4 = buildStatusPanel();
    layout->addWidget(p3, 5);
    layout->addWidget(p4, 4);
    return page;
}

QWidget *Tmf::buildConfigurationTab()
{
    sg = makeGrid(nullptr);
    sg->setObjectName(QStringLiteral("sg"));
    QFont bold = sg->font();
    bold.setBold(true);
    sg->setFont(bold);
    // Rows tall enough for the 24 x 24 pictures of column 0.
    sg->verticalHeader()->setMinimumSectionSize(rowPictureHeight);
    sg->verticalHeader()->setDefaultSectionSize(rowPictureHeight + 2);
    sg->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // "Значение" is 80 pixels in the window's own font; a wider font widens it
    // so that the disabled text shows whole.
    m_configSections = configSections;
    m_configSections[valueSection] =
            std::max(configSections[valueSection],
                     QFontMetrics(bold).horizontalAdvance(Texts::functionOff) + 12);
    m_configColumns = configColumns;
    m_configColumns[valueSection] = m_configSections[valueSection] - 2;
    h = makeHeader(configCaptions, m_configSections, 0, nullptr);
    h->setObjectName(QStringLiteral("h"));
    return headerOverGrid(h, sg);
}

QWidget *Tmf::buildRelayControlTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 8, 8, 8);
    auto *group = new QGroupBox(QStringLiteral("Управление реле"));
    auto *grid = new QGridLayout(group);
    grid->setHorizontalSpacing(12);
    struct OutputRow
    {
        int lamp;
        QString caption;
        QPushButton **on;
        QPushButton **off;
    };
    const QList<OutputRow> rows{
            {26, QStringLiteral("Работа"), &Button1, &Button2},
            {27, QStringLiteral("Авария"), &Button3, &Button4},
            {28, QStringLiteral("Перегрузка"), &Button5, &Button6},
    };
    int tag = 1;
    for (int row = 0; row < rows.size(); ++row) {
        grid->addWidget(makeLamp(rows[row].lamp, rows[row].caption), row, 0);
        *rows[row].on = new QPushButton(QStringLiteral("Включить"));
        *rows[row].off = new QPushButton(QStringLiteral("Выключить"));
        for (QPushButton *button : {*rows[row].on, *rows[row].off}) {
            button->setObjectName(QStringLiteral("Button%1").arg(tag));
            button->setProperty("tag", tag);
            button->setEnabled(false); // until the page's check has passed
            ++tag;
        }
        grid->addWidget(*rows[row].on, row, 1);
        grid->addWidget(*rows[row].off, row, 2);
    }
    grid->setColumnMinimumWidth(0, 140);
    auto *line = new QHBoxLayout;
    line->addWidget(group);
    line->addStretch(1);
    layout->addLayout(line);
    layout->addStretch(1);
    return page;
}

QWidget *Tmf::buildJournalTab()
{
    sg1 = makeGrid(nullptr);
    sg1->setObjectName(QStringLiteral("sg1"));
    // "Дата события" grows where the font is wider than the window's own, so
    // that the date and time fit; "Событие" gives up the same width.
    m_journalSections = journalSections;
    m_journalColumns = journalColumns;
    const int dateWidth =
            QFontMetrics(sg1->font()).horizontalAdvance(QStringLiteral("2026.12.31 23:59:59")) + 8;
    if (dateWidth > journalSections[1]) {
        const int more = dateWidth - journalSections[1];
        m_journalSections[1] += more;
        m_journalSections[2] -= more;
        m_journalColumns[1] += more;
        m_journalColumns[2] -= more;
    }
    h0 = makeHeader(journalCaptions, m_journalSections, 1, nullptr);
    h0->setObjectName(QStringLiteral("h0"));
    pb2 = new QProgressBar;
    pb2->setObjectName(QStringLiteral("pb2"));
    pb2->setRange(0, 99);
    pb2->setTextVisible(false);
    pb2->hide();
    m_journalTexts = new QStandardItemModel(journalRowCount, gridColumnCount, this);
    m_journalTexts->setObjectName(QStringLiteral("journalTexts"));
    QWidget *page = headerOverGrid(h0, sg1, pb2);
    setJournalModel(m_journalTexts);
    return page;
}

QWidget *Tmf::buildServiceTab()
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    grid->setContentsMargins(12, 12, 12, 12);
    auto makeEdit = [page](const char *name, int maxLength) {
        auto *edit = new QLineEdit;
        // Text pasted through the context menu obeys the key filter's rule.
        edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), page));
        edit->setObjectName(QLatin1String(name));
        edit->setMaxLength(maxLength);
        edit->setFixedWidth(80);
        return edit;
    };
    // Each field holds every value its register can: the counter's 32 bits,
    // the minutes' byte, the serial number's word.
    Edit1 = makeEdit("Edit1", serviceFieldDigits);
    Edit2 = makeEdit("Edit2", 3);
    Edit3 = makeEdit("Edit3", 5);
    BitBtn3 = new QPushButton(QStringLiteral("Установить мр"));
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setProperty("tag", 6);
    BitBtn7 = new QPushButton(QStringLiteral("Установить сн"));
    BitBtn7->setObjectName(QStringLiteral("BitBtn7"));
    BitBtn7->setProperty("tag", 7);
    grid->addWidget(new QLabel(QStringLiteral("Моторесурс")), 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("часы")), 0, 2);
    grid->addWidget(Edit2, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("минуты")), 0, 4);
    grid->addWidget(BitBtn3, 0, 5);
    grid->addWidget(new QLabel(QStringLiteral("Серийный номер")), 1, 0);
    grid->addWidget(Edit3, 1, 1);
    grid->addWidget(BitBtn7, 1, 5);
    grid->setColumnStretch(6, 1);
    grid->setRowStretch(2, 1);
    return page;
}

QWidget *Tmf::buildTimerTab()
{
    auto *page = new QWidget;
    auto *outer = new QHBoxLayout(page);
    outer->setContentsMargins(12, 12, 12, 12);
    auto *box = new QWidget;
    auto *grid = new QGridLayout(box);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);

    // The day from 00.00 to 23.59 is cut by five marks into six intervals:
    // the marks stand in the left columns, each interval's switch in the right
    // columns between the marks that bound it.
    grid->addWidget(new QLabel(QStringLiteral("Метки времени    00.00    Интервал")), 0, 0, 1, 4);
    for (int mark = 1; mark <= 5; ++mark) {
        auto *picker = new QTimeEdit;
        picker->setObjectName(QStringLiteral("dtp0%1").arg(mark));
        picker->setDisplayFormat(QStringLiteral("HH.mm"));
        picker->setTime(QTime(0, 0));
        picker->setFixedWidth(70);
        m_timeMarks << picker;
        grid->addWidget(new QLabel(QString::number(mark)), 2 * mark, 0, Qt::AlignRight);
        grid->addWidget(picker, 2 * mark, 1);
    }
    for (int interval = 1; interval <= 6; ++interval) {
        auto *button = new QPushButton;
        button->setObjectName(QStringLiteral("bu0%1").arg(interval));
        button->setFixedWidth(70);
        m_switches << button;
        grid->addWidget(new QLabel(QString::number(interval)), 2 * interval - 1, 2, Qt::AlignRight);
        grid->addWidget(button, 2 * interval - 1, 3);
    }
    grid->addWidget(new QLabel(QStringLiteral("     23.59")), 12, 0, 1, 2);
    auto *timerSwitch = new QPushButton;
    timerSwitch->setObjectName(QStringLiteral("bu07"));
    timerSwitch->setFixedWidth(70);
    m_switches << timerSwitch;
    grid->addWidget(new QLabel(QStringLiteral("Таймер")), 14, 0, 1, 2, Qt::AlignRight);
    grid->addWidget(timerSwitch, 14, 3);
    grid->setRowMinimumHeight(13, 12);

    auto *column = new QVBoxLayout;
    column->addWidget(box);
    column->addStretch(1);
    outer->addLayout(column);
    outer->addStretch(1);
    return page;
}

// --- Models ---

void Tmf::setConfigModel(QAbstractItemModel *model)
{
    // A new model resets the view's columns; keep hidden what was hidden.
    QList<int> hidden;
    for (int column = 0; column < gridColumnCount; ++column)
        if (sg->isColumnHidden(column))
            hidden << column;
    sg->setModel(model);
    applyColumns(sg, m_configColumns);
    for (int column : hidden)
        sg->setColumnHidden(column, true);
    connect(sg->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    sgSelectCell(current.column(), current.row());
            });
}

void Tmf::setJournalModel(QAbstractItemModel *model)
{
    QList<int> hidden;
    for (int column = 0; column < gridColumnCount; ++column)
        if (sg1->isColumnHidden(column))
            hidden << column;
    sg1->setModel(model);
    applyColumns(sg1, m_journalColumns);
    for (int column : hidden)
        sg1->setColumnHidden(column, true);
}

QAbstractItemModel *Tmf::configModel() const
{
    return sg->model();
}

QAbstractItemModel *Tmf::journalModel() const
{
    return sg1->model();
}

void Tmf::setRelayControlEntryCheck(std::function<bool()> check)
{
    m_relayControlEntryCheck = std::move(check);
}

void Tmf::setSensorLampsVisible(bool visible)
{
    gbSensors->setVisible(visible);
    timerLampRow->setVisible(visible);
}

// --- What the data module shows and asks through ---

void Tmf::setToolbarActions(const QList<QAction *> &actions)
{
    QList<QWidget *> buttons;
    for (QAction *button : actions) {
        if (!button) {
            tb->addSeparator();
            continue;
        }
        // Under its icon a caption of several words takes two lines, so that
        // the whole row of buttons fits the window.
        button->setIconText(twoLines(button->text()));
        tb->addAction(button);
        if (QWidget *widget = tb->widgetForAction(button))
            buttons << widget;
    }
    // Buttons are at least 72 x 24 where the row still fits the window's
    // width with them; with a wider font they take only what their captions need.
    int rowWidth = 0;
    for (QWidget *button : std::as_const(buttons))
        rowWidth += std::max(button->sizeHint().width(), toolButtonSize.width())
                + tb->layout()->spacing();
    const int separators = int(actions.size()) - int(buttons.size());
    const bool roomy = rowWidth + separators * separatorAllowance < minimumWidth();
    for (QWidget *button : std::as_const(buttons))
        button->setMinimumSize(roomy ? toolButtonSize.width() : 0, toolButtonSize.height());
}

void Tmf::setRowPictures(const QList<QPixmap> &pictures)
{
    sg->setItemDelegateForColumn(0, new ConfigGridPictureDelegate(pictures, sg));
}

void Tmf::hideStorageColumns()
{
    for (QTableView *grid : {sg, sg1}) {
        grid->setColumnHidden(4, true);
        grid->setColumnHidden(5, true);
    }
}

int Tmf::currentPage() const
{
    return pc->currentIndex();
}

void Tmf::setCurrentPage(int page)
{
    pc->setCurrentIndex(page);
}

void Tmf::clearDevices()
{
    lb->clear();
}

void Tmf::addDeviceLine(const QString &line)
{
    lb->addItem(line);
}

void Tmf::replaceDeviceLine(int index, const QString &line)
{
    if (QListWidgetItem *item = lb->item(index))
        item->setText(line);
}

int Tmf::selectedDeviceLine() const
{
    return lb->currentRow();
}

void Tmf::selectDeviceLine(int index)
{
    lb->setCurrentRow(index);
}

void Tmf::showMemo(const QStringList &lines)
{
    m1->clear();
    for (const QString &line : lines)
        m1->appendPlainText(line);
}

void Tmf::startProgress()
{
    pb1->setValue(0);
    pb1->show();
}

void Tmf::setProgress(int position)
{
    if (pb1->isVisible())
        pb1->setValue(position);
}

void Tmf::hideProgress()
{
    pb1->hide();
}

void Tmf::startJournalProgress()
{
    pb2->setValue(0);
    pb2->show();
}

void Tmf::setJournalProgress(int position)
{
    if (!pb2->isHidden())
        pb2->setValue(position);
}

void Tmf::hideJournalProgress()
{
    pb2->hide();
}

// --- Handlers ---

void Tmf::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tmf::FormShow()
{
    Label63->hide();
    for (QLabel *label : std::as_const(m_valueLabels))
        label->clear();
    for (int lamp = 1; lamp <= Lamp::lampCount; ++lamp)
        if (const auto state = Lamp::startState(m_lamps[lamp - 1]->property("tag").toInt()))
            led(*state, lamp);
    // Grids that keep their texts themselves have their row count fixed.
    if (auto *texts = qobject_cast<QStandardItemModel *>(sg->model()))
        texts->setRowCount(configRowCount);
    if (auto *texts = qobject_cast<QStandardItemModel *>(sg1->model()))
        texts->setRowCount(journalRowCount);
}

void Tmf::closeEvent(QCloseEvent *event)
{
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

bool Tmf::FormClose()
{
    // Not in the middle of the journal reading: it ends first.
    if (dm && dm->busWorkRunning())
        return false;
    if (!dm || !dm->unwrittenChanges())
        return true;
    const QString question = QStringLiteral("Имеются несохраненные изменения.") + QLatin1Char('\r')
            + QStringLiteral("Отменить изменения и завершить работу программы?");
    return dm->ask(Operator::Icon::Warning, question, Operator::Buttons::OkNo)
            != Operator::Answer::No;
}

void Tmf::pcChange()
{
    if (!dm)
        return;
    dm->stopAutoRefresh();
    dm->relayControlLeft();
    for (ActionId id : allActions)
        if (ActionEnabling::switchedByTab().contains(id))
            dm->action(id)->setEnabled(false);

    const int tab = pc->currentIndex();
    if (tab == ActionEnabling::LiveValuesTab) {
        dm->leaveStartLimitView();
        dtp1->setDate(QDate::currentDate());
        dtp2->setTime(QTime::currentTime());
    }
    const ActionEnabling::TabEntry entry = ActionEnabling::onTabEntered(
            tab, dm->portOpen(), dm->editingLocked(), dm->relaySelected());
    // The relay outputs may be switched by hand only with the motor at rest;
    // the tab's check decides, and may move to another tab itself.
    if (entry.needsEntryCheck && (!m_relayControlEntryCheck || !m_relayControlEntryCheck()))
        return;
    for (ActionId id : allActions)
        if (entry.enabled.contains(id))
            dm->action(id)->setEnabled(true);
    dm->followGridState();
    if (entry.runsRefresh)
        dm->action(ActionId::a_refresh)->trigger();
}

void Tmf::bts(int mode)
{
    TabVisibility::TabSet visible{};
    for (int tab = 0; tab < ActionEnabling::tabCount; ++tab)
        visible[std::size_t(tab)] = pc->isTabVisible(tab);
    const quint16 typeCode = dm ? dm->relayTypeCode() : 0;
    const TabVisibility::TabSet next = TabVisibility::afterBts(mode, visible, typeCode);
    for (int tab = 0; tab < ActionEnabling::tabCount; ++tab)
        if (next[std::size_t(tab)] != visible[std::size_t(tab)])
            pc->setTabVisible(tab, next[std::size_t(tab)]);
}

void Tmf::led(int state, int lamp)
{
    if (lamp < 1 || lamp > m_lamps.size() || !dm)
        return;
    QLabel *image = m_lamps[lamp - 1];
    const auto icon = Lamp::iconIndex(state, image->property("tag").toInt());
    if (!icon)
        return;
    image->setPixmap(dm->lampIcon(*icon, image->devicePixelRatioF()));
    image->setProperty("iconIndex", *icon);
}

void Tmf::hSectionResize(QHeaderView *header, int section)
{
    const QVariant tag = header->property("tag");
    if (!tag.isValid())
        return;
    QTableView *grid = nullptr;
    switch (tag.toInt()) {
    case 0:
        grid = sg;
        break;
    case 1:
        grid = sg1;
        break;
    default:
        return;
    }
    grid->setColumnWidth(section, header->sectionSize(section) - 2);
}

void Tmf::lbDblClick()
{
    // A disabled action does nothing (the port is closed).
    if (dm)
        dm->a_getinfoExecute();
}

void Tmf::sgDblClick()
{
    if (dm && dm->activateConfigRow())
        pcChange();
}

void Tmf::sgSelectCell(int, int row)
{
    if (dm)
        dm->selectConfigRow(row);
}

void Tmf::bu01Click(int button)
{
    if (dm)
        dm->clickTimerSwitch(button);
}

// --- Live values and relay commands ---

void Tmf::setValueText(int slot, const QString &text)
{
    if (slot >= 0 && slot < m_valueLabels.size())
        m_valueLabels[slot]->setText(text);
}

void Tmf::setStartLimitColumnShown(bool shown)
{
    Label63->setVisible(shown);
}

void Tmf::setCommandButtons(bool workEnabled, bool stopEnabled)
{
    BitBtn1->setEnabled(workEnabled);
    BitBtn2->setEnabled(stopEnabled);
}

void Tmf::setOutputButton(int tag, bool enabled)
{
    if (tag < 1 || tag > 6)
        return;
    m_outputButtonsShown[std::size_t(tag - 1)] = enabled;
    outputButtons()[std::size_t(tag - 1)]->setEnabled(enabled && m_outputControlEnabled);
}

bool Tmf::outputButtonEnabled(int tag) const
{
    return tag >= 1 && tag <= 6 && m_outputButtonsShown[std::size_t(tag - 1)];
}

void Tmf::setOutputControlEnabled(bool enabled)
{
    m_outputControlEnabled = enabled;
    for (int tag = 1; tag <= 6; ++tag)
        setOutputButton(tag, m_outputButtonsShown[std::size_t(tag - 1)]);
}

std::array<QPushButton *, 6> Tmf::outputButtons() const
{
    return {Button1, Button2, Button3, Button4, Button5, Button6};
}

QDateTime Tmf::pickedDateTime() const
{
    return QDateTime(dtp1->date(), dtp2->time());
}

void Tmf::showServiceValues(quint32 hours, int minutes, quint16 serialNumber)
{
    Edit1->setText(QString::number(hours));
    Edit2->setText(QString::number(minutes));
    Edit3->setText(QString::number(serialNumber));
}

QStringList Tmf::serviceFieldTexts() const
{
    return {Edit1->text(), Edit2->text(), Edit3->text()};
}

void Tmf::SetCommand(QObject *sender)
{
    if (dm && sender)
        dm->runCommand(sender->property("tag").toInt());
}

void Tmf::SetCommand2(QObject *sender)
{
    if (dm && sender)
        dm->runOutputCommand(sender->property("tag").toInt());
}

bool Tmf::Edit1KeyPress(QObject *, QKeyEvent *key)
{
    const QString text = key->text();
    if (text.isEmpty())
        return false; // no character: arrows, Delete and the like move and edit as usual
    const QChar character = text.front();
    if (character.isDigit() && character.unicode() < 128)
        return false;
    if (character == QChar(8) || character.category() == QChar::Other_Control)
        return false; // Backspace; control characters (Ctrl+V) are no typed text
    return true;
}

bool Tmf::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress
        && (watched == Edit1 || watched == Edit2 || watched == Edit3))
        return Edit1KeyPress(watched, static_cast<QKeyEvent *>(event));
    return QMainWindow::eventFilter(watched, event);
}
