#include "core/TextGridModel.h"

namespace miv {

QVariant TextGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !isValidCell(index.row(), index.column()))
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return text(index.row(), index.column());
    return {};
}

bool TextGridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !isValidCell(index.row(), index.column()))
        return false;
    if (value.typeId() != QMetaType::QString)
        return false;
    setText(index.row(), index.column(), value.toString());
    return true;
}

} // namespace miv
