#pragma once

#include <optional>
#include <QString>

namespace miv {

// How long a serial port's driver holds received bytes before handing them
// on. A USB adapter gathers bytes for its latency timer (16 ms by default on
// the common FTDI chips): at 9600 bit/s a relay's short reply lasts about
// 8 ms, so the timer, not the line, sets how soon the reply is seen. Both
// calls are Linux's; elsewhere they do nothing.

// Asks the driver of an open port (its native handle) for low latency.
// True when the driver took the request; a port whose driver has no such
// setting (a pseudo-terminal, a driver that refuses it) gives false and is
// no failure: the port works as before.
bool requestLowLatency(int handle);

// The USB adapter's latency timer in milliseconds as the system exposes it
// (`latency_timer` of the tty's device, or of a device above it), for the
// port named as in the settings ("ttyUSB0", "/dev/ttyUSB0" or a link to
// it); nullopt when the system shows none or what it shows is no number.
// `sysfsRoot` is where the system's device tree is mounted.
std::optional<int> latencyTimerMs(const QString &portName,
                                  const QString &sysfsRoot = QStringLiteral("/sys"));

} // namespace miv
