#pragma once

#include <QHeaderView>

namespace miv {

// The header control over a grid of the main window (`h`, `h0`): a widget of
// its own above the grid, whose built-in header is hidden. Its captions are
// centred and take no clicks; the grid's columns follow its sections
// (Tmf::hSectionResize) and its scrolling.
class GridHeader : public QHeaderView
{
    Q_OBJECT
public:
    explicit GridHeader(QWidget *parent = nullptr);

    // The captions and the sections' widths, left to right; the height follows the font.
    void setSections(const QStringList &captions, const QList<int> &widths);
};

} // namespace miv
