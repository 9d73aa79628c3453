#include "cli/CliContext.h"
#include "cli/Commands.h"
#include "link/PresentPorts.h"

namespace miv::cli {

// One line per serial port present: name, device, description and the stable
// name (a /dev/serial/by-id link on Linux; "-" when there is none), which
// stays the same when the adapter is plugged in again. Pseudo-terminals are
// not listed by the system; --port takes their device path all the same.
int runPorts(CliContext &context, const QStringList &arguments)
{
    if (!arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("ports takes no arguments"),
                                  QStringLiteral("ports"));
    for (const PresentPort &port : presentPorts()) {
        context.out() << port.name << '\t' << port.systemLocation << '\t' << port.description
                      << '\t' << (port.stableName.isEmpty() ? QStringLiteral("-") : port.stableName)
                      << '\n';
    }
    return ExitStatus::Done;
}

} // namespace miv::cli
