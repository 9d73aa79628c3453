#include "core/ConfigGrid.h"
#include "core/JournalGrid.h"
#include "core/Texts.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QSignalSpy>

using namespace miv;

namespace {

const QString off = QStringLiteral("откл.");
const QString on = QStringLiteral("вкл.");

class ConfigGridTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        grid.fillFromCatalogue(catalogue);
        // Every numeric row has a value, every switch reads "вкл.".
        for (int row = 0; row <= ConfigRow::lastNumeric; ++row)
            grid.setText(row, ConfigGrid::Value, QStringLiteral("v%1").arg(row));
        for (int row = ConfigRow::firstSwitch; row <= ConfigRow::lastSwitch; ++row)
            grid.setText(row, ConfigGrid::Value, on);
    }

    QStringList values() const
    {
        QStringList texts;
        for (int row = 0; row < ConfigRow::count; ++row)
            texts << grid.text(row, ConfigGrid::Value);
        return texts;
    }

    ParameterCatalogue catalogue;
    ConfigGrid grid;
    QAbstractItemModelTester tester{&grid, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(ConfigGridTest, shapeAndCaptions)
{
    EXPECT_EQ(grid.rowCount(), 34);
    EXPECT_EQ(grid.columnCount(), 6);
    const QStringList captions{
            "Пункт в меню реле", "Название параметра", "Значение", "Изменение", "", ""};
    for (int column = 0; column < 6; ++column)
        EXPECT_EQ(grid.headerData(column, Qt::Horizontal).toString(), captions[column]);
    EXPECT_FALSE(grid.data(grid.index(0, 0), Qt::DecorationRole).isValid());
}

TEST_F(ConfigGridTest, fillConfWritesNamesAndRegistersOnly)
{
    // The register column as the relay's menu lists it, row by row.
    const QStringList registers{"0050", "0051", "0052", "0053", "0054", "0055", "0056",
                                "0057", "0058", "0059", "005A", "005B", "0060", "0061",
                                "0062", "0063", "0064", "0065", "0066", "0067", "0068",
                                "0069", "006A", "0080", "0080", "0080", "0080", "0080",
                                "0080", "0081", "0081", "0081", "0070", "0042"};
    ASSERT_EQ(registers.size(), ConfigRow::count);
    grid.mark(4);
    grid.fillFromCatalogue(catalogue);
    for (int row = 0; row < ConfigRow::count; ++row) {
        EXPECT_EQ(grid.text(row, ConfigGrid::Name), catalogue.record(row).name);
        EXPECT_EQ(grid.text(row, ConfigGrid::Register), registers[row]) << row;
        for (int column :
             {ConfigGrid::Picture, ConfigGrid::Value, ConfigGrid::Change, ConfigGrid::SavedText})
            EXPECT_TRUE(grid.text(row, column).isEmpty()) << row << " " << column;
    }
}

TEST_F(ConfigGridTest, setDataTakesTextsOnlyInRange)
{
    EXPECT_TRUE(grid.setData(grid.index(3, ConfigGrid::Value), QStringLiteral("2,5")));
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), QStringLiteral("2,5"));
    EXPECT_FALSE(grid.setData(grid.index(3, ConfigGrid::Value), 25));
    EXPECT_FALSE(
            grid.setData(grid.index(3, ConfigGrid::Value), QStringLiteral("x"), Qt::DisplayRole));
    grid.setText(40, 2, QStringLiteral("x"));
    EXPECT_TRUE(grid.text(40, 2).isEmpty());
}

TEST_F(ConfigGridTest, disablingPutsTheTextAsideAndDropsTheMark)
{
    grid.mark(3);
    grid.disableRow(3);
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), Texts::functionOff);
    EXPECT_EQ(grid.text(3, ConfigGrid::SavedText), QStringLiteral("v3"));
    EXPECT_FALSE(grid.isMarked(3));
    EXPECT_TRUE(grid.isDisabled(3));

    // Disabling again must not lose the text put aside.
    grid.disableRow(3);
    EXPECT_EQ(grid.text(3, ConfigGrid::SavedText), QStringLiteral("v3"));

    grid.enableRow(3);
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), QStringLiteral("v3"));
    EXPECT_TRUE(grid.text(3, ConfigGrid::SavedText).isEmpty());
    EXPECT_FALSE(grid.isDisabled(3));

    // Enabling a row that is not disabled never blanks its value.
    grid.enableRow(3);
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), QStringLiteral("v3"));
}

TEST_F(ConfigGridTest, applySwitchesDisablesTheDependentsOfEverySwitchThatIsOff)
{
    struct Case
    {
        int switchRow;
        QList<int> dependents;
    };
    const Case cases[] = {{23, {3, 18}},  {24, {4, 17}}, {25, {7}}, {26, {}}, {27, {6}},
                          {28, {21, 22}}, {29, {2}},     {30, {}},  {31, {}}};
    for (const Case &c : cases) {
        SetUp();
        grid.setText(c.switchRow, ConfigGrid::Value, off);
        const QStringList before = values();
        grid.applySwitches();
        for (int row = 0; row <= ConfigRow::lastNumeric; ++row) {
            const bool dependent = c.dependents.contains(row);
            EXPECT_EQ(grid.text(row, ConfigGrid::Value),
                      dependent ? Texts::functionOff : before[row])
                    << "switch " << c.switchRow << " row " << row;
            EXPECT_EQ(grid.text(row, ConfigGrid::SavedText), dependent ? before[row] : QString())
                    << "switch " << c.switchRow << " row " << row;
        }
    }
}

TEST_F(ConfigGridTest, applySwitchesNeverEnablesAndIgnoresOtherTexts)
{
    grid.disableRow(3);
    grid.applySwitches(); // row 23 reads "вкл."
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), Texts::functionOff);
    grid.setText(24, ConfigGrid::Value, QStringLiteral("ОТКЛ"));
    grid.applySwitches();
    EXPECT_EQ(grid.text(4, ConfigGrid::Value), QStringLiteral("v4"));
}

TEST_F(ConfigGridTest, toggledSwitchDisablesThenRestoresItsRows)
{
    grid.mark(18);
    grid.setText(23, ConfigGrid::Value, off);
    grid.switchToggled(23);
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), Texts::functionOff);
    EXPECT_EQ(grid.text(18, ConfigGrid::Value), Texts::functionOff);
    EXPECT_FALSE(grid.isMarked(18));

    grid.setText(23, ConfigGrid::Value, on);
    grid.switchToggled(23);
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), QStringLiteral("v3"));
    EXPECT_EQ(grid.text(18, ConfigGrid::Value), QStringLiteral("v18"));
    EXPECT_TRUE(grid.text(18, ConfigGrid::SavedText).isEmpty());
}

TEST_F(ConfigGridTest, togglingSwitchesWithoutRulesChangesNothing)
{
    const QStringList before = values();
    for (int row : {26, 30, 31, 5, 32}) {
        grid.setText(row, ConfigGrid::Value, off);
        grid.switchToggled(row);
        grid.setText(row, ConfigGrid::Value, before[row]);
    }
    EXPECT_EQ(values(), before);
}

TEST_F(ConfigGridTest, enableSwitchedOnBringsBackRowsWhoseSwitchIsOn)
{
    grid.disableRow(3);
    grid.disableRow(18);
    grid.disableRow(4);
    grid.setText(24, ConfigGrid::Value, off);
    grid.enableSwitchedOn();
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), QStringLiteral("v3"));
    EXPECT_EQ(grid.text(18, ConfigGrid::Value), QStringLiteral("v18"));
    EXPECT_EQ(grid.text(4, ConfigGrid::Value), Texts::functionOff);
}

TEST_F(ConfigGridTest, marks)
{
    EXPECT_FALSE(grid.isMarked(5));
    QSignalSpy changed(&grid, &QAbstractItemModel::dataChanged);
    grid.mark(5);
    EXPECT_EQ(grid.text(5, ConfigGrid::Change), QStringLiteral("*"));
    EXPECT_TRUE(grid.isMarked(5));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.first().at(0).toModelIndex(), grid.index(5, ConfigGrid::Change));
    grid.unmark(5);
    EXPECT_FALSE(grid.isMarked(5));
}

TEST_F(ConfigGridTest, clrTabEmptiesEveryCell)
{
    grid.mark(2);
    grid.clearCells();
    for (int row = 0; row < ConfigRow::count; ++row)
        for (int column = 0; column < ConfigGrid::ColumnCount; ++column)
            EXPECT_TRUE(grid.text(row, column).isEmpty());
}

// A plain text table, standing in for the journal grid.
class TextTable : public QAbstractTableModel
{
public:
    TextTable(int rows, int columns) : m_cells(rows, QStringList(columns, QString())) { }
    int rowCount(const QModelIndex & = {}) const override { return int(m_cells.size()); }
    int columnCount(const QModelIndex & = {}) const override { return int(m_cells.front().size()); }
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override
    {
        return role == Qt::DisplayRole ? QVariant(m_cells[index.row()][index.column()])
                                       : QVariant();
    }
    bool setData(const QModelIndex &index, const QVariant &value, int = Qt::EditRole) override
    {
        m_cells[index.row()][index.column()] = value.toString();
        return true;
    }

private:
    QList<QStringList> m_cells;
};

TEST(JournalFilling, emptiesEveryCellThenNumbersTheFirstHundredRows)
{
    TextTable journal(120, 6);
    journal.setData(journal.index(3, 2), QStringLiteral("old"));
    journal.setData(journal.index(110, 0), QStringLiteral("old"));
    fillJournalNumbers(journal);
    for (int row = 0; row < 120; ++row) {
        EXPECT_EQ(journal.data(journal.index(row, 0)).toString(),
                  row < 100 ? QStringLiteral("#") : QString())
                << row;
        for (int column = 1; column < 6; ++column)
            EXPECT_TRUE(journal.data(journal.index(row, column)).toString().isEmpty());
    }
}

TEST(JournalGridModel, keepsOneToAHundredRowsAndTakesTextsOnly)
{
    JournalGrid journal;
    QAbstractItemModelTester tester(&journal,
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(journal.rowCount(), 100);
    ASSERT_EQ(journal.columnCount(), 6);
    EXPECT_EQ(journal.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Событие"));

    journal.setRow(0, "1", "2009.11.05 08:04:00", "e", "i");
    struct Step
    {
        int rowCount; // asked for
        int rowsAfter; // what the grid then has
    };
    const Step steps[] = {{12, 12}, {0, 1}, {-5, 1}, {250, 100}, {37, 37}};
    for (const Step &step : steps) {
        journal.setRowCount(step.rowCount);
        EXPECT_EQ(journal.rowCount(), step.rowsAfter) << step.rowCount;
        EXPECT_EQ(journal.text(0, JournalGrid::Date), QStringLiteral("2009.11.05 08:04:00"))
                << "row 0 stays";
    }
    // A row beyond the grid grows it; one beyond the hundredth is ignored.
    journal.setRowCount(1);
    journal.setRow(4, "5", "d", "e", "i");
    EXPECT_EQ(journal.rowCount(), 5);
    EXPECT_EQ(journal.text(3, JournalGrid::Number), QString());
    journal.setRow(100, "101", "d", "e", "i");
    EXPECT_EQ(journal.rowCount(), 5);

    EXPECT_FALSE(journal.setData(journal.index(0, 1), 5));
    EXPECT_FALSE(journal.setData(journal.index(0, 1), QStringLiteral("x"), Qt::DisplayRole));
    EXPECT_TRUE(journal.setData(journal.index(0, 1), QStringLiteral("x")));
    EXPECT_FALSE(journal.flags(journal.index(0, 1)).testFlag(Qt::ItemIsEditable));
    journal.clearRow(4);
    for (int column = 0; column < JournalGrid::ColumnCount; ++column)
        EXPECT_EQ(journal.text(4, column), QString());
}

} // namespace
