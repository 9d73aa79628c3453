#include "app/BusWorkGate.h"

#include "app/WindowActions.h"

#include <QAction>
#include <QWidget>
#include <utility>

namespace miv {

void BusWorkGate::begin()
{
    m_loopRunning = true;
    // The window keeps painting (the operator's keepAlive), but nothing on it
    // starts another exchange: not its controls, not an action called directly.
    m_window.setEnabled(false);
    m_enabledBefore.clear();
    for (QAction *each : m_actions.busActions())
        if (each->isEnabled()) {
            m_enabledBefore << each;
            each->setEnabled(false);
        }
}

void BusWorkGate::end()
{
    for (QAction *each : std::as_const(m_enabledBefore))
        each->setEnabled(true);
    m_enabledBefore.clear();
    m_window.setEnabled(true);
    m_loopRunning = false;
    settle();
}

void BusWorkGate::afterWork(std::function<void()> work)
{
    m_afterWork = std::move(work);
    settle();
}

void BusWorkGate::settle()
{
    if (!busy() && m_afterWork)
        std::exchange(m_afterWork, {})();
}

} // namespace miv
