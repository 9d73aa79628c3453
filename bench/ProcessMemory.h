#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A figure of this process's memory from /proc/self/status, in KiB: "VmRSS"
// (resident now) or "VmHWM" (the resident peak); -1 where there is none
// (another system than Linux).
inline long processMemoryKib(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = field + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}
