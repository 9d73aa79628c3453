#include "cli/CommandAddress.h"

#include "cli/CliContext.h"
#include "device/Discovery.h"
#include "device/LiveValues.h"

std::optional<quint8> parseRelayAddress(const QString &text)
{
    bool ok = false;
    const int address = text.toInt(&ok);
    if (!ok || address < 1 || address > 247)
        return std::nullopt;
    return quint8(address);
}

IdentificationResult identifyRelay(CliContext &context, quint8 address)
{
    LiveValues live;
    IdentificationContext identification{context.bus(), context.messages(), context.device(), live, context.flags(),
                                         [&context](QString *error) { return context.link().reopen(error); }};
    const IdentificationResult result = a_getinfoExecute(identification, address - 1);
    if (result.outcome == IdentificationResult::Outcome::Silent)
        context.err() << silentLine(address) << Qt::endl;
    return result;
}
