#include "app/ManualSections.h"

#include "app/ActionEnabling.h"

namespace miv {

namespace ManualSections {

// Each anchor names a heading of docs/operator-manual.ru.md.
QString anchorForTab(int tab)
{
    using namespace ActionEnabling;
    switch (tab) {
    case DevicesTab:
        return QStringLiteral("tab-devices");
    case LiveValuesTab:
        return QStringLiteral("tab-live-values");
    case ConfigurationTab:
        return QStringLiteral("tab-configuration");
    case RelayControlTab:
        return QStringLiteral("tab-relay-control");
    case JournalTab:
        return QStringLiteral("tab-journal");
    case ServiceTab:
        return QStringLiteral("tab-service");
    case TimerTab:
        return QStringLiteral("tab-timer");
    default:
        return QStringLiteral("contents");
    }
}

} // namespace ManualSections

} // namespace miv
