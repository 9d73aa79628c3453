#include "app/ActionTable.h"

namespace miv {

namespace ActionTable {

const std::array<ActionInfo, actionCount> &all()
{
    static const std::array<ActionInfo, actionCount> table{{
            {ActionId::a_pooling, "a_pooling", QStringLiteral("Опрос"),
             QStringLiteral("Опрос устройств"), 0},
            {ActionId::a_getinfo, "a_getinfo", QStringLiteral("Соединение"),
             QStringLiteral("Получить информацию из устройства"), 1},
            {ActionId::a_refresh, "a_refresh", QStringLiteral("Обновить"),
             QStringLiteral("Обновить"), 2},
            {ActionId::a_setref, "a_setref", QStringLiteral("Установить обновление"),
             QStringLiteral("Установить интервал обновления"), 4},
            {ActionId::a_print, "a_print", QStringLiteral("Отчёт"),
             QStringLiteral("Сформировать отчёт"), 5},
            {ActionId::a_getdata, "a_getdata", QStringLiteral("Получить"),
             QStringLiteral("Получить конфигурацию из устройства"), 6},
            {ActionId::a_setdata, "a_setdata", QStringLiteral("Записать"),
             QStringLiteral("Записать конфигурацию в устройство"), 7},
            {ActionId::a_port, "a_port", QStringLiteral("Порт"),
             QStringLiteral("Изменить состояние подключения"), iconPlugConnected},
            {ActionId::a_exit, "a_exit", QStringLiteral("Выход"), QString(), -1},
            {ActionId::a_about, "a_about", QStringLiteral("О программе..."),
             QStringLiteral("О программе"), -1},
            {ActionId::a_chpass, "a_chpass", QStringLiteral("Изменение пароля"),
             QStringLiteral("Изменить пароль"), -1},
            {ActionId::a_save, "a_save", QStringLiteral("Сохранить в файл..."),
             QStringLiteral("Сохранить в файл"), 10},
            {ActionId::a_load, "a_load", QStringLiteral("Загрузить из файла..."),
             QStringLiteral("Загрузить из файла"), 11},
            {ActionId::a_manual, "a_manual", QStringLiteral("Руководство оператора"),
             QStringLiteral("Руководство оператора: раздел о вкладке на экране"), -1, "F1"},
    }};
    return table;
}

const ActionInfo &info(ActionId id)
{
    return all()[std::size_t(id)];
}

const std::array<std::optional<ActionId>, 14> &toolbarOrder()
{
    static const std::array<std::optional<ActionId>, 14> order{
            ActionId::a_pooling, ActionId::a_getinfo, std::nullopt,      ActionId::a_refresh,
            ActionId::a_setref,  std::nullopt,        ActionId::a_print, std::nullopt,
            ActionId::a_getdata, ActionId::a_setdata, ActionId::a_load,  ActionId::a_save,
            std::nullopt,        ActionId::a_port,
    };
    return order;
}

} // namespace ActionTable

} // namespace miv
