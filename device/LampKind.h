#pragma once

#include <array>

namespace miv {

// The colour kind of each of the 28 lamps of the live page (the window keeps
// it in the control's tag): what colour a lit lamp shows, and so which lamps
// tell of an alarm (the red ones).
namespace LampKind {
enum : int { Green = 1, Red = 2, Yellow = 3, Direct = 4 };
} // namespace LampKind

inline constexpr int lampTotal = 28;

// The colour kind of lamp 1..28 (0 outside that range).
constexpr int lampKindOf(int lamp)
{
    using namespace LampKind;
    constexpr std::array<int, lampTotal> kinds{
            Green, Green, Green,  Red, Yellow, Direct, Direct, // 1..7
            Red,   Red,   Red,    Red, Red,    Red,    Red,    Red, Red, Red, // 8..17
            Red,   Red,   Red,    Red, Red,    Red,    Red,    Red, // 18..25
            Green, Red,   Yellow, // 26..28: the page "Управление реле"
    };
    return lamp >= 1 && lamp <= lampTotal ? kinds[std::size_t(lamp - 1)] : 0;
}

} // namespace miv
