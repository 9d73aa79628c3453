#include "app/ActionTable.h"
#include "core/Texts.h"

#include <gtest/gtest.h>
#include <QStringList>

using namespace miv;

TEST(ActionTable, captionsHintsAndIconsOfEveryAction)
{
    struct Row
    {
        ActionId id;
        const char *name;
        QString caption;
        QString hint;
        int icon;
    };
    const Row rows[] = {
            {ActionId::a_pooling, "a_pooling", "Опрос", "Опрос устройств", 0},
            {ActionId::a_getinfo, "a_getinfo", "Соединение", "Получить информацию из устройства",
             1},
            {ActionId::a_refresh, "a_refresh", "Обновить", "Обновить", 2},
            {ActionId::a_setref, "a_setref", "Установить обновление",
             "Установить интервал обновления", 4},
            {ActionId::a_print, "a_print", "Отчёт", "Сформировать отчёт", 5},
            {ActionId::a_getdata, "a_getdata", "Получить", "Получить конфигурацию из устройства",
             6},
            {ActionId::a_setdata, "a_setdata", "Записать", "Записать конфигурацию в устройство", 7},
            {ActionId::a_port, "a_port", "Порт", "Изменить состояние подключения", 8},
            {ActionId::a_exit, "a_exit", "Выход", "", -1},
            {ActionId::a_about, "a_about", "О программе...", "О программе", -1},
            {ActionId::a_chpass, "a_chpass", "Изменение пароля", "Изменить пароль", -1},
            {ActionId::a_save, "a_save", "Сохранить в файл...", "Сохранить в файл", 10},
            {ActionId::a_load, "a_load", "Загрузить из файла...", "Загрузить из файла", 11},
    };
    ASSERT_EQ(std::size(rows), ActionTable::all().size());
    for (const Row &row : rows) {
        const ActionInfo &info = ActionTable::info(row.id);
        EXPECT_EQ(info.id, row.id);
        EXPECT_STREQ(info.name, row.name);
        EXPECT_EQ(info.caption, row.caption) << row.name;
        EXPECT_EQ(info.hint, row.hint) << row.name;
        EXPECT_EQ(info.icon, row.icon) << row.name;
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
