#include "app/ConfigGridPictureDelegate.h"

#include "config/RowPictures.h"

#include <QPainter>

namespace miv {

ConfigGridPictureDelegate::ConfigGridPictureDelegate(QList<QPixmap> images, QObject *parent)
    : QStyledItemDelegate(parent), m_images(std::move(images))
{ }

void ConfigGridPictureDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    // The cell's background and selection as for any other cell; the model
    // holds no text for column 0.
    QStyledItemDelegate::paint(painter, option, index);
    const auto picture = rowPictureIndex(index.row());
    if (!picture || *picture >= m_images.size())
        return;
    const QPixmap &image = m_images.at(*picture);
    const QRect cell = option.rect;
    const QRect target(cell.left() + (cell.width() - pictureSize) / 2, cell.top(), pictureSize,
                       pictureSize);
    painter->save();
    painter->setClipRect(cell);
    painter->drawPixmap(target, image);
    painter->restore();
}

QSize ConfigGridPictureDelegate::sizeHint(const QStyleOptionViewItem &option,
                                          const QModelIndex &index) const
{
    return QStyledItemDelegate::sizeHint(option, index).expandedTo(QSize(pictureSize, pictureSize));
}

} // namespace miv
