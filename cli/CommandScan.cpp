#include "cli/CliContext.h"
#include "cli/Commands.h"
#include "device/Discovery.h"

using namespace miv;

// The 32 lines of the device list. The status queries use the bus's scan wait
// (--scan-wait).
int runScan(CliContext &context, const QStringList &arguments)
{
    if (!arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("scan takes no arguments"), QStringLiteral("scan"));
    if (!context.openPort())
        return ExitStatus::LinkFailure;
    DiscoveryHooks hooks;
    hooks.lineAdded = [&context](const QString &line) { context.out() << line << Qt::endl; };
    const DiscoveryResult result = scanBus(context.session(), context.messages(), hooks);
    return result.portLost ? ExitStatus::LinkFailure : ExitStatus::Done;
}
