#pragma once

#include "core/TextGridModel.h"

#include <array>
#include <QAbstractTableModel>
#include <QList>
#include <QString>

namespace miv {

// The journal grid `sg1`: one row per event read from the relay, at least one
// row and at most 100. The cells are the working store of the journal on
// screen: the reading fills them and the report and the CSV file take them
// from here. Before the first reading the grid has 100 rows.
class JournalGrid : public TextGridModel
{
    Q_OBJECT
public:
    enum Column {
        Number, // "Номер": the position in the list, from 1
        Date, // "Дата события"
        Event, // "Событие"
        Details, // "Информация"
        Spare1, // hidden, always empty
        Spare2, // hidden, always empty
        ColumnCount
    };
    static constexpr int maximumRows = 100;

    explicit JournalGrid(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Cell texts; cells outside the grid read as empty and are not written.
    QString text(int row, int column) const override;
    void setText(int row, int column, const QString &text) override;

    // Writes the four visible cells of `row`, growing the grid to reach it
    // (up to maximumRows); a row beyond that is ignored.
    void setRow(int row, const QString &number, const QString &date, const QString &event,
                const QString &details);
    // Cuts or grows the grid to `rows`, kept within 1..maximumRows. Rows that
    // stay keep their texts; new rows are empty.
    void setRowCount(int rows);
    // Empties every cell of `row`.
    void clearRow(int row);

    // The grid's header texts of columns 0-3.
    static const std::array<QString, 4> &captions();

private:
    using Row = std::array<QString, ColumnCount>;
    bool isValidCell(int row, int column) const override;

    QList<Row> m_rows;
};

} // namespace miv
