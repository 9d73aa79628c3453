#pragma once

#include "registry/CommissioningReportBuilder.h"
#include "registry/RegistryViews.h"

#include <QDialog>

class QTableWidget;

namespace miv {

// "История настроек...": a relay's snapshots in the register, oldest first,
// and below them the items changed between the two entries selected (one
// entry selected: against the entry before it). "Протокол наладки..." asks
// for the commissioning report of the two entries selected, or of the
// latest day the relay was worked on.
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
    // The visit the report covers: the first and the last entry selected when
    // two or more are, else the default.
    ReportVisit selectedVisit() const;

Q_SIGNALS:
    void commissioningReportAsked(const miv::ReportVisit &visit);

private:
    void followSelection();
    QList<int> selectedRows() const;

    QList<RegistryViews::HistoryEntry> m_history;
    QTableWidget *m_entries;
    QTableWidget *m_changes;
};

} // namespace miv
