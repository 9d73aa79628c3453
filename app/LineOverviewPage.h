#pragma once

#include "core/LineOverviewModel.h"
#include "device/LineOverview.h"

#include <QTimer>
#include <QWidget>

class QLabel;
class QTableView;

namespace miv {

class Operator;
struct RelaySession;

// The page "Обзор линии": every relay the last scan found in one table, the
// rows refreshed in turn, one relay per timer tick, so that the window stays
// responsive; a round begins every interval the operator sets (asked as
// automatic refresh asks it) and the time of the last full round is shown.
// A row's background is the colour of its state's lamp.
//
// The window starts the page with the answering addresses when the page is
// entered, and stops it when the page is left or another bus action starts;
// stop() takes effect at once (no exchange is under way between ticks). A
// double click on a row asks the window to identify that relay and open
// "Текущие значения" (identifyRequested). When the port fails and will not
// open again the page stops and tells the window (portLost), which reports
// it as for any other operation.
class LineOverviewPage : public QWidget
{
    Q_OBJECT
public:
    LineOverviewPage(RelaySession &session, Operator &op, QWidget *parent = nullptr);

    // Watches these relays from now on: a round at once, then one every
    // interval. The same addresses as before keep their rows.
    void start(const QList<quint8> &addresses);
    void stop();
    bool isRunning() const { return m_timer.isActive(); }

    // The input box of automatic refresh; an answer that is no interval
    // keeps the interval set.
    void askInterval();
    int intervalMs() const { return m_intervalMs; }
    void setIntervalMs(int ms);

    LineOverviewModel &model() { return m_model; }
    QTableView *table() const { return m_table; }

Q_SIGNALS:
    void identifyRequested(quint8 address);
    void portLost(const QString &text);

private:
    void runStep();
    void fitColumns();
    void showInterval();

    RelaySession &m_session;
    Operator &m_op;
    LineOverviewModel m_model;
    LineOverview m_overview;
    QList<quint8> m_addresses;
    QTimer m_timer;
    int m_intervalMs = 1000;
    bool m_fitColumns = false; // after the next full round
    QTableView *m_table = nullptr;
    QLabel *m_intervalLabel = nullptr;
    QLabel *m_roundLabel = nullptr;
};

} // namespace miv
