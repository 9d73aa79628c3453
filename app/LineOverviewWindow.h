#pragma once

#include <QDialog>
#include <QList>

namespace miv {

class LineOverviewPage;
class Operator;
struct RelaySession;

// "Обзор линии", opened from "Настройки": every relay the last scan found,
// refreshed in turn while the window is open. It keeps the main window from
// starting other work meanwhile (the line serves one exchange at a time),
// and stops its rounds the moment it closes. A double click on a row closes
// it and asks for that relay to be identified.
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

protected:
    void hideEvent(QHideEvent *event) override;

private:
    LineOverviewPage *m_page;
};

} // namespace miv
