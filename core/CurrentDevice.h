#pragma once

#include <QString>
#include <QtGlobal>

namespace miv {

// Whether a relay of this type code (the sixth character of its name) has the
// level sensors, the timer lamp, the timer schedule and the tank algorithm:
// type 6 has them, type 4 none.
constexpr bool relayTypeHasTimer(quint16 typeCode)
{
    return typeCode == 6;
}

// The relay identified last. Every bus call goes to networkAddress; 0 means
// no relay is selected.
struct CurrentDevice
{
    quint8 networkAddress = 0;
    QString deviceName; // 10 characters from registers 0 to 4
    quint16 typeCode = 0; // 6: level sensors, timer lamp, timer schedule
    quint16 softwareVersion = 0; // register 5
    quint16 factoryNumber = 0; // register 6
    quint16 configuredAddress = 0; // register 64
    quint16 interfaceWord = 0; // register 65
    QString password; // 4 characters from registers 66 and 67

    bool hasTimer() const { return relayTypeHasTimer(typeCode); }
};

} // namespace miv
