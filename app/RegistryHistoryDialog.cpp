#include "app/RegistryHistoryDialog.h"

#include "core/ValueFormat.h"
#include "registry/SettingsContent.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace miv {

namespace {

void fillRow(QTableWidget &table, int row, const QStringList &texts)
{
    for (int column = 0; column < texts.size(); ++column) {
        auto *item = new QTableWidgetItem(texts[column]);
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        table.setItem(row, column, item);
    }
}

} // namespace

RegistryHistoryDialog::RegistryHistoryDialog(const RegistryRelay &relay,
                                             const QList<RegistryViews::HistoryEntry> &entries,
                                             QWidget *parent)
    : QDialog(parent),
      m_history(entries),
      m_entries(new QTableWidget(this)),
      m_changes(new QTableWidget(this))
{
    setObjectName(QStringLiteral("RegistryHistoryDialog"));
    setWindowTitle(QStringLiteral("История настроек реле ") + RegistryViews::relayTitle(relay));
    m_entries->setColumnCount(10);
    m_entries->setHorizontalHeaderLabels(
            {QStringLiteral("№"), QStringLiteral("Время"), QStringLiteral("Вид"),
             QStringLiteral("Пользователь"), QStringLiteral("Порт"), QStringLiteral("Адрес"),
             QStringLiteral("Версия ПО"), QStringLiteral("Утверждённым"),
             QStringLiteral("Примечание"), QStringLiteral("Изменения")});
    m_entries->setRowCount(int(entries.size()));
    for (int row = 0; row < entries.size(); ++row) {
        const RegistryViews::HistoryEntry &entry = entries[row];
        QStringList texts = RegistryViews::historyFields(entry);
        texts[2] = settingsKindText(entry.snapshot.kind);
        texts[7] = entry.snapshot.kind == SettingsKind::Approved
                ? QString()
                : approvalText(entry.snapshot.approval);
        fillRow(*m_entries, row, texts);
    }
    m_entries->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_entries->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_entries->horizontalHeader()->setStretchLastSection(true);
    m_entries->resizeColumnsToContents();

    m_changes->setColumnCount(4);
    m_changes->setHorizontalHeaderLabels({QStringLiteral("Строка"), QStringLiteral("Параметр"),
                                          QStringLiteral("Было"), QStringLiteral("Стало")});
    m_changes->horizontalHeader()->setStretchLastSection(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_entries, 3);
    layout->addWidget(new QLabel(QStringLiteral("Изменения между выбранными записями:"), this));
    layout->addWidget(m_changes, 2);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *report =
            buttons->addButton(QStringLiteral("Протокол наладки..."), QDialogButtonBox::ActionRole);
    report->setObjectName(QStringLiteral("commissioningReport"));
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(report, &QPushButton::clicked, this,
            [this] { Q_EMIT commissioningReportAsked(selectedVisit()); });
    resize(900, 600);
    connect(m_entries, &QTableWidget::itemSelectionChanged, this,
            &RegistryHistoryDialog::followSelection);
}

QList<int> RegistryHistoryDialog::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_entries->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

ReportVisit RegistryHistoryDialog::selectedVisit() const
{
    const QList<int> rows = selectedRows();
    if (rows.size() < 2)
        return {};
    return {m_history[rows.front()].snapshot.id, m_history[rows.back()].snapshot.id};
}

void RegistryHistoryDialog::followSelection()
{
    const QList<int> rows = selectedRows();
    if (rows.size() == 1 && rows.front() > 0)
        compareEntries(rows.front() - 1, rows.front());
    else if (rows.size() >= 2)
        compareEntries(rows.front(), rows.back());
}

void RegistryHistoryDialog::compareEntries(int first, int second)
{
    m_changes->setRowCount(0);
    if (first < 0 || second < 0 || first >= m_history.size() || second >= m_history.size())
        return;
    const RegistrySnapshot &before = m_history[first].snapshot;
    const RegistrySnapshot &after = m_history[second].snapshot;
    const QList<SettingsChange> changes = SettingsContent::changes(
            before.registers, after.registers, after.typeCode, systemDecimalSeparator());
    m_changes->setHorizontalHeaderLabels({QStringLiteral("Строка"), QStringLiteral("Параметр"),
                                          QStringLiteral("Запись %1").arg(before.id),
                                          QStringLiteral("Запись %1").arg(after.id)});
    m_changes->setRowCount(int(changes.size()));
    for (int row = 0; row < changes.size(); ++row)
        fillRow(*m_changes, row,
                {RegistryViews::rowText(changes[row]), changes[row].name, changes[row].before,
                 changes[row].after});
    m_changes->resizeColumnsToContents();
}

} // namespace miv
