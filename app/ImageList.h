#pragma once

#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QStringList>

namespace miv {

// An image list of the data module: pictures of one size, drawn from SVG
// resources at the screen's pixel ratio so that they stay sharp at 16 and 24
// pixels and on high-DPI screens.
class ImageList
{
public:
    ImageList(QStringList resourcePaths, QSize size);

    static ImageList toolbarIcons(); // il0: 12 icons 16 x 16
    static ImageList rowPictures(); // il: 27 pictures 24 x 24 for the configuration grid
    static ImageList lampIcons(); // il2: 10 lamp icons 16 x 16

    int count() const { return int(m_paths.size()); }
    QSize size() const { return m_size; }
    // An icon that renders the picture afresh for every size and pixel ratio.
    QIcon icon(int index) const;
    // The picture at the list's size for a screen of the given pixel ratio.
    // Drawn once per ratio and kept: the lamps take their pictures at every
    // refresh and blink, and parsing the SVG each time only churned the heap.
    QPixmap pixmap(int index, qreal devicePixelRatio) const;

private:
    QStringList m_paths;
    QSize m_size;
    mutable QHash<QPair<int, qreal>, QPixmap> m_drawn; // at most count() per pixel ratio
};

} // namespace miv
