#include "core/ConfigGrid.h"

#include "core/DependentRowRule.h"
#include "core/Texts.h"

namespace miv {

namespace {

const QString changeMark = QStringLiteral("*");

} // namespace

ConfigGrid::ConfigGrid(QObject *parent) : TextGridModel(parent) { }

int ConfigGrid::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ConfigRow::count;
}

int ConfigGrid::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ConfigGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Picture:
        return QStringLiteral("Пункт в меню реле");
    case Name:
        return QStringLiteral("Название параметра");
    case Value:
        return QStringLiteral("Значение");
    case Change:
        return QStringLiteral("Изменение");
    case Register:
    case SavedText:
        return QString();
    default:
        return {};
    }
}

Qt::ItemFlags ConfigGrid::flags(const QModelIndex &index) const
{
    // Values change through the value editor, never by typing into a cell.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

bool ConfigGrid::isValidCell(int row, int column) const
{
    return row >= 0 && row < ConfigRow::count && column >= 0 && column < ColumnCount;
}

QString ConfigGrid::text(int row, int column) const
{
    return isValidCell(row, column) ? m_cells[size_t(row)][size_t(column)] : QString();
}

void ConfigGrid::setText(int row, int column, const QString &text)
{
    if (!isValidCell(row, column))
        return;
    QString &cell = m_cells[size_t(row)][size_t(column)];
    if (cell == text)
        return;
    cell = text;
    changed(row, column);
}

void ConfigGrid::changed(int row, int column)
{
    const QModelIndex at = index(row, column);
    Q_EMIT dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole});
}

void ConfigGrid::clearCells()
{
    beginResetModel();
    for (auto &row : m_cells)
        for (QString &cell : row)
            cell.clear();
    m_relayTexts.fill(QString());
    endResetModel();
}

void ConfigGrid::fillFromCatalogue(const ParameterCatalogue &catalogue)
{
    beginResetModel();
    for (int row = 0; row < ConfigRow::count; ++row) {
        auto &cells = m_cells[size_t(row)];
        for (QString &cell : cells)
            cell.clear();
        cells[Name] = catalogue.record(row).name;
        cells[Register] = registerColumnText(catalogue.registerAddress(row));
    }
    m_relayTexts.fill(QString());
    endResetModel();
}

QString ConfigGrid::relayText(int row) const
{
    return row >= 0 && row < ConfigRow::count ? m_relayTexts[size_t(row)] : QString();
}

void ConfigGrid::setRelayText(int row, const QString &text)
{
    if (row >= 0 && row < ConfigRow::count)
        m_relayTexts[size_t(row)] = text;
}

bool ConfigGrid::holdsRelayValue(int row) const
{
    const QString reported = relayText(row);
    return !reported.isEmpty() && text(row, Value) == reported;
}

bool ConfigGrid::isDisabled(int row) const
{
    return !text(row, SavedText).isEmpty() || text(row, Value) == Texts::functionOff;
}

void ConfigGrid::disableRow(int row)
{
    if (!isDisabled(row))
        setText(row, SavedText, text(row, Value));
    setText(row, Value, Texts::functionOff);
    setText(row, Change, QString());
}

void ConfigGrid::enableRow(int row)
{
    if (!isDisabled(row))
        return;
    setText(row, Value, text(row, SavedText));
    setText(row, SavedText, QString());
}

void ConfigGrid::applySwitches()
{
    for (const DependentRowRule &rule : dependentRowRules)
        if (text(rule.switchRow, Value) == onOffTexts[0])
            for (int row : rule.dependentRows())
                disableRow(row);
}

void ConfigGrid::enableSwitchedOn()
{
    for (const DependentRowRule &rule : dependentRowRules)
        if (text(rule.switchRow, Value) == onOffTexts[1])
            for (int row : rule.dependentRows())
                enableRow(row);
}

void ConfigGrid::switchToggled(int row)
{
    const DependentRowRule *rule = dependentRowRuleOf(row);
    if (!rule)
        return;
    const bool off = text(row, Value) == onOffTexts[0];
    for (int dependent : rule->dependentRows()) {
        if (off)
            disableRow(dependent);
        else
            enableRow(dependent);
    }
}

bool ConfigGrid::isMarked(int row) const
{
    return text(row, Change) == changeMark;
}

void ConfigGrid::mark(int row)
{
    setText(row, Change, changeMark);
}

void ConfigGrid::unmark(int row)
{
    setText(row, Change, QString());
}

void clearCells(QAbstractItemModel &grid)
{
    for (int row = 0; row < grid.rowCount(); ++row)
        for (int column = 0; column < grid.columnCount(); ++column)
            grid.setData(grid.index(row, column), QString(), Qt::EditRole);
}

void fillJournalNumbers(QAbstractItemModel &journal)
{
    clearCells(journal);
    const int rows = std::min(100, journal.rowCount());
    for (int row = 0; row < rows; ++row)
        journal.setData(journal.index(row, 0), QStringLiteral("#"), Qt::EditRole);
}

} // namespace miv
