#include "cli/CommandAddress.h"

#include "cli/CliContext.h"
#include "cli/Commands.h"
#include "config/ConfigReader.h"
#include "core/RelayWords.h"
#include "device/Discovery.h"

namespace miv::cli {

std::optional<quint8> parseRelayAddress(const QString &text)
{
    bool ok = false;
    const int address = text.toInt(&ok);
    if (!ok || !RelayAddress::isValid(address))
        return std::nullopt;
    return quint8(address);
}

IdentificationResult identifyAt(CliContext &context, quint8 address)
{
    const IdentificationResult result =
            identifyRelay(context.session(), context.messages(), address - 1);
    if (result.outcome == IdentificationResult::Outcome::Silent)
        context.err() << silentLine(address) << Qt::endl;
    return result;
}

namespace {
const QString noTimer = QStringLiteral("Устройство №%1 (тип %2) не имеет управления по таймеру");
}

std::optional<int> connectAndRead(CliContext &context, quint8 address, TimerNeed timer)
{
    if (!context.openPort())
        return ExitStatus::LinkFailure;
    RelaySession &session = context.session();
    if (identifyAt(context, address).outcome != IdentificationResult::Outcome::Identified)
        return ExitStatus::LinkFailure;
    if (timer == TimerNeed::Required && !session.device.hasTimer()) {
        context.err() << noTimer.arg(address).arg(session.device.typeCode) << Qt::endl;
        return ExitStatus::Refused;
    }
    session.configGrid.fillFromCatalogue(session.catalogue);
    if (readConfiguration(session, context.messages()) != ConfigReadResult::Complete)
        return ExitStatus::LinkFailure;
    return std::nullopt;
}

std::optional<QList<quint8>> openLine(CliContext &context,
                                      const std::optional<QList<quint8>> &given)
{
    if (!context.openPort())
        return std::nullopt;
    if (given)
        return given;
    const DiscoveryResult scan = scanBus(context.session(), context.messages());
    if (scan.portLost)
        return std::nullopt;
    if (scan.answering.isEmpty()) {
        context.err() << "mivctl: no relay answered the scan" << Qt::endl;
        return std::nullopt;
    }
    return scan.answering;
}

} // namespace miv::cli
