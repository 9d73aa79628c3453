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
    // Each named column has its form width at least; what the grid has
    // beyond them is shared by weight, a column taking no more than its
    // widest text needs (what it leaves goes to the others).
    QList<std::pair<int, int>> widths;
    QList<Stretching> open;
    for (const Stretching &s : m_stretching) {
        const int form = m_formSections.value(s.section) - sectionAllowance;
        widths.append({s.section, form});
        room -= form;
        if (s.widest == 0 || s.widest > form)
            open.append(s);
    }
    const auto widthOf = [&widths](int section) -> int & {
        return std::find_if(widths.begin(), widths.end(),
                            [section](const auto &w) { return w.first == section; })
                ->second;
    };
    for (bool capped = true; capped && room > 0 && !open.isEmpty();) {
        capped = false;
        const int weights = weightOf(open);
        for (qsizetype k = 0; k < open.size() && !capped; ++k) {
            int &width = widthOf(open[k].section);
            capped =
                    open[k].widest > 0 && width + room * open[k].weight / weights >= open[k].widest;
            if (capped) {
                room -= open[k].widest - width;
                width = open[k].widest;
                open.removeAt(k);
            }
        }
    }
    const int weights = weightOf(open);
    int given = 0;
    for (qsizetype k = 0; k < open.size() && room > 0; ++k) {
        // The last one takes what rounding left, so that nothing is lost.
        const int share = k + 1 == open.size() ? room - given : room * open[k].weight / weights;
        given += share;
        widthOf(open[k].section) += share;
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
    for (const auto &[section, column] : shares(room)) {
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
