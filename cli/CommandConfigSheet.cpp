// mivctl config sheet ADDR [--xls F] [--pdf F] [--csv F]
//
// Identifies and reads the relay as "config read" does and writes its
// settings sheet: the relay (type, factory number, software version,
// address, port) and its settings as the grid shows them. Outputs that name
// one file are refused before the port is opened.
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "cli/SheetOutputs.h"
#include "report/SettingsSheet.h"

#include <QDateTime>

namespace miv::cli {

namespace {

const QString sheetUsage = QStringLiteral("config sheet ADDR [--xls F] [--pdf F] [--csv F]");

// The port as the operator names it.
QString portText(const PortSettings &settings)
{
    if (settings.transport == PortSettings::Transport::Tcp)
        return QStringLiteral("tcp://") + settings.gateway;
    return settings.portName;
}

} // namespace

int sheetConfig(CliContext &context, const QStringList &arguments)
{
    if (arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("config sheet needs an address"), sheetUsage);
    const auto address = parseRelayAddress(arguments[0]);
    if (!address)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0],
                                  sheetUsage);
    QString problem;
    const std::optional<SheetOutputs> outputs = parseSheetOutputs(arguments.mid(1), &problem);
    if (!outputs)
        return context.wrongUsage(problem, sheetUsage);
    if (const auto status = connectAndRead(context, *address))
        return *status;
    return writeSheet(context,
                      SettingsSheet::build(context.session(), portText(context.settings()),
                                           QDateTime::currentDateTime()),
                      *outputs);
}

} // namespace miv::cli
