#pragma once

#include <QList>
#include <utility>
#include <QObject>

class QHeaderView;
class QTableView;

namespace miv {

// A grid of the main window whose columns follow a wider window: the
// columns named take whatever width the grid has beyond the others, shared
// by their weights, each never narrower than its form width and never wider
// than its widest text needs, when that is known (what a capped column leaves
// goes to the others, or stays empty); on a window narrower than the form
// the grid scrolls as before. The header over the
// grid (its sections 2 pixels wider than the grid's columns, as
// Tmf::hSectionResize keeps them) is resized, and the grid follows it. A
// section the operator drags keeps its width; the named ones give or take
// the difference.
class GridStretch final : public QObject
{
public:
    struct Stretching
    {
        int section;
        int weight;
        int widest = 0; // the column its widest text needs; 0: no bound
    };

    // Lives as long as `grid`; `formSections` are the sections' widths as set up.
    static GridStretch *install(QTableView *grid, QHeaderView *header,
                                const QList<int> &formSections,
                                const QList<Stretching> &stretching);
    // Fits the named sections, and their grid columns, to the grid's width
    // now (after a new model reset the columns).
    void fit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    GridStretch(QTableView *grid, QHeaderView *header, const QList<int> &formSections,
                const QList<Stretching> &stretching);
    bool isStretching(int section) const;
    // The width of each named column when the named ones have `room`: section, width.
    QList<std::pair<int, int>> shares(int room) const;

    QTableView *m_grid;
    QHeaderView *m_header;
    QList<int> m_formSections;
    QList<Stretching> m_stretching;
    bool m_fitting = false;
};

} // namespace miv
