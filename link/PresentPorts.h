#pragma once

#include <QList>
#include <QString>

namespace miv {

// A serial port present on the PC. An adapter plugged in again may come back
// under another name (ttyUSB0, then ttyUSB1); its stable name stays: on Linux
// the link under /dev/serial/by-id that udev makes from the adapter's maker
// and serial number, on Windows the COMn name itself, which the driver keeps
// for the adapter.
struct PresentPort
{
    QString name; // ttyUSB0, COM3
    QString systemLocation; // /dev/ttyUSB0, \\.\COM3
    QString description;
    QString stableName; // empty when the system gives none
};

inline const QString serialByIdFolder = QStringLiteral("/dev/serial/by-id");

// The ports present, sorted by name.
QList<PresentPort> presentPorts(const QString &byIdFolder = serialByIdFolder);

// The stable name of a port: the link in `byIdFolder` that leads to the
// port's device (on Linux), the port's own name elsewhere; empty when none.
QString stableNameOf(const QString &name, const QString &systemLocation,
                     const QString &byIdFolder = serialByIdFolder);

} // namespace miv
