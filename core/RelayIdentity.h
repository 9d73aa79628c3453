#pragma once

#include <QtGlobal>

namespace miv {

// A relay as the line knows it: the bus address and the factory number.
struct RelayIdentity
{
    quint8 address = 0;
    quint16 factoryNumber = 0;
    bool operator==(const RelayIdentity &) const = default;
};

} // namespace miv
