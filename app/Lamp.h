#pragma once

#include "device/LampKind.h"

#include <optional>

namespace miv {

// The 28 lamps of the main window and their colour kinds (the control's tag).
namespace Lamp {

enum Kind {
    Green = LampKind::Green,
    Red = LampKind::Red,
    Yellow = LampKind::Yellow,
    Direct = LampKind::Direct
};
inline constexpr int lampCount = lampTotal;

// The icon of the lamp icon list for `state` on a lamp of kind `tag`: green
// lamps take state + 2, red and direct lamps the state itself, yellow lamps
// state + 4. A lamp of any other tag is never changed (nullopt).
constexpr std::optional<int> iconIndex(int state, int tag)
{
    switch (tag) {
    case Green:
        return state + 2;
    case Red:
    case Direct:
        return state;
    case Yellow:
        return state + 4;
    default:
        return std::nullopt;
    }
}

// The colour kind of lamp 1..28 (0 outside that range).
constexpr int tagOf(int lamp)
{
    return lampKindOf(lamp);
}

// The state a lamp is shown in before the first reading: coloured lamps dark,
// direct lamps dark yellow.
constexpr std::optional<int> startState(int tag)
{
    if (tag == Green || tag == Red || tag == Yellow)
        return 0;
    if (tag == Direct)
        return 4;
    return std::nullopt;
}

} // namespace Lamp

} // namespace miv
