#include "app/ActionTable.h"
#include "core/Texts.h"

#include <gtest/gtest.h>
#include <QSet>
#include <QStringList>

using namespace miv;

// Every action is found by its id under a name of its own, and every button
// of the toolbar shows a picture of its own and tells what it does.
TEST(ActionTable, everyActionByItsIdAndEveryButtonWithItsOwnPicture)
{
    QSet<QString> names;
    for (int k = 0; k < actionCount; ++k) {
        const ActionInfo &info = ActionTable::info(ActionId(k));
        EXPECT_EQ(info.id, ActionId(k));
        EXPECT_FALSE(info.caption.isEmpty()) << info.name;
        names.insert(QString::fromLatin1(info.name));
    }
    EXPECT_EQ(names.size(), actionCount);

    // The pictures the program switches the buttons to are none's own.
    QSet<int> pictures;
    for (const std::optional<ActionId> &id : ActionTable::toolbarOrder()) {
        if (!id)
            continue;
        const ActionInfo &info = ActionTable::info(*id);
        EXPECT_GE(info.icon, 0) << info.name;
        EXPECT_FALSE(info.hint.isEmpty()) << info.name;
        EXPECT_FALSE(pictures.contains(info.icon)) << info.name << " shares its picture";
        EXPECT_NE(info.icon, ActionTable::iconClock) << info.name;
        EXPECT_NE(info.icon, ActionTable::iconPlugPulled) << info.name;
        pictures.insert(info.icon);
    }
}

TEST(ActionTable, toolbarOrderWithSeparators)
{
    QStringList order;
    for (const std::optional<ActionId> &id : ActionTable::toolbarOrder())
        order << (id ? QString::fromLatin1(ActionTable::info(*id).name) : QStringLiteral("|"));
    EXPECT_EQ(order.join(u' '),
              QStringLiteral("a_pooling a_getinfo | a_refresh a_setref | a_print | "
                             "a_getdata a_setdata a_load a_save | a_port"));
}

TEST(ActionTable, titleCarriesOnlyTheFirstThreeCharactersOfTheVersion)
{
    EXPECT_EQ(Texts::applicationTitle, QStringLiteral("КАРВЕН motor config v1.1"));
    EXPECT_EQ(Texts::aboutVersionLine, QStringLiteral("Версия 1.1.080704"));
    EXPECT_EQ(Texts::productTitle, QStringLiteral("Конфигуратор МИВ-04,06"));
}
