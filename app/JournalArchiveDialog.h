#pragma once

#include "registry/JournalArchiveReport.h"
#include "registry/RegistryStore.h"

#include <QDialog>

class QDateEdit;
class QLabel;
class QTableWidget;

namespace miv {

// "Архив...": a relay's journal entries kept in the register, with the
// journal's columns and the time on the PC's clock beside the relay's, from
// one day to another (on the PC's time); "Отчёт..." asks for the report of
// the entries shown.
class JournalArchiveDialog : public QDialog
{
    Q_OBJECT
public:
    JournalArchiveDialog(const RegistryRelay &relay, QList<ArchivedJournalEntry> entries,
                         QChar decimalSeparator, QWidget *parent);

    const RegistryRelay &relay() const { return m_relay; }
    const QList<JournalArchiveReport::NumberedEntry> &shownEntries() const { return m_shown; }
    // The days of the PC's time the entries shown were chosen from.
    JournalArchiveReport::Days shownDays() const;
    QTableWidget *entriesTable() const { return m_table; }
    // Shows the entries from the start of `from` to the end of `to`.
    void showDays(const QDate &from, const QDate &to);

Q_SIGNALS:
    void reportAsked();

private:
    void followRange();

    RegistryRelay m_relay;
    QList<ArchivedJournalEntry> m_entries;
    QChar m_decimalSeparator;
    QList<JournalArchiveReport::NumberedEntry> m_shown;
    QDateEdit *m_from;
    QDateEdit *m_to;
    QLabel *m_count;
    QTableWidget *m_table;
};

} // namespace miv
