#include "cli/CliContext.h"
#include "cli/Commands.h"
#include "device/Discovery.h"

namespace miv::cli {

// The 32 lines of the device list, printed once the scan is over: a slow
// relay is found only at its end. The status queries use the bus's scan
// wait (--scan-wait).
int runScan(CliContext &context, const QStringList &arguments)
{
    if (!arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("scan takes no arguments"),
                                  QStringLiteral("scan"));
    if (!context.openPort())
        return ExitStatus::LinkFailure;
    const DiscoveryResult result = scanBus(context.session(), context.messages());
    for (const QString &line : result.lines)
        context.out() << line << Qt::endl;
    return result.portLost ? ExitStatus::LinkFailure : ExitStatus::Done;
}

} // namespace miv::cli
