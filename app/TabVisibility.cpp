#include "app/TabVisibility.h"

#include "core/CurrentDevice.h"

namespace miv {

namespace TabVisibility {

TabSet afterBts(int mode, TabSet current, quint16 lastTypeCode)
{
    constexpr int pageCount = int(std::tuple_size_v<TabSet>);
    TabSet visible = current;
    if (mode == WithoutRelay) {
        for (int tab = 3; tab < pageCount; ++tab)
            visible[tab] = false;
        visible[1] = false;
    } else if (mode == WithRelay) {
        for (int tab = 1; tab < pageCount; ++tab)
            visible[tab] = true;
    }
    visible[5] = false;
    visible[6] = miv::relayTypeHasTimer(lastTypeCode);
    return visible;
}

} // namespace TabVisibility

} // namespace miv
