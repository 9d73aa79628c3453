#pragma once

#include <QAbstractTableModel>
#include <QString>

namespace miv {

// A table model whose cells are texts, as the program's grids are (the
// configuration grid and the journal grid): the display and edit roles show
// a cell's text, and an edit takes a text and nothing else.
class TextGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Takes a text for Qt::EditRole; refuses anything else.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // Cell texts; out-of-range cells read as empty and are not written.
    virtual QString text(int row, int column) const = 0;
    virtual void setText(int row, int column, const QString &text) = 0;

protected:
    virtual bool isValidCell(int row, int column) const = 0;
};

} // namespace miv
