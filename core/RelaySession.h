#pragma once

#include "core/ConfigGrid.h"
#include "core/CurrentDevice.h"
#include "core/LiveValues.h"
#include "core/ParameterCatalogue.h"
#include "core/SessionFlags.h"
#include "core/TimerSchedule.h"
#include "core/ValueFormat.h"

#include <functional>
#include <QString>

namespace miv {

class RelayBus;

// What every relay operation works on: the bus to the line, the relay
// identified last, the flags, the catalogue with its ratio state, the grid
// and the timer schedule on screen, and the live state. The window's data
// module owns one for the whole run, and so does each mivctl command.
//
// The bus belongs to the link that owns the port; the session only talks
// through it, so that the same operations run over a serial port, a
// pseudo-terminal or the tests' in-process loopback.
struct RelaySession {
    explicit RelaySession(RelayBus &relayBus) : bus(relayBus) {}
    RelaySession(const RelaySession &) = delete;
    RelaySession &operator=(const RelaySession &) = delete;

    RelayBus &bus;
    // Closes and opens the port again after a bus call failed on it; false
    // (with the reason in *error) when it cannot be opened. Empty: the port
    // is left as it is.
    std::function<bool(QString *error)> reopenPort;

    CurrentDevice device;
    SessionFlags flags;
    ParameterCatalogue catalogue;
    ConfigGrid configGrid;
    TimerSchedule timer;
    LiveValues live;
    // Numbers shown to the operator use the PC's separator; tests set their own.
    QChar decimalSeparator = systemDecimalSeparator();
};

} // namespace miv
