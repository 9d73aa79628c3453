#include "core/LineOverviewModel.h"

#include "core/TextFormats.h"

#include <cmath>
#include <cstdlib>

namespace miv {

QString clockOffsetText(std::optional<qint64> offsetMs)
{
    if (!offsetMs)
        return {};
    const qint64 seconds = qint64(std::llround(double(*offsetMs) / 1000.0));
    return (seconds > 0 ? QStringLiteral("+") : QString()) + QString::number(seconds)
            + QStringLiteral(" с");
}

QString clockOffsetReadableText(std::optional<qint64> offsetMs)
{
    if (!offsetMs)
        return {};
    const qint64 seconds = qint64(std::llround(double(*offsetMs) / 1000.0));
    if (std::abs(seconds) < 60)
        return clockOffsetText(offsetMs);
    const qint64 minutes = std::abs(seconds) / 60;
    const qint64 units[] = {minutes / (24 * 60), minutes / 60 % 24, minutes % 60};
    const QString names[] = {QStringLiteral("сут"), QStringLiteral("ч"), QStringLiteral("мин")};
    const int largest = units[0] > 0 ? 0 : units[1] > 0 ? 1 : 2;
    QString text = QString::number(units[largest]) + u' ' + names[largest];
    if (largest < 2 && units[largest + 1] > 0)
        text += u' ' + QString::number(units[largest + 1]) + u' ' + names[largest + 1];
    return (seconds > 0 ? u'+' : u'-') + text;
}

int LineOverviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int LineOverviewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString LineOverviewModel::cellText(const OverviewRow &row, int column)
{
    switch (column) {
    case Address:
        return QString::number(row.address);
    case Name:
        return row.typeName;
    case FactoryNumber:
        return row.factoryNumber ? QString::number(*row.factoryNumber) : QString();
    case State:
        return row.state;
    case CurrentA:
    case CurrentB:
    case CurrentC:
        return row.currents[std::size_t(column - CurrentA)].trimmed();
    case Temperature:
        return row.temperature.trimmed();
    case Alarms:
        return row.alarms.join(QStringLiteral(", "));
    case ClockOffset:
        return clockOffsetReadableText(row.clockOffsetMs);
    case ReadAt:
        return row.readAt.isValid() ? row.readAt.toString(TextFormats::shortTime) : QString();
    default:
        return {};
    }
}

QVariant LineOverviewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= ColumnCount)
        return {};
    const OverviewRow &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return cellText(row, index.column());
    case Qt::TextAlignmentRole: {
        const int column = index.column();
        const bool number = column == Address || column == FactoryNumber
                || (column >= CurrentA && column <= Temperature) || column == ClockOffset;
        return QVariant::fromValue(
                Qt::Alignment((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    case rowColourRole:
        return int(row.colour);
    default:
        return {};
    }
}

QVariant LineOverviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const std::array<QString, ColumnCount> headers{
            QStringLiteral("Адрес"),       QStringLiteral("Тип"),
            QStringLiteral("Заводской №"), QStringLiteral("Состояние"),
            QStringLiteral("Ia"),          QStringLiteral("Ib"),
            QStringLiteral("Ic"),          QStringLiteral("Температура"),
            QStringLiteral("Аварии"),      QStringLiteral("Часы"),
            QStringLiteral("Время"),
    };
    return section >= 0 && section < ColumnCount ? headers[std::size_t(section)] : QVariant();
}

void LineOverviewModel::setAddresses(const QList<quint8> &addresses)
{
    beginResetModel();
    m_rows.clear();
    for (quint8 address : addresses) {
        OverviewRow row;
        row.address = address;
        m_rows << row;
    }
    endResetModel();
}

void LineOverviewModel::setRow(int index, const OverviewRow &row)
{
    if (index < 0 || index >= m_rows.size())
        return;
    m_rows[index] = row;
    Q_EMIT dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
}

} // namespace miv
