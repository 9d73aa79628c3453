#pragma once

#include <QList>
#include <QObject>

class QPushButton;
class QTimeEdit;

namespace miv {

class TimerSchedule;

// Binds the timer tab's controls to the TimerSchedule that the data module
// owns: show() puts marks and captions into the five pickers (dtp01..dtp05)
// and seven buttons (bu01..bu07); a time the operator sets goes back into its
// mark, and click() (the window's bu01Click) toggles a button's caption
// (toggleTimerButton).
//
// A mark that came from the relay as no time of day shows 00.00 in red, with
// the register word in its tooltip, until the operator sets a time; the
// schedule keeps it invalid until then, so the write refuses it. (The read
// itself tells the operator once about such marks.)
class TimerTabBinding : public QObject
{
    Q_OBJECT
public:
    // pickers: dtp01..dtp05; buttons: bu01..bu07. Connects the pickers' signals.
    TimerTabBinding(TimerSchedule &timer, const QList<QTimeEdit *> &pickers,
                    const QList<QPushButton *> &buttons, QObject *parent = nullptr);

    // Shows the schedule (after a read, a load, a write).
    void show();

    // toggleTimerButton for button 1..7, then shows its caption.
    void click(int button);

    // Whether picker 1..5 is flagged as holding no valid time.
    bool isFlagged(int mark) const;

private:
    void markEdited(int mark);
    void showMark(int mark);

    TimerSchedule &m_timer;
    QList<QTimeEdit *> m_pickers;
    QList<QPushButton *> m_buttons;
    bool m_showing = false; // times set by show() are no operator edit
};

} // namespace miv
