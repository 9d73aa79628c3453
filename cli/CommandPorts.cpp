#include "cli/CliContext.h"
#include "cli/Commands.h"

#include <QSerialPortInfo>
#include <algorithm>

using namespace miv;

// One line per serial port present: name, device, description. Pseudo-terminals
// are not listed by the system; --port takes their device path all the same.
int runPorts(CliContext &context, const QStringList &arguments)
{
    if (!arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("ports takes no arguments"), QStringLiteral("ports"));
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::sort(ports.begin(), ports.end(),
              [](const QSerialPortInfo &a, const QSerialPortInfo &b) { return a.portName() < b.portName(); });
    for (const QSerialPortInfo &port : ports) {
        context.out() << port.portName() << '\t' << port.systemLocation() << '\t' << port.description() << '\n';
    }
    return ExitStatus::Done;
}
