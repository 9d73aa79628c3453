#pragma once

#include <QDialog>
#include <QList>
#include <functional>

namespace miv {

class LineOverviewPage;
class Operator;
struct RelaySession;

// "Обзор линии", opened from "Настройки": every relay the last scan found,
// refreshed in turn while the window is open. It keeps the main window from
// starting other work meanwhile (the line serves one exchange at a time),
// and stops its rounds the moment it closes. A double click on a row closes
// it and asks for that relay to be identified; closed by the operator
// otherwise, it says so (closedByOperator), so that the relay selected
// before is read again once.
class LineOverviewWindow : public QDialog
{
    Q_OBJECT
public:
    LineOverviewWindow(RelaySession &session, Operator &op, QWidget *parent);

    // Shows the window and starts the rounds over these relays.
    void watch(const QList<quint8> &addresses);
    LineOverviewPage &page() { return *m_page; }

Q_SIGNALS:
    void identifyRequested(quint8 address);
    void portLost(const QString &text);
    void closedByOperator();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    // Closes the window for a reason of its own: no closedByOperator().
    void closeFor(const std::function<void()> &report);

    LineOverviewPage *m_page;
    bool m_closingForReport = false;
};

} // namespace miv
