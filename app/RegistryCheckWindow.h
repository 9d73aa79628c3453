#pragma once

#include "registry/RegistryCheck.h"

#include <QDialog>
#include <QList>

class QTableWidget;
class QLabel;

namespace miv {

class RelayBus;
class RelayRecorder;

// "Сверка с утверждёнными", beside the line overview: every relay of the
// last scan read, recorded as found and compared with its approved settings
// (registry/RegistryCheck.h), one row per result or per differing item,
// coloured by the result. Each relay is checked in a session of its own, so
// that the main window's grid keeps what it holds; boxes the reading would
// show are kept for the window's last line instead.
class RegistryCheckWindow : public QDialog
{
    Q_OBJECT
public:
    RegistryCheckWindow(RelayBus &bus, RelayRecorder &recorder, QWidget *parent);

    // Checks these relays on the port named `portName` in turn, showing each
    // result as it comes; the register keeps the port with each snapshot.
    void check(const QList<quint8> &addresses, const QString &portName);
    const QList<RelayCheck> &results() const { return m_results; }
    QTableWidget *table() const { return m_table; }

    // The colour of a result's rows.
    static QColor resultColour(const RelayCheck &check);

private:
    void addRows(const RelayCheck &check);

    RelayBus &m_bus;
    RelayRecorder &m_recorder;
    QTableWidget *m_table;
    QLabel *m_summary;
    QList<RelayCheck> m_results;
};

} // namespace miv
