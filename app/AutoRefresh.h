#pragma once

#include <QObject>
#include <QTimer>

namespace miv {

class Operator;
struct SessionFlags;
class WindowActions;

// Automatic refresh of the live values: the timer `rt` runs exactly while
// the session's flag is set, and "Установить обновление" shows which.
class AutoRefresh : public QObject
{
    Q_OBJECT
public:
    AutoRefresh(SessionFlags &flags, WindowActions &actions, QObject *parent = nullptr);

    QTimer &timer() { return m_timer; }
    bool running() const;
    // a_setref: running, it stops; stopped, the interval is asked and it
    // starts (an answer that is no interval starts nothing).
    void toggle(Operator &op, QChar decimalSeparator);
    // Off, with the picture: a page change or a failure must not leave the
    // picture saying it still runs.
    void stop();

Q_SIGNALS:
    void tick(); // rtTimer

private:
    SessionFlags &m_flags;
    WindowActions &m_actions;
    QTimer m_timer;
};

} // namespace miv
