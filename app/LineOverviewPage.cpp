#include "app/LineOverviewPage.h"

#include "app/CutCellToolTips.h"
#include "link/RelaySession.h"
#include "device/RefreshInterval.h"

#include <array>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

namespace miv {

namespace {

// The background of a row: a light shade of its state's lamp colour, so that
// the texts stay readable.
class RowColourDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        // By RowColour: none, green, red, yellow, grey.
        static const std::array<QColor, 5> shades{
                QColor(), QColor(0xC8, 0xF0, 0xC8), QColor(0xF8, 0xC0, 0xC0),
                QColor(0xF8, 0xF0, 0xA8), QColor(0xD8, 0xD8, 0xD8)};
        const int colour = index.data(LineOverviewModel::rowColourRole).toInt();
        if (colour > 0 && colour < int(shades.size()))
            option->backgroundBrush = shades[std::size_t(colour)];
    }
};

QString secondsText(qint64 ms, QChar separator)
{
    return QString::number(ms / 1000.0, 'f', 2).replace(u'.', separator);
}

} // namespace

LineOverviewPage::LineOverviewPage(RelaySession &session, Operator &op, QWidget *parent)
    : QWidget(parent), m_session(session), m_op(op), m_overview(session, m_model)
{
    m_table = new QTableView;
    m_table->setModel(&m_model);
    m_table->setItemDelegate(new RowColourDelegate(m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    // Every column widens by dragging its header; a text a column cuts off
    // (the alarms of a relay with several) is shown whole as a tool tip.
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_table->horizontalHeader()->setStretchLastSection(false);
    CutCellToolTips::install(m_table);
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            Q_EMIT identifyRequested(m_model.row(index.row()).address);
    });

    auto *interval = new QPushButton(QStringLiteral("Интервал обновления..."));
    connect(interval, &QPushButton::clicked, this, &LineOverviewPage::askInterval);
    m_intervalLabel = new QLabel;
    m_roundLabel = new QLabel;
    auto *bar = new QHBoxLayout;
    bar->addWidget(interval);
    bar->addWidget(m_intervalLabel);
    bar->addStretch();
    bar->addWidget(m_roundLabel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(bar);

    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LineOverviewPage::runStep);
    showInterval();
}

void LineOverviewPage::start(const QList<quint8> &addresses)
{
    if (addresses != m_addresses || m_model.rowCount() != addresses.size()) {
        m_addresses = addresses;
        m_overview.setAddresses(addresses);
        m_fitColumns = true;
    }
    m_timer.start(0);
}

void LineOverviewPage::stop()
{
    m_timer.stop();
    m_overview.stop();
}

void LineOverviewPage::askInterval()
{
    if (const std::optional<int> ms = askRefreshInterval(m_op, m_session.decimalSeparator))
        setIntervalMs(*ms);
}

void LineOverviewPage::setIntervalMs(int ms)
{
    m_intervalMs = ms;
    showInterval();
    // A round waiting for its turn waits for the new interval instead.
    if (m_timer.isActive() && !m_overview.roundUnderWay())
        m_timer.start(m_overview.delayBeforeNextStepMs(m_intervalMs));
}

void LineOverviewPage::showInterval()
{
    m_intervalLabel->setText(QStringLiteral("Интервал: %1 с")
                                     .arg(secondsText(m_intervalMs, m_session.decimalSeparator)));
}

void LineOverviewPage::fitColumns()
{
    m_table->resizeColumnsToContents();
    QHeaderView *header = m_table->horizontalHeader();
    int others = 0;
    for (int column = 0; column < LineOverviewModel::ColumnCount; ++column)
        if (column != LineOverviewModel::Alarms)
            others += header->sectionSize(column);
    const int rest = m_table->viewport()->width() - others;
    if (rest > header->sectionSize(LineOverviewModel::Alarms))
        header->resizeSection(LineOverviewModel::Alarms, rest);
}

void LineOverviewPage::runStep()
{
    const LineOverview::StepResult result = m_overview.step();
    switch (result.outcome) {
    case LineOverview::StepOutcome::Idle:
        return;
    case LineOverview::StepOutcome::PortLost:
        stop();
        Q_EMIT portLost(result.portLostText);
        return;
    case LineOverview::StepOutcome::RoundDone:
        m_roundLabel->setText(QStringLiteral("Полный опрос: %1 с")
                                      .arg(secondsText(m_overview.lastRoundMs().value_or(0),
                                                       m_session.decimalSeparator)));
        // The first round fills the cells: the columns take their widths
        // once, the alarms at least what is left of the table's width.
        if (std::exchange(m_fitColumns, false))
            fitColumns();
        break;
    case LineOverview::StepOutcome::Read:
        break;
    }
    m_timer.start(m_overview.delayBeforeNextStepMs(m_intervalMs));
}

} // namespace miv
