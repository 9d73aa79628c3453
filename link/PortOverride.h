#pragma once

#include "link/PortSettings.h"

#include <optional>
#include <QString>

namespace miv {

// A port named on the command line for one run (the --port of mivctl and of
// the window): a serial port's name or device path ("ttyUSB0", "COM3",
// "/dev/pts/5"), or "tcp://HOST:PORT" for a serial-to-Ethernet gateway. It is
// put over the settings of "front.ini" for that run and never stored there.
struct PortOverride
{
    PortSettings::Transport transport = PortSettings::Transport::Serial;
    QString name; // the serial port's name, or the gateway's "HOST:PORT"

    // Spaces around the text are dropped; the scheme is taken in any case.
    // nullopt for an empty text, or a "tcp://" without a valid HOST:PORT.
    static std::optional<PortOverride> parse(const QString &text);

    // The settings with this port in force; the line settings stay, and a
    // serial port leaves the gateway alone (and the other way round).
    void applyTo(PortSettings &settings) const;

    // What of `settings` may be stored: where they still hold this port (the
    // operator did not choose another), the port and transport of `inFile`,
    // the "front.ini" they would be stored in, instead.
    PortSettings storable(PortSettings settings, const PortSettings &inFile) const;

    bool operator==(const PortOverride &) const = default;
};

} // namespace miv
