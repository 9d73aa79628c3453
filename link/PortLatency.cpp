#include "link/PortLatency.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#  include <linux/serial.h>
#  include <sys/ioctl.h>
#endif

namespace miv {

#ifdef Q_OS_LINUX

namespace {

// The largest timer the adapters take; anything else in the file is not a timer.
constexpr int longestTimerMs = 255;

// The kernel's name of the tty a port name stands for: "ttyUSB0" for
// "/dev/ttyUSB0" or for a stable link such as "/dev/serial/by-id/...".
QString ttyName(const QString &portName)
{
    const QString path = portName.startsWith(u'/') ? portName : QStringLiteral("/dev/") + portName;
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return QFileInfo(resolved.isEmpty() ? portName : resolved).fileName();
}

std::optional<int> timerIn(const QString &file)
{
    QFile timer(file);
    if (!timer.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const int ms = timer.read(16).trimmed().toInt(&ok);
    if (!ok || ms < 0 || ms > longestTimerMs)
        return std::nullopt;
    return ms;
}

} // namespace

bool requestLowLatency(int handle)
{
    serial_struct serial{};
    if (::ioctl(handle, TIOCGSERIAL, &serial) != 0)
        return false;
    if (serial.flags & ASYNC_LOW_LATENCY)
        return true;
    serial.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(handle, TIOCSSERIAL, &serial) == 0;
}

std::optional<int> latencyTimerMs(const QString &portName, const QString &sysfsRoot)
{
    const QString name = ttyName(portName);
    if (name.isEmpty())
        return std::nullopt;
    const QString root = QFileInfo(sysfsRoot).canonicalFilePath();
    // The tty's device is the adapter's port (ftdi_sio keeps the timer
    // there); another driver may keep it on a device above.
    QString device =
            QFileInfo(sysfsRoot + QStringLiteral("/class/tty/") + name + QStringLiteral("/device"))
                    .canonicalFilePath();
    while (!device.isEmpty() && device != root && device.startsWith(root + u'/')) {
        if (const std::optional<int> ms = timerIn(device + QStringLiteral("/latency_timer")))
            return ms;
        if (QFile::exists(device + QStringLiteral("/latency_timer")))
            return std::nullopt; // there, but no timer: junk is not looked past
        device = QFileInfo(device).path();
    }
    return std::nullopt;
}

#else

bool requestLowLatency(int handle)
{
    Q_UNUSED(handle);
    return false;
}

std::optional<int> latencyTimerMs(const QString &portName, const QString &sysfsRoot)
{
    Q_UNUSED(portName);
    Q_UNUSED(sysfsRoot);
    return std::nullopt;
}

#endif

} // namespace miv
