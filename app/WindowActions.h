#pragma once

#include "app/ActionId.h"
#include "app/ImageList.h"

#include <array>
#include <QList>

class QAction;
class QMenuBar;
class QObject;

namespace miv {

// The data module's actions `al` with their pictures `il0`, the items that
// only the main menu `mm` holds ("Настройка порта" `N6`, "Поиск
// устройства..." `N7`, "Сравнить с файлом...", "Обзор линии", "Лист
// настроек..."), and the pictures the actions
// switch to as the port and automatic refresh change.
class WindowActions
{
public:
    // The actions are children of `owner`; the menu bar is handed to the window.
    explicit WindowActions(QObject *owner);

    QAction *action(ActionId id) const { return m_actions[std::size_t(id)]; }
    QAction *portSetup() const { return m_portSetup; }
    QAction *lineSearch() const { return m_lineSearch; }
    QAction *compareWithFile() const { return m_compareWithFile; }
    QAction *settingsSheet() const { return m_settingsSheet; }
    QAction *lineOverview() const { return m_lineOverview; }
    QMenuBar *menuBar() const { return m_menuBar; }
    // The toolbar's buttons left to right; nullptr stands for a separator.
    QList<QAction *> toolbarRow() const;
    // Every action and menu item that starts work on the line.
    QList<QAction *> busActions() const;

    // The Port action's picture: the plug connected or pulled apart.
    void showPortOpen(bool open);
    // "Установить обновление": the clock and "Отключить ..." while automatic
    // refresh runs, the stop sign and "Включить ..." otherwise.
    void showAutoRefresh(bool on);

    const ImageList &rowPictures() const { return m_rowPictures; }
    const ImageList &lampIcons() const { return m_lampIcons; }

private:
    void createMenu();

    ImageList m_toolbarIcons = ImageList::toolbarIcons(); // il0
    ImageList m_rowPictures = ImageList::rowPictures(); // il
    ImageList m_lampIcons = ImageList::lampIcons(); // il2
    std::array<QAction *, actionCount> m_actions{};
    QAction *m_portSetup = nullptr;
    QAction *m_lineSearch = nullptr;
    QAction *m_compareWithFile = nullptr;
    QAction *m_settingsSheet = nullptr;
    QAction *m_lineOverview = nullptr;
    QMenuBar *m_menuBar = nullptr;
};

} // namespace miv
