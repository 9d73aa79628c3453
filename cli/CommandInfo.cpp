#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"

namespace miv::cli {

// The identification memo of the relay at ADDR, one line each.
int runInfo(CliContext &context, const QStringList &arguments)
{
    const QString usage = QStringLiteral("info ADDR");
    if (arguments.size() != 1)
        return context.wrongUsage(QStringLiteral("info takes one address"), usage);
    const auto address = parseRelayAddress(arguments[0]);
    if (!address)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0], usage);
    if (!context.openPort())
        return ExitStatus::LinkFailure;
    const IdentificationResult result = identifyAt(context, *address);
    if (result.outcome != IdentificationResult::Outcome::Identified)
        return ExitStatus::LinkFailure;
    for (const QString &line : result.memo)
        context.out() << line << '\n';
    return ExitStatus::Done;
}

} // namespace miv::cli
