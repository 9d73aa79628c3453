#include "app/WindowActions.h"

#include "app/ActionTable.h"

#include <optional>
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace miv {

WindowActions::WindowActions(QObject *owner)
{
    for (const ActionInfo &info : ActionTable::all()) {
        auto *action = new QAction(info.caption, owner);
        action->setObjectName(QLatin1String(info.name));
        action->setToolTip(info.hint.isEmpty() ? info.caption : info.hint);
        action->setStatusTip(info.hint);
        action->setProperty("imageIndex", info.icon);
        if (info.icon >= 0)
            action->setIcon(m_toolbarIcons.icon(info.icon));
        if (info.shortcut)
            action->setShortcut(QKeySequence(QLatin1String(info.shortcut)));
        m_actions[std::size_t(info.id)] = action;
    }
    createMenu();
}

void WindowActions::createMenu()
{
    m_menuBar = new QMenuBar;
    m_menuBar->setObjectName(QStringLiteral("mm"));
    m_menuBar->addMenu(QStringLiteral("Программа"))->addAction(action(ActionId::a_exit));
    QMenu *settingsMenu = m_menuBar->addMenu(QStringLiteral("Настройки"));
    m_portSetup = settingsMenu->addAction(QStringLiteral("Настройка порта"));
    m_portSetup->setObjectName(QStringLiteral("N6"));
    m_lineSearch = settingsMenu->addAction(QStringLiteral("Поиск устройства..."));
    m_lineSearch->setObjectName(QStringLiteral("N7"));
    m_compareWithFile = settingsMenu->addAction(QStringLiteral("Сравнить с файлом..."));
    m_compareWithFile->setObjectName(QStringLiteral("a_compare"));
    m_lineOverview = settingsMenu->addAction(QStringLiteral("Обзор линии"));
    m_lineOverview->setObjectName(QStringLiteral("a_overview"));
    m_lineOverview->setStatusTip(
            QStringLiteral("Все устройства последнего опроса в одной таблице"));
    m_approvedCheck = settingsMenu->addAction(QStringLiteral("Сверка с утверждёнными"));
    m_approvedCheck->setObjectName(QStringLiteral("a_approvedCheck"));
    m_approvedCheck->setStatusTip(
            QStringLiteral("Устройства последнего опроса в сравнении с утверждёнными уставками"));
    m_approveSettings = settingsMenu->addAction(QStringLiteral("Утвердить как уставки реле..."));
    m_approveSettings->setObjectName(QStringLiteral("a_approve"));
    m_settingsHistory = settingsMenu->addAction(QStringLiteral("История настроек..."));
    m_settingsHistory->setObjectName(QStringLiteral("a_history"));
    m_settingsSheet = settingsMenu->addAction(QStringLiteral("Лист настроек..."));
    m_settingsSheet->setObjectName(QStringLiteral("a_sheet"));
    m_settingsSheet->setStatusTip(
            QStringLiteral("Лист настроек устройства или файла: Excel, PDF или CSV"));
    QMenu *helpMenu = m_menuBar->addMenu(QStringLiteral("Помощь"));
    helpMenu->addAction(action(ActionId::a_manual));
    helpMenu->addAction(action(ActionId::a_about));
}

QList<QAction *> WindowActions::toolbarRow() const
{
    QList<QAction *> row;
    for (const std::optional<ActionId> &id : ActionTable::toolbarOrder())
        row << (id ? action(*id) : nullptr);
    return row;
}

QList<QAction *> WindowActions::busActions() const
{
    QList<QAction *> all(m_actions.begin(), m_actions.end());
    all << m_portSetup << m_lineSearch << m_lineOverview << m_approvedCheck;
    return all;
}

void WindowActions::showPortOpen(bool open)
{
    const int image = open ? ActionTable::iconPlugConnected : ActionTable::iconPlugPulled;
    QAction *port = action(ActionId::a_port);
    port->setIcon(m_toolbarIcons.icon(image));
    port->setProperty("imageIndex", image);
}

void WindowActions::showAutoRefresh(bool on)
{
    const int image = on ? ActionTable::iconClock : ActionTable::iconStop;
    QAction *setRefresh = action(ActionId::a_setref);
    setRefresh->setIcon(m_toolbarIcons.icon(image));
    setRefresh->setProperty("imageIndex", image);
    const QString hint = on ? QStringLiteral("Отключить автоматическое обновление")
                            : QStringLiteral("Включить автоматическое обновление");
    setRefresh->setToolTip(hint);
    setRefresh->setStatusTip(hint);
}

} // namespace miv
