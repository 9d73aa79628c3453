#include "link/PresentPorts.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

namespace miv {

QString stableNameOf(const QString &name, const QString &systemLocation, const QString &byIdFolder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(systemLocation);
    Q_UNUSED(byIdFolder);
    return name;
#else
    Q_UNUSED(name);
    const QString device = QFileInfo(systemLocation).canonicalFilePath();
    if (device.isEmpty())
        return {};
    const QDir folder(byIdFolder);
    const QFileInfoList links =
            folder.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links)
        if (link.isSymLink() && link.canonicalFilePath() == device)
            return link.absoluteFilePath();
    return {};
#endif
}

QList<PresentPort> presentPorts(const QString &byIdFolder)
{
    QList<PresentPort> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports.append({info.portName(), info.systemLocation(), info.description(),
                      stableNameOf(info.portName(), info.systemLocation(), byIdFolder)});
    std::sort(ports.begin(), ports.end(),
              [](const PresentPort &a, const PresentPort &b) { return a.name < b.name; });
    return ports;
}

} // namespace miv
