#include "app/TrendWindow.h"

#include "app/TrendChart.h"
#include "link/RelaySession.h"

#include <QVBoxLayout>

namespace miv {

TrendWindow::TrendWindow(RelaySession &session, Operator &op, QWidget *parent)
    : QDialog(parent),
      m_session(session),
      m_chart(new TrendChart(session.trend, op, session.decimalSeparator, this))
{
    setObjectName(QStringLiteral("trendWindow"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(820, 480);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_chart);
    nameRelay();
}

void TrendWindow::nameRelay()
{
    const CurrentDevice &device = m_session.device;
    setWindowTitle(device.networkAddress == 0
                           ? QStringLiteral("График")
                           : QStringLiteral("График: устройство №%1, заводской №%2")
                                     .arg(device.networkAddress)
                                     .arg(device.factoryNumber));
}

void TrendWindow::open()
{
    nameRelay();
    m_chart->showNewPoints();
    show();
    raise();
    activateWindow();
}

void TrendWindow::showNewPoints()
{
    if (!isVisible())
        return;
    nameRelay();
    m_chart->showNewPoints();
}

} // namespace miv
