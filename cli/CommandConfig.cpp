#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "config/ConfigGrid.h"
#include "config/ConfigReader.h"
#include "config/ParameterCatalogue.h"
#include "config/TimerSchedule.h"

namespace {

const QString configUsage = QStringLiteral("config read ADDR");

// The grid as 34 lines: row, name, value as column "Значение" shows it.
void printGrid(QTextStream &out, const ConfigGrid &grid)
{
    for (int row = 0; row < ConfigRow::count; ++row)
        out << row << '\t' << grid.text(row, ConfigGrid::Name) << '\t' << grid.text(row, ConfigGrid::Value) << '\n';
}

int readConfig(CliContext &context, const QStringList &arguments)
{
    if (arguments.size() != 1)
        return context.wrongUsage(QStringLiteral("config read takes one address"), configUsage);
    const auto address = parseRelayAddress(arguments[0]);
    if (!address)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0], configUsage);
    if (!context.openPort())
        return ExitStatus::LinkFailure;
    if (identifyRelay(context, *address).outcome != IdentificationResult::Outcome::Identified)
        return ExitStatus::LinkFailure;

    ParameterCatalogue catalogue;
    ConfigGrid grid;
    TimerSchedule timer;
    grid.fill_conf(catalogue);
    ConfigReadContext reading{context.bus(), context.messages(), context.device(), catalogue, grid, timer};
    if (readConfiguration(reading) != ConfigReadResult::Complete)
        return ExitStatus::LinkFailure;
    printGrid(context.out(), grid);
    return ExitStatus::Done;
}

} // namespace

int runConfig(CliContext &context, const QStringList &arguments)
{
    const QString action = arguments.value(0);
    if (action == QStringLiteral("read"))
        return readConfig(context, arguments.mid(1));
    return context.wrongUsage(QStringLiteral("config needs read"), configUsage);
}
