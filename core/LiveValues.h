#pragma once

#include "core/RegisterMap.h"

#include <array>
#include <QtGlobal>

namespace miv {

// The latest live state of the relay: the two blocks of registers as the
// relay last sent them whole, and the states derived from them.
// Identification resets the three states; the live-value read fills the
// blocks, and the display works the states out from them.
struct LiveValues
{
    static constexpr quint16 firstOfBlockA = RelayRegister::liveBlockA;
    static constexpr int blockACount = RelayRegister::liveBlockACount;
    static constexpr quint16 firstOfBlockB = RelayRegister::liveBlockB;
    static constexpr int blockBCount = RelayRegister::liveBlockBCount;

    std::array<quint16, blockACount> blockA{}; // registers 16..47
    std::array<quint16, blockBCount> blockB{}; // registers 112..121

    int loadLampState = 1; // lamp 7: 0 dark yellow, 1 blinking, 2 red, 3 green
    int relayState = 0; // 3 overload, 2 alarm, 1 work, 0 none (register 40)
    int previousRelayState = 0; // relayState of the display before

    // Below this phase current (in tenths of A, so 0.2 A) the motor counts as
    // at rest: its powers mean nothing and its outputs may be switched by hand.
    static constexpr quint16 restCurrentLimit = 2;

    // Register `reg` of either block; 0 for a register in neither.
    quint16 value(quint16 reg) const
    {
        if (reg >= firstOfBlockA && reg < firstOfBlockA + blockACount)
            return blockA[std::size_t(reg - firstOfBlockA)];
        if (reg >= firstOfBlockB && reg < firstOfBlockB + blockBCount)
            return blockB[std::size_t(reg - firstOfBlockB)];
        return 0;
    }

    // Whether any phase carries the rest limit or more.
    bool motorCarriesCurrent() const
    {
        for (quint16 phase = 0; phase < 3; ++phase)
            if (value(quint16(RelayRegister::phaseCurrent + phase)) >= restCurrentLimit)
                return true;
        return false;
    }
};

} // namespace miv
