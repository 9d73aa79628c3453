#pragma once

#include "core/ParameterCatalogue.h"
#include "core/TextGridModel.h"

#include <array>
#include <QAbstractTableModel>
#include <QStringList>

namespace miv {

// The configuration grid `sg`: 34 rows, one per catalogue row, and six columns
// of texts. The cells are the working store of the configuration on screen:
// reading, editing, writing and the settings file all go through them.
class ConfigGrid : public TextGridModel
{
    Q_OBJECT
public:
    enum Column {
        Picture, // "Пункт в меню реле": the view draws the row's picture
        Name, // "Название параметра"
        Value, // "Значение": value text, switch text or the disabled text
        Change, // "Изменение": "*" while an operator change is not written
        Register, // hidden: the row's register, four hex digits
        SavedText, // hidden: a disabled row's value text; empty otherwise
        ColumnCount
    };

    explicit ConfigGrid(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Cell texts; out-of-range cells read as empty and are not written.
    QString text(int row, int column) const override;
    void setText(int row, int column, const QString &text) override;

    // Empties every cell, then names and registers of rows 0-33 from the catalogue.
    void fillFromCatalogue(const ParameterCatalogue &catalogue);
    // Empties every cell.
    void clearCells();

    // Puts the value text aside in column 5 and shows the disabled text; a
    // pending change of the row is dropped. A row already disabled keeps the
    // text it put aside (only its mark is dropped).
    void disableRow(int row);
    // Brings the text put aside back into column 2. A row that is not
    // disabled is left alone, so that its value is never blanked.
    void enableRow(int row);
    // Disabled: column 5 holds a text put aside, or column 2 shows the disabled text.
    bool isDisabled(int row) const;

    // The bulk pass: every dependent row of a switch that reads "откл." is
    // disabled. Only disables.
    void applySwitches();
    // The rule for one switch row in both directions; other rows change nothing.
    void switchToggled(int row);
    // The reverse of applySwitches for switches that read "вкл.": their
    // dependent rows that are still disabled come back with the text put aside.
    void enableSwitchedOn();

    // The value text of a row as the relay reported it at the last read;
    // empty before any read and after the grid is emptied or refilled.
    QString relayText(int row) const;
    void setRelayText(int row, const QString &text);
    // The row shows exactly what the relay reported: nobody changed it.
    bool holdsRelayValue(int row) const;

    bool isMarked(int row) const;
    void mark(int row);
    void unmark(int row);

private:
    bool isValidCell(int row, int column) const override;
    void changed(int row, int column);

    std::array<std::array<QString, ColumnCount>, ConfigRow::count> m_cells;
    std::array<QString, ConfigRow::count> m_relayTexts;
};

// Empties every cell of any text grid (for the journal grid as well).
void clearCells(QAbstractItemModel &grid);
// The start-up filling of the journal grid: every cell emptied, then "#" in
// column 0 of rows 0-99 (as many of them as the grid has).
void fillJournalNumbers(QAbstractItemModel &journal);

} // namespace miv
