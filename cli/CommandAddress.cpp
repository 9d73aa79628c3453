#include "cli/CommandAddress.h"

#include "cli/CliContext.h"
#include "cli/Commands.h"
#include "config/ConfigReader.h"
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

namespace {
const QString noTimer = QStringLiteral("Устройство №%1 (тип %2) не имеет управления по таймеру");
}

std::optional<int> connectAndRead(CliContext &context, quint8 address, RelaySession &session, TimerNeed timer)
{
    if (!context.openPort())
        return ExitStatus::LinkFailure;
    if (identifyRelay(context, address).outcome != IdentificationResult::Outcome::Identified)
        return ExitStatus::LinkFailure;
    if (timer == TimerNeed::Required && !context.device().hasTimer()) {
        context.err() << noTimer.arg(address).arg(context.device().typeCode) << Qt::endl;
        return ExitStatus::Refused;
    }
    session.grid.fill_conf(session.catalogue);
    ConfigReadContext reading{context.bus(), context.messages(), context.device(), session.catalogue, session.grid,
                              session.timer};
    if (readConfiguration(reading) != ConfigReadResult::Complete)
        return ExitStatus::LinkFailure;
    return std::nullopt;
}
