#include "app/GridStretch.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>

namespace miv {

namespace {

// A grid column is its header section less this (Tmf::hSectionResize).
constexpr int sectionAllowance = 2;

} // namespace

GridStretch *GridStretch::install(QTableView *grid, QHeaderView *header,
                                  const QList<int> &formSections,
                                  const QList<Stretching> &stretching)
{
    auto *stretch = new GridStretch(grid, header, formSections, stretching);
    grid->viewport()->installEventFilter(stretch);
    QObject::connect(header, &QHeaderView::sectionResized, stretch, [stretch](int section) {
        if (!stretch->isStretching(section))
            stretch->fit();
    });
    stretch->fit();
    return stretch;
}

GridStretch::GridStretch(QTableView *grid, QHeaderView *header, const QList<int> &formSections,
                         const QList<Stretching> &stretching)
    : QObject(grid),
      m_grid(grid),
      m_header(header),
      m_formSections(formSections),
      m_stretching(stretching)
{ }

bool GridStretch::isStretching(int section) const
{
    return std::any_of(m_stretching.begin(), m_stretching.end(),
                       [section](const Stretching &s) { return s.section == section; });
}

namespace {

int weightOf(const QList<GridStretch::Stretching> &stretching)
{
    int weights = 0;
    for (const GridStretch::Stretching &s : stretching)
        weights += s.weight;
    return weights;
}

} // namespace

QList<std::pair<int, int>> GridStretch::shares(int room) const
{
    // A section whose share is more than its widest text needs takes only
    // that; the others share the rest by their weights.
    QList<Stretching> open = m_stretching;
    QList<std::pair<int, int>> widths;
    for (bool capped = true; capped && !open.isEmpty();) {
        capped = false;
        const int weights = weightOf(open);
        for (qsizetype k = 0; k < open.size() && !capped; ++k) {
            capped = open[k].widest > 0 && room * open[k].weight / weights > open[k].widest;
            if (capped) {
                widths.append({open[k].section, open[k].widest});
                room -= open[k].widest;
                open.removeAt(k);
            }
        }
    }
    const int weights = weightOf(open);
    int given = 0;
    for (qsizetype k = 0; k < open.size(); ++k) {
        // The last one takes what rounding left, so that nothing is lost.
        const int share = k + 1 == open.size() ? room - given : room * open[k].weight / weights;
        given += share;
        widths.append({open[k].section, share});
    }
    return widths;
}

void GridStretch::fit()
{
    if (m_fitting)
        return;
    m_fitting = true;
    // The width the named columns have: the grid's, less the columns that keep theirs.
    int room = m_grid->viewport()->width();
    for (int section = 0; section < m_header->count(); ++section)
        if (!isStretching(section))
            room -= m_grid->columnWidth(section);
    for (const auto &[section, width] : shares(room)) {
        const int column = std::max(m_formSections.value(section) - sectionAllowance, width);
        m_header->resizeSection(section, column + sectionAllowance);
        // Also where the section kept its size: a new model resets the columns.
        m_grid->setColumnWidth(section, column);
    }
    m_fitting = false;
}

bool GridStretch::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize)
        fit();
    return QObject::eventFilter(watched, event);
}

} // namespace miv
