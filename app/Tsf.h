#pragma once

#include <QTimer>
#include <QWidget>

// The splash window `sf`: borderless, on top, centred, showing the product
// picture for about a second while the program comes up.
class Tsf : public QWidget
{
    Q_OBJECT
public:
    explicit Tsf(QWidget *parent = nullptr);

    // Runs for one second, then switches itself off (timerTimer).
    QTimer timer;
    void timerTimer();

    // Shows the window, paints it at once and processes window messages
    // until the timer has switched itself off.
    void showForAWhile();

protected:
    void paintEvent(QPaintEvent *event) override;
};
