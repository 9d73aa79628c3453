#include "app/JournalArchiveDialog.h"

#include "app/CutCellToolTips.h"
#include "registry/RegistryViews.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace miv {

namespace {

// The local day of the first and the last entry that holds a date; today
// for both when none does.
std::pair<QDate, QDate> daysHeld(const QList<ArchivedJournalEntry> &entries)
{
    QDate first, last;
    for (const ArchivedJournalEntry &entry : entries) {
        if (!entry.pcTime.isValid())
            continue;
        const QDate day = entry.pcTime.toLocalTime().date();
        if (!first.isValid() || day < first)
            first = day;
        if (!last.isValid() || day > last)
            last = day;
    }
    if (!first.isValid())
        first = last = QDate::currentDate();
    return {first, last};
}

QDateEdit *dayEdit(const QDate &day, QWidget *parent)
{
    auto *edit = new QDateEdit(day, parent);
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    return edit;
}

} // namespace

JournalArchiveDialog::JournalArchiveDialog(const RegistryRelay &relay,
                                           QList<ArchivedJournalEntry> entries,
                                           QChar decimalSeparator, QWidget *parent)
    : QDialog(parent),
      m_relay(relay),
      m_entries(std::move(entries)),
      m_decimalSeparator(decimalSeparator),
      m_count(new QLabel(this)),
      m_table(new QTableWidget(this))
{
    setObjectName(QStringLiteral("JournalArchiveDialog"));
    setWindowTitle(QStringLiteral("Архив журнала реле ") + RegistryViews::relayTitle(relay));
    const auto [first, last] = daysHeld(m_entries);
    m_from = dayEdit(first, this);
    m_to = dayEdit(last, this);
    m_from->setObjectName(QStringLiteral("archiveFrom"));
    m_to->setObjectName(QStringLiteral("archiveTo"));

    const QStringList headings = archivedEntryHeadings();
    m_table->setColumnCount(int(headings.size()));
    m_table->setHorizontalHeaderLabels(headings);
    m_table->verticalHeader()->hide();
    // One line an entry, as in the journal grid: an archive may hold thousands.
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    CutCellToolTips::install(m_table);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto *range = new QHBoxLayout;
    range->addWidget(new QLabel(QStringLiteral("Время ПК с"), this));
    range->addWidget(m_from);
    range->addWidget(new QLabel(QStringLiteral("по"), this));
    range->addWidget(m_to);
    range->addStretch();
    range->addWidget(m_count);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *report =
            buttons->addButton(QStringLiteral("Отчёт..."), QDialogButtonBox::ActionRole);
    report->setObjectName(QStringLiteral("archiveReport"));
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addWidget(m_table, 1);
    layout->addWidget(buttons);
    resize(900, 600);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(report, &QPushButton::clicked, this, &JournalArchiveDialog::reportAsked);
    connect(m_from, &QDateEdit::dateChanged, this, &JournalArchiveDialog::followRange);
    connect(m_to, &QDateEdit::dateChanged, this, &JournalArchiveDialog::followRange);
    followRange();
}

JournalArchiveReport::Days JournalArchiveDialog::shownDays() const
{
    return {m_from->date(), m_to->date()};
}

void JournalArchiveDialog::showDays(const QDate &from, const QDate &to)
{
    const QSignalBlocker blockFrom(m_from), blockTo(m_to);
    m_from->setDate(from);
    m_to->setDate(to);
    followRange();
}

void JournalArchiveDialog::followRange()
{
    // An entry that holds no date is shown whatever the range: it cannot be
    // placed in one, and hiding it would lose it from sight.
    m_shown = JournalArchiveReport::inRange(m_entries, m_from->date().startOfDay(),
                                            m_to->date().addDays(1).startOfDay(),
                                            JournalArchiveReport::Undated::Keep);
    m_table->setRowCount(int(m_shown.size()));
    for (int row = 0; row < m_shown.size(); ++row) {
        const QStringList fields =
                archivedEntryFields(m_shown[row].entry, m_shown[row].number, m_decimalSeparator);
        for (int column = 0; column < fields.size(); ++column)
            m_table->setItem(row, column, new QTableWidgetItem(fields[column]));
    }
    m_table->resizeColumnsToContents();
    m_count->setText(QStringLiteral("Записей: %1 из %2").arg(m_shown.size()).arg(m_entries.size()));
}

} // namespace miv
