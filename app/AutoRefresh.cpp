#include "app/AutoRefresh.h"

#include "app/WindowActions.h"
#include "core/SessionFlags.h"
#include "device/RefreshInterval.h"

namespace miv {

namespace {

constexpr int startIntervalMs = 1000;

} // namespace

AutoRefresh::AutoRefresh(miv::SessionFlags &flags, WindowActions &actions, QObject *parent)
    : QObject(parent), m_flags(flags), m_actions(actions)
{
    m_timer.setObjectName(QStringLiteral("rt"));
    m_timer.setInterval(startIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &AutoRefresh::tick);
}

bool AutoRefresh::running() const
{
    return m_flags.autoRefresh;
}

void AutoRefresh::toggle(miv::Operator &op, QChar decimalSeparator)
{
    if (running()) {
        stop();
        return;
    }
    const std::optional<int> interval = miv::askRefreshInterval(op, decimalSeparator);
    if (!interval)
        return;
    m_timer.setInterval(*interval);
    m_flags.autoRefresh = true;
    m_timer.start();
    m_actions.showAutoRefresh(true);
}

void AutoRefresh::stop()
{
    const bool wasOn = m_flags.autoRefresh;
    m_flags.autoRefresh = false;
    m_timer.stop();
    if (wasOn)
        m_actions.showAutoRefresh(false);
}

} // namespace miv
