#pragma once

#include <QDialog>

namespace miv {

class Operator;
struct RelaySession;
class TrendChart;

// The trend of "Текущие значения" ("График..."): the identified relay's
// phase currents, with its voltages and temperature on request, over the
// last hour, in a window of its own beside the main window. Every refresh of
// the live values adds its point; it reads nothing itself.
class TrendWindow : public QDialog
{
    Q_OBJECT
public:
    TrendWindow(RelaySession &session, Operator &op, QWidget *parent);

    // Shows the window (raised when it is open already) with the points so far.
    void open();
    // After a refresh of the live values: the new point drawn while the window is shown.
    void showNewPoints();
    TrendChart &chart() { return *m_chart; }

private:
    void nameRelay();

    RelaySession &m_session;
    TrendChart *m_chart;
};

} // namespace miv
