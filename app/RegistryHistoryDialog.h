#pragma once

#include "registry/RegistryViews.h"

#include <QDialog>

class QTableWidget;

namespace miv {

// "История настроек...": a relay's snapshots in the register, oldest first,
// and below them the items changed between the two entries selected (one
// entry selected: against the entry before it).
class RegistryHistoryDialog : public QDialog
{
    Q_OBJECT
public:
    RegistryHistoryDialog(const RegistryRelay &relay,
                          const QList<RegistryViews::HistoryEntry> &entries, QWidget *parent);

    QTableWidget *entriesTable() const { return m_entries; }
    QTableWidget *changesTable() const { return m_changes; }
    // Shows the changes from entry `first` to entry `second` (rows of the list).
    void compareEntries(int first, int second);

private:
    void followSelection();

    QList<RegistryViews::HistoryEntry> m_history;
    QTableWidget *m_entries;
    QTableWidget *m_changes;
};

} // namespace miv
