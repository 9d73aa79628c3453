#pragma once

#include <QList>

class QPushButton;
class QString;
class QTimeEdit;
class QWidget;

namespace miv {

// What the configuration and timer pages show and ask through: the timer
// tab's pickers and buttons, the window's title, and the window their
// dialogs belong to. The main window gives it.
class ConfigurationView
{
public:
    virtual ~ConfigurationView() = default;

    // dtp01..dtp05 and bu01..bu07.
    virtual const QList<QTimeEdit *> &timeMarks() const = 0;
    virtual const QList<QPushButton *> &timerSwitches() const = 0;
    // The window's title.
    virtual void showTitle(const QString &title) = 0;
    virtual QWidget *dialogParent() = 0;
};

} // namespace miv
