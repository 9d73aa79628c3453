#include "app/Tmf.h"
#include "ui_Tmf.h"

#include "app/ActionEnabling.h"
#include "app/Lamp.h"
#include "app/TabVisibility.h"
#include "app/ConfigGridPictureDelegate.h"
#include "app/CutCellToolTips.h"
#include "app/GridStretch.h"
#include "core/ConfigGrid.h"
#include "core/JournalGrid.h"
#include "device/ServiceFields.h"
#include "core/TextFormats.h"
#include "core/Texts.h"

#include <array>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLayout>
#include <QProxyStyle>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyle>
#include <QTabBar>

using namespace miv;

namespace {

// Header sections and grid columns. The headers sit over the grids as
// controls of their own; a grid column is its section's width less 2 pixels.
const QStringList configCaptions{QStringLiteral("Пункт в меню реле"),
                                 QStringLiteral("Название параметра"), QStringLiteral("Значение"),
                                 QStringLiteral("Изменение")};
const QList<int> configSections{120, 300, 80, 70};
const QList<int> configColumns{117, 299, 79, 69};
constexpr int deviceListWidth = 177;
const QStringList journalCaptions{QStringLiteral("Номер"), QStringLiteral("Дата события"),
                                  QStringLiteral("Событие"), QStringLiteral("Информация")};
const QList<int> journalSections{45, 100, 295, 300};
const QList<int> journalColumns{42, 98, 295, 298};
constexpr QSize toolButtonSize{72, 24};
constexpr int separatorAllowance = 12; // a separator's width with its margins
constexpr int cellPadding = 16; // a grid cell's margins and line, beside its text

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

// The font the grids' widths that follow the font are measured in: the
// application's own for such a control, usually larger than the window's 8
// points, so that the texts fit with room to spare.
QFont measuringFont(const QWidget *control, bool bold = false)
{
    QFont font = QApplication::font(control);
    font.setBold(bold);
    return font;
}

// The header scrolls with the grid's columns, and a text a column cuts off
// is shown whole as a tool tip.
void followScrolling(QTableView *grid, QHeaderView *header)
{
    QObject::connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, header,
                     &QHeaderView::setOffset);
    CutCellToolTips::install(grid);
}

void applyColumns(QTableView *grid, const QList<int> &widths)
{
    for (int column = 0; column < widths.size(); ++column)
        grid->setColumnWidth(column, widths[column]);
}

} // namespace

Tmf::Tmf(QWidget *parent) : QMainWindow(parent), ui(std::make_unique<Ui::Tmf>())
{
    setFont(windowFont());
    ui->setupUi(this);
    auto *tabStyle = new CompactTabStyle;
    tabStyle->setParent(ui->pc->tabBar());
    ui->pc->tabBar()->setStyle(tabStyle);
    setUpDevicesTab();
    setUpLiveValuesTab();
    setUpConfigurationTab();
    setUpJournalTab();
    setUpServiceTab();
    m_timeMarks = {ui->dtp01, ui->dtp02, ui->dtp03, ui->dtp04, ui->dtp05};
    m_switches = {ui->bu01, ui->bu02, ui->bu03, ui->bu04, ui->bu05, ui->bu06, ui->bu07};
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    connectHandlers();
    FormCreate();
}

Tmf::~Tmf() = default;

void Tmf::connectHandlers()
{
    // The window's own controls call its handlers; the data module wires the actions.
    m_handlers.connect(ui->pc, &QTabWidget::currentChanged, this, MIV_HANDLER(Tmf, pcChange));
    m_handlers.connect(ui->lb, &QListWidget::itemDoubleClicked, this, MIV_HANDLER(Tmf, lbDblClick));
    m_handlers.connect(ui->sg, &QTableView::doubleClicked, this, MIV_HANDLER(Tmf, sgDblClick));
    for (QHeaderView *header : {ui->h, ui->h0})
        m_handlers.note(MIV_HANDLER(Tmf, hSectionResize).name,
                        connect(header, &QHeaderView::sectionResized, this,
                                [this, header](int section) { hSectionResize(header, section); }));
    // A family of buttons shares one handler, which tells them apart.
    for (QPushButton *button : {ui->BitBtn1, ui->BitBtn2, ui->BitBtn3, ui->BitBtn4, ui->BitBtn5,
                                ui->BitBtn6, ui->BitBtn7})
        m_handlers.note(MIV_HANDLER(Tmf, SetCommand).name,
                        connect(button, &QPushButton::clicked, this,
                                [this, button] { SetCommand(button); }));
    for (QPushButton *button : outputButtons())
        m_handlers.note(MIV_HANDLER(Tmf, SetCommand2).name,
                        connect(button, &QPushButton::clicked, this,
                                [this, button] { SetCommand2(button); }));
    for (int button = 1; button <= m_switches.size(); ++button)
        m_handlers.note(MIV_HANDLER(Tmf, bu01Click).name,
                        connect(m_switches[button - 1], &QPushButton::clicked, this,
                                [this, button] { bu01Click(button); }));
    connect(ui->trendButton, &QPushButton::clicked, this, &Tmf::trendClicked);
    connect(ui->archiveButton, &QPushButton::clicked, this, &Tmf::journalArchiveClicked);
    for (QLineEdit *edit : {ui->Edit1, ui->Edit2, ui->Edit3})
        edit->installEventFilter(this);
    // Selecting a cell of the configuration grid is wired by setConfigModel,
    // since every model brings its own selection model.
}

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

void Tmf::setLampPictures(std::function<QPixmap(int index, qreal devicePixelRatio)> pictures)
{
    m_lampPictures = std::move(pictures);
}

void Tmf::setCloseCheck(std::function<bool()> check)
{
    m_closeCheck = std::move(check);
}

// --- Tabs ---

void Tmf::setUpDevicesTab()
{
    // The list is 177 pixels wide in the window's own font; a wider font
    // (where that one is missing) widens it so that no line is cut.
    const int longestLine =
            QFontMetrics(font()).horizontalAdvance(QStringLiteral("Связи с устройством №32 нет"));
    const int listWidth =
            std::max(deviceListWidth,
                     longestLine + 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth)
                             + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 12);
    ui->deviceListPanel->setMinimumWidth(listWidth);
    // The list keeps its width when the window grows; the memo takes the rest.
    ui->devicesSplitter->setSizes({listWidth, width()});
    hideProgress();
}

void Tmf::setUpLiveValuesTab()
{
    // The values line up in a fixed-pitch font, each label wide enough for two columns.
    for (int number : valueLabelNumbers()) {
        auto *label = findChild<QLabel *>(QStringLiteral("Label%1").arg(number));
        label->setFont(valueFont());
        label->setMinimumWidth(QFontMetrics(label->font()).horizontalAdvance(QLatin1Char('0'))
                               * 18);
    }
    ui->dtp1->setDisplayFormat(TextFormats::shortDate);
    ui->dtp2->setDisplayFormat(TextFormats::shortTime);
    setSensorLampsVisible(false);
}

void Tmf::setUpConfigurationTab()
{
    // "Значение" is 80 pixels in the window's own font; a wider font widens it
    // so that the disabled text shows whole.
    m_configSections = configSections;
    m_configSections[ConfigGrid::Value] = std::max(
            configSections[ConfigGrid::Value],
            QFontMetrics(measuringFont(ui->sg, true)).horizontalAdvance(Texts::functionOff) + 12);
    m_configColumns = configColumns;
    m_configColumns[ConfigGrid::Value] = m_configSections[ConfigGrid::Value] - 2;
    ui->h->setSections(configCaptions, m_configSections);
    followScrolling(ui->sg, ui->h);
    // A wider window shows the names whole.
    int widestName = 0;
    for (const ParameterRecord &record : ParameterCatalogue::defaults())
        widestName =
                std::max(widestName,
                         QFontMetrics(measuringFont(ui->sg, true)).horizontalAdvance(record.name));
    m_configStretch = GridStretch::install(ui->sg, ui->h, m_configSections,
                                           {{ConfigGrid::Name, 1, widestName + cellPadding}});
}

void Tmf::setUpJournalTab()
{
    // "Дата события" grows where the font is wider than the window's own, so
    // that the date and time fit; "Событие" gives up the same width.
    m_journalSections = journalSections;
    m_journalColumns = journalColumns;
    const int dateWidth = QFontMetrics(measuringFont(ui->sg1))
                                  .horizontalAdvance(QStringLiteral("2026.12.31 23:59:59"))
            + 8;
    if (dateWidth > journalSections[JournalGrid::Date]) {
        const int more = dateWidth - journalSections[JournalGrid::Date];
        m_journalSections[JournalGrid::Date] += more;
        m_journalSections[JournalGrid::Event] -= more;
        m_journalColumns[JournalGrid::Date] += more;
        m_journalColumns[JournalGrid::Event] -= more;
    }
    ui->h0->setSections(journalCaptions, m_journalSections);
    followScrolling(ui->sg1, ui->h0);
    // "Событие" as wide as the longest event's name, "Информация" the rest.
    int widestEvent = 0;
    for (const EventName &event : eventNameTable())
        widestEvent = std::max(widestEvent,
                               QFontMetrics(measuringFont(ui->sg1)).horizontalAdvance(event.name));
    m_journalStretch = GridStretch::install(
            ui->sg1, ui->h0, m_journalSections,
            {{JournalGrid::Event, 1, widestEvent + cellPadding}, {JournalGrid::Details, 1}});
    hideJournalProgress();
    m_journalTexts =
            new QStandardItemModel(JournalGrid::maximumRows, JournalGrid::ColumnCount, this);
    m_journalTexts->setObjectName(QStringLiteral("journalTexts"));
    setJournalModel(m_journalTexts);
}

void Tmf::setUpServiceTab()
{
    // Text pasted through the context menu obeys the key filter's rule.
    for (QLineEdit *edit : {ui->Edit1, ui->Edit2, ui->Edit3})
        edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), ui->ts6));
    // The hours take every value of the counter's 32 bits; the minutes' and
    // the serial number's lengths are the form's.
    ui->Edit1->setMaxLength(serviceFieldDigits);
}

// --- Models ---

void Tmf::setConfigModel(QAbstractItemModel *model)
{
    // A new model resets the view's columns; keep hidden what was hidden.
    QList<int> hidden;
    for (int column = 0; column < ConfigGrid::ColumnCount; ++column)
        if (ui->sg->isColumnHidden(column))
            hidden << column;
    ui->sg->setModel(model);
    applyColumns(ui->sg, m_configColumns);
    m_configStretch->fit();
    for (int column : hidden)
        ui->sg->setColumnHidden(column, true);
    m_handlers.note(MIV_HANDLER(Tmf, sgSelectCell).name,
                    connect(ui->sg->selectionModel(), &QItemSelectionModel::currentChanged, this,
                            [this](const QModelIndex &current) {
                                if (current.isValid())
                                    sgSelectCell(current.column(), current.row());
                            }));
}

void Tmf::setJournalModel(QAbstractItemModel *model)
{
    QList<int> hidden;
    for (int column = 0; column < JournalGrid::ColumnCount; ++column)
        if (ui->sg1->isColumnHidden(column))
            hidden << column;
    ui->sg1->setModel(model);
    applyColumns(ui->sg1, m_journalColumns);
    m_journalStretch->fit();
    for (int column : hidden)
        ui->sg1->setColumnHidden(column, true);
}

QAbstractItemModel *Tmf::configModel() const
{
    return ui->sg->model();
}

QAbstractItemModel *Tmf::journalModel() const
{
    return ui->sg1->model();
}

void Tmf::setSensorLampsVisible(bool visible)
{
    ui->gbSensors->setVisible(visible);
    ui->timerLampRow->setVisible(visible);
}

// --- What the data module shows and asks through ---

void Tmf::setToolbarActions(const QList<QAction *> &actions)
{
    QList<QWidget *> buttons;
    for (QAction *button : actions) {
        if (!button) {
            ui->tb->addSeparator();
            continue;
        }
        // Under its icon a caption of several words takes two lines, so that
        // the whole row of buttons fits the window.
        button->setIconText(twoLines(button->text()));
        ui->tb->addAction(button);
        if (QWidget *widget = ui->tb->widgetForAction(button))
            buttons << widget;
    }
    // Buttons are at least 72 x 24 where the row still fits the window's
    // width with them; with a wider font they take only what their captions need.
    int rowWidth = 0;
    for (QWidget *button : std::as_const(buttons))
        rowWidth += std::max(button->sizeHint().width(), toolButtonSize.width())
                + ui->tb->layout()->spacing();
    const int separators = int(actions.size()) - int(buttons.size());
    const bool roomy = rowWidth + separators * separatorAllowance < minimumWidth();
    for (QWidget *button : std::as_const(buttons))
        button->setMinimumSize(roomy ? toolButtonSize.width() : 0, toolButtonSize.height());
}

void Tmf::setRowPictures(const QList<QPixmap> &pictures)
{
    ui->sg->setItemDelegateForColumn(ConfigGrid::Picture,
                                     new ConfigGridPictureDelegate(pictures, ui->sg));
}

void Tmf::hideStorageColumns()
{
    ui->sg->setColumnHidden(ConfigGrid::Register, true);
    ui->sg->setColumnHidden(ConfigGrid::SavedText, true);
    ui->sg1->setColumnHidden(JournalGrid::Spare1, true);
    ui->sg1->setColumnHidden(JournalGrid::Spare2, true);
}

int Tmf::currentPage() const
{
    return ui->pc->currentIndex();
}

void Tmf::setCurrentPage(int page)
{
    ui->pc->setCurrentIndex(page);
}

void Tmf::clearDevices()
{
    ui->lb->clear();
}

void Tmf::addDeviceLine(const QString &line)
{
    ui->lb->addItem(line);
}

void Tmf::replaceDeviceLine(int index, const QString &line)
{
    if (QListWidgetItem *item = ui->lb->item(index))
        item->setText(line);
}

int Tmf::selectedDeviceLine() const
{
    return ui->lb->currentRow();
}

void Tmf::selectDeviceLine(int index)
{
    ui->lb->setCurrentRow(index);
}

void Tmf::showMemo(const QStringList &lines)
{
    ui->m1->clear();
    for (const QString &line : lines)
        ui->m1->appendPlainText(line);
}

void Tmf::startProgress()
{
    ui->pb1->setValue(0);
    ui->pb1->show();
}

void Tmf::setProgress(int position)
{
    if (ui->pb1->isVisible())
        ui->pb1->setValue(position);
}

void Tmf::hideProgress()
{
    ui->pb1->hide();
}

void Tmf::startJournalProgress()
{
    ui->pb2->setValue(0);
    ui->pb2->show();
}

void Tmf::setJournalProgress(int position)
{
    if (!ui->pb2->isHidden())
        ui->pb2->setValue(position);
}

void Tmf::hideJournalProgress()
{
    ui->pb2->hide();
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
    ui->Label63->hide();
    for (QLabel *label : std::as_const(m_valueLabels))
        label->clear();
    for (int lamp = 1; lamp <= Lamp::lampCount; ++lamp)
        if (const auto state = Lamp::startState(m_lamps[lamp - 1]->property("tag").toInt()))
            led(*state, lamp);
    // Grids that keep their texts themselves have their row count fixed.
    if (auto *texts = qobject_cast<QStandardItemModel *>(ui->sg->model()))
        texts->setRowCount(ConfigRow::count);
    if (auto *texts = qobject_cast<QStandardItemModel *>(ui->sg1->model()))
        texts->setRowCount(JournalGrid::maximumRows);
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
    return !m_closeCheck || m_closeCheck();
}

void Tmf::pcChange()
{
    const int tab = ui->pc->currentIndex();
    if (tab == ActionEnabling::LiveValuesTab) {
        ui->dtp1->setDate(QDate::currentDate());
        ui->dtp2->setTime(QTime::currentTime());
    }
    Q_EMIT pageEntered(tab);
}

void Tmf::bts(int mode, quint16 typeCode)
{
    TabVisibility::TabSet visible{};
    for (int tab = 0; tab < ActionEnabling::tabCount; ++tab)
        visible[std::size_t(tab)] = ui->pc->isTabVisible(tab);
    const TabVisibility::TabSet next = TabVisibility::afterBts(mode, visible, typeCode);
    for (int tab = 0; tab < ActionEnabling::tabCount; ++tab)
        if (next[std::size_t(tab)] != visible[std::size_t(tab)])
            ui->pc->setTabVisible(tab, next[std::size_t(tab)]);
}

void Tmf::led(int state, int lamp)
{
    if (lamp < 1 || lamp > m_lamps.size() || !m_lampPictures)
        return;
    QLabel *image = m_lamps[lamp - 1];
    const auto icon = Lamp::iconIndex(state, image->property("tag").toInt());
    if (!icon)
        return;
    image->setPixmap(m_lampPictures(*icon, image->devicePixelRatioF()));
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
        grid = ui->sg;
        break;
    case 1:
        grid = ui->sg1;
        break;
    default:
        return;
    }
    grid->setColumnWidth(section, header->sectionSize(section) - 2);
}

void Tmf::lbDblClick()
{
    Q_EMIT deviceLineActivated();
}

void Tmf::sgDblClick()
{
    Q_EMIT configRowActivated();
}

void Tmf::sgSelectCell(int, int row)
{
    Q_EMIT configRowSelected(row);
}

void Tmf::bu01Click(int button)
{
    Q_EMIT timerSwitchClicked(button);
}

// --- Live values and relay commands ---

void Tmf::setValueText(int slot, const QString &text)
{
    if (slot >= 0 && slot < m_valueLabels.size())
        m_valueLabels[slot]->setText(text);
}

void Tmf::setStartLimitColumnShown(bool shown)
{
    ui->Label63->setVisible(shown);
}

void Tmf::setCommandButtons(bool workEnabled, bool stopEnabled)
{
    ui->BitBtn1->setEnabled(workEnabled);
    ui->BitBtn2->setEnabled(stopEnabled);
}

void Tmf::setOutputButtonEnabled(int tag, bool enabled)
{
    if (tag >= 1 && tag <= int(outputButtons().size()))
        outputButtons()[std::size_t(tag - 1)]->setEnabled(enabled);
}

std::array<QPushButton *, 6> Tmf::outputButtons() const
{
    return {ui->Button1, ui->Button2, ui->Button3, ui->Button4, ui->Button5, ui->Button6};
}

QDateTime Tmf::pickedDateTime() const
{
    return QDateTime(ui->dtp1->date(), ui->dtp2->time());
}

void Tmf::showServiceValues(quint32 hours, int minutes, quint16 serialNumber)
{
    ui->Edit1->setText(QString::number(hours));
    ui->Edit2->setText(QString::number(minutes));
    ui->Edit3->setText(QString::number(serialNumber));
}

QStringList Tmf::serviceFieldTexts() const
{
    return {ui->Edit1->text(), ui->Edit2->text(), ui->Edit3->text()};
}

void Tmf::SetCommand(QObject *sender)
{
    if (sender)
        Q_EMIT commandClicked(sender->property("tag").toInt());
}

void Tmf::SetCommand2(QObject *sender)
{
    if (sender)
        Q_EMIT outputCommandClicked(sender->property("tag").toInt());
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
        && (watched == ui->Edit1 || watched == ui->Edit2 || watched == ui->Edit3))
        return Edit1KeyPress(watched, static_cast<QKeyEvent *>(event));
    return QMainWindow::eventFilter(watched, event);
}
