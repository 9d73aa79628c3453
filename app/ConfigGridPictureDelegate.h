#pragma once

#include <QList>
#include <QPixmap>
#include <QStyledItemDelegate>

namespace miv {

// Draws column 0 of the configuration grid: the row's 24×24 picture from the
// image list, at the cell's top edge, centred across the cell. Rows without a
// picture, and pictures the list does not hold, leave the cell empty.
class ConfigGridPictureDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ConfigGridPictureDelegate(QList<QPixmap> images, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static constexpr int pictureSize = 24;

private:
    QList<QPixmap> m_images;
};

} // namespace miv
