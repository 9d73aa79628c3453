#pragma once

#include <functional>
#include <QList>

class QAction;
class QWidget;

namespace miv {

class WindowActions;

// Keeps the operator from starting a second exchange while one runs.
// A loop of exchanges that lets the window repaint (the journal, the line
// search) runs between begin() and end(): the window and every enabled action
// are disabled meanwhile, and the actions enabled before come back after. A
// single exchange (a refresh, a command) is marked by an Exchange, so that a
// refresh tick that comes under one of its boxes is skipped.
class BusWorkGate
{
public:
    BusWorkGate(QWidget &window, const WindowActions &actions)
        : m_window(window), m_actions(actions)
    { }

    void begin();
    void end();
    // A loop runs: the window may not close until it ends.
    bool loopRunning() const { return m_loopRunning; }
    // An exchange or a loop runs.
    bool busy() const { return m_loopRunning || m_exchanging; }
    // Runs `work` once no exchange or loop runs: at once when none does,
    // else when the one under way ends. A later call replaces work still waiting.
    void afterWork(std::function<void()> work);

    // Marks one exchange for as long as it lives.
    class Exchange
    {
    public:
        explicit Exchange(BusWorkGate &gate) : m_gate(gate) { m_gate.m_exchanging = true; }
        ~Exchange()
        {
            m_gate.m_exchanging = false;
            m_gate.settle();
        }
        Exchange(const Exchange &) = delete;
        Exchange &operator=(const Exchange &) = delete;

    private:
        BusWorkGate &m_gate;
    };

private:
    // The work waiting for the gate, run when nothing runs any more.
    void settle();

    QWidget &m_window;
    const WindowActions &m_actions;
    bool m_loopRunning = false;
    bool m_exchanging = false;
    QList<QAction *> m_enabledBefore;
    std::function<void()> m_afterWork;
};

} // namespace miv
