#include "app/ConfigGridPictureDelegate.h"
#include "core/ConfigGrid.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyleOptionViewItem>

using namespace miv;

namespace {

// Paints one cell of column 0 into an image and returns it.
QImage paintCell(const ConfigGridPictureDelegate &delegate, const ConfigGrid &grid, int row,
                 QSize cellSize)
{
    QImage image(cellSize, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = QRect(QPoint(0, 0), cellSize);
    delegate.paint(&painter, option, grid.index(row, ConfigGrid::Picture));
    painter.end();
    return image;
}

QList<QPixmap> colouredImages(int count)
{
    QList<QPixmap> images;
    for (int i = 0; i < count; ++i) {
        QPixmap pixmap(24, 24);
        pixmap.fill(QColor(9 * i, 0, 255 - 5 * i));
        images << pixmap;
    }
    return images;
}

TEST(ConfigGridPictureDelegate, drawsTheRowsPictureAtTheTopCentred)
{
    ConfigGrid grid;
    const QList<QPixmap> images = colouredImages(27);
    const ConfigGridPictureDelegate delegate(images);
    const QSize cell(117, 40);
    struct Case
    {
        int row;
        int picture;
    };
    for (const Case &c :
         {Case{0, 0}, Case{22, 22}, Case{24, 23}, Case{27, 24}, Case{30, 25}, Case{32, 26}}) {
        const QImage image = paintCell(delegate, grid, c.row, cell);
        const QColor expected = images[c.picture].toImage().pixelColor(0, 0);
        const int left = (cell.width() - 24) / 2;
        EXPECT_EQ(image.pixelColor(left, 0), expected) << c.row;
        EXPECT_EQ(image.pixelColor(left + 23, 23), expected) << c.row;
        EXPECT_NE(image.pixelColor(left - 1, 0), expected) << c.row;
        EXPECT_NE(image.pixelColor(left, 24), expected)
                << c.row << " only 24 pixels high, at the top";
    }
}

TEST(ConfigGridPictureDelegate, rowsWithoutAPictureStayEmpty)
{
    ConfigGrid grid;
    const ConfigGridPictureDelegate delegate(colouredImages(27));
    for (int row : {23, 25, 26, 28, 29, 31, 33}) {
        const QImage image = paintCell(delegate, grid, row, QSize(117, 30));
        EXPECT_EQ(image.pixelColor(58, 10), QColor(Qt::white)) << row;
    }
    // A short image list draws what it has and nothing else.
    const ConfigGridPictureDelegate shortList(colouredImages(5));
    EXPECT_EQ(paintCell(shortList, grid, 10, QSize(117, 30)).pixelColor(58, 10), QColor(Qt::white));
}

} // namespace
