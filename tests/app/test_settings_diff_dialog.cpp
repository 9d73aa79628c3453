#include "app/SettingsDiffDialog.h"

#include <gtest/gtest.h>
#include <QTableWidget>

using namespace miv;

TEST(SettingsDiffDialog, showsOneRowPerDifferenceWithItsKind)
{
    using Kind = SettingsDifference::Kind;
    const QList<SettingsDifference> differences{
            {Kind::Differs, 5, QStringLiteral("Время пуска"), QStringLiteral("40"),
             QStringLiteral("45")},
            {Kind::NotInFile, 7, QStringLiteral("Уставка"), QStringLiteral("3"), {}},
            {Kind::Rejected, -1, QStringLiteral("Метка5"), QStringLiteral("08:00"),
             QStringLiteral("25:00")},
    };
    const SettingsDiffDialog dialog(QStringLiteral("/tmp/pump.miv"), differences);
    const QTableWidget *table = dialog.table();
    ASSERT_EQ(table->rowCount(), 3);
    const QStringList expected[] = {
            {QStringLiteral("Время пуска"), QStringLiteral("40"), QStringLiteral("45"),
             QStringLiteral("Отличается")},
            {QStringLiteral("Уставка"), QStringLiteral("3"), QString(),
             QStringLiteral("Нет в файле")},
            {QStringLiteral("Метка5"), QStringLiteral("08:00"), QStringLiteral("25:00"),
             QStringLiteral("Не принимается")},
    };
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(table->item(row, column)->text(), expected[row][column])
                    << row << "," << column;
}
