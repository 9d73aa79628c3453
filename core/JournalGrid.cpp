#include "core/JournalGrid.h"

#include <algorithm>

namespace miv {

JournalGrid::JournalGrid(QObject *parent) : TextGridModel(parent), m_rows(maximumRows) { }

int JournalGrid::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int JournalGrid::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const std::array<QString, 4> &JournalGrid::captions()
{
    static const std::array<QString, 4> texts = {
            QStringLiteral("Номер"), QStringLiteral("Дата события"), QStringLiteral("Событие"),
            QStringLiteral("Информация")};
    return texts;
}

QVariant JournalGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section >= 0 && section < int(captions().size()))
        return captions()[size_t(section)];
    if (section >= Spare1 && section < ColumnCount)
        return QString();
    return {};
}

Qt::ItemFlags JournalGrid::flags(const QModelIndex &index) const
{
    // The journal is read from the relay; the operator only looks at it.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

bool JournalGrid::isValidCell(int row, int column) const
{
    return row >= 0 && row < m_rows.size() && column >= 0 && column < ColumnCount;
}

QString JournalGrid::text(int row, int column) const
{
    return isValidCell(row, column) ? m_rows[row][size_t(column)] : QString();
}

void JournalGrid::setText(int row, int column, const QString &text)
{
    if (!isValidCell(row, column))
        return;
    QString &cell = m_rows[row][size_t(column)];
    if (cell == text)
        return;
    cell = text;
    const QModelIndex at = index(row, column);
    Q_EMIT dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole});
}

void JournalGrid::setRow(int row, const QString &number, const QString &date, const QString &event,
                         const QString &details)
{
    if (row < 0 || row >= maximumRows)
        return;
    if (row >= m_rows.size())
        setRowCount(row + 1);
    setText(row, Number, number);
    setText(row, Date, date);
    setText(row, Event, event);
    setText(row, Details, details);
}

void JournalGrid::setRowCount(int rows)
{
    rows = std::clamp(rows, 1, maximumRows);
    const int current = int(m_rows.size());
    if (rows < current) {
        beginRemoveRows({}, rows, current - 1);
        m_rows.resize(rows);
        endRemoveRows();
    } else if (rows > current) {
        beginInsertRows({}, current, rows - 1);
        m_rows.resize(rows);
        endInsertRows();
    }
}

void JournalGrid::clearRow(int row)
{
    for (int column = 0; column < ColumnCount; ++column)
        setText(row, column, QString());
}

} // namespace miv
