#pragma once

#include <QObject>
#include <QString>

class QAbstractItemView;
class QPoint;

namespace miv {

// A grid's cell whose text its column is too narrow for ("Информация" of the
// journal, a long event name or value) shows the text whole as a tool tip
// when the pointer rests on it; a cell that shows all of its text has none.
class CutCellToolTips final : public QObject
{
public:
    // Gives `view` such tool tips for as long as it lives.
    static void install(QAbstractItemView *view);
    // The whole text of the cell at `position` (in the view's viewport) when
    // it does not fit its cell; empty when it fits or there is no cell.
    static QString toolTipAt(const QAbstractItemView &view, const QPoint &position);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit CutCellToolTips(QAbstractItemView *view);
    QAbstractItemView *m_view;
};

} // namespace miv
