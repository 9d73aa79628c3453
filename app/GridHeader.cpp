#include "app/GridHeader.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStandardItemModel>

namespace miv {

GridHeader::GridHeader(QWidget *parent) : QHeaderView(Qt::Horizontal, parent)
{
    setDefaultAlignment(Qt::AlignCenter);
    setSectionsClickable(false);
    setHighlightSections(false);
    setStretchLastSection(false);
}

void GridHeader::setSections(const QStringList &captions, const QList<int> &widths)
{
    auto *captionsModel = new QStandardItemModel(0, int(captions.size()), this);
    captionsModel->setHorizontalHeaderLabels(captions);
    setModel(captionsModel);
    for (int section = 0; section < widths.size(); ++section)
        resizeSection(section, widths[section]);
    // As tall as the application's own font for a header needs (usually
    // larger than the window's 8 points), so that the captions have room.
    setFixedHeight(QFontMetrics(QApplication::font(this)).height() + 8);
}

} // namespace miv
