#include "app/LineOverviewWindow.h"

#include "app/LineOverviewPage.h"

#include <QVBoxLayout>

namespace miv {

LineOverviewWindow::LineOverviewWindow(RelaySession &session, Operator &op, QWidget *parent)
    : QDialog(parent), m_page(new LineOverviewPage(session, op, this))
{
    setObjectName(QStringLiteral("overviewWindow"));
    setWindowTitle(QStringLiteral("Обзор линии"));
    setWindowModality(Qt::ApplicationModal);
    resize(760, 420);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_page);
    connect(m_page, &LineOverviewPage::identifyRequested, this, [this](quint8 address) {
        closeFor([this, address] { Q_EMIT identifyRequested(address); });
    });
    connect(m_page, &LineOverviewPage::portLost, this,
            [this](const QString &text) { closeFor([this, text] { Q_EMIT portLost(text); }); });
    connect(this, &QDialog::finished, this, [this] {
        if (!m_closingForReport)
            Q_EMIT closedByOperator();
    });
}

void LineOverviewWindow::closeFor(const std::function<void()> &report)
{
    m_closingForReport = true;
    close();
    m_closingForReport = false;
    report();
}

void LineOverviewWindow::watch(const QList<quint8> &addresses)
{
    show();
    raise();
    m_page->start(addresses);
}

void LineOverviewWindow::hideEvent(QHideEvent *event)
{
    // Not one exchange more once the window is gone.
    m_page->stop();
    QDialog::hideEvent(event);
}

} // namespace miv
