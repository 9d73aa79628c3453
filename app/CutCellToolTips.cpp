#include "app/CutCellToolTips.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

namespace miv {

void CutCellToolTips::install(QAbstractItemView *view)
{
    view->viewport()->installEventFilter(new CutCellToolTips(view));
}

CutCellToolTips::CutCellToolTips(QAbstractItemView *view) : QObject(view), m_view(view) { }

QString CutCellToolTips::toolTipAt(const QAbstractItemView &view, const QPoint &position)
{
    const QModelIndex index = view.indexAt(position);
    if (!index.isValid())
        return {};
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return {};
    // The item view draws its text this far in from either edge of the cell.
    const int margins =
            2 * (view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1);
    const int room = view.visualRect(index).width() - margins;
    return view.fontMetrics().horizontalAdvance(text) > room ? text : QString();
}

bool CutCellToolTips::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QString text = toolTipAt(*m_view, help->pos());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, m_view->viewport());
    return true;
}

} // namespace miv
