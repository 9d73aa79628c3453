// mivctl config diff ADDR FILE
//
// Identifies and reads the relay as "config read" does, then compares it with
// the settings file without loading it anywhere. One line per difference:
//   row<TAB>name<TAB>relay value<TAB>file value
// where row is "timer" for the timer schedule of a type-6 relay, and the file
// value is "(нет в файле)" for a key the file lacks and
// "(не принимается: TEXT)" for a value the load would refuse.
// Exit 0 when they agree, 4 when they differ, 3 for a file that cannot be
// read, 1 when the relay does not answer.
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "config/SettingsCompare.h"

namespace miv::cli {

namespace {

const QString diffUsage = QStringLiteral("config diff ADDR FILE");

QString fileColumn(const SettingsDifference &difference)
{
    switch (difference.kind) {
    case SettingsDifference::Kind::Differs:
        return difference.fileText;
    case SettingsDifference::Kind::NotInFile:
        return QStringLiteral("(нет в файле)");
    case SettingsDifference::Kind::Rejected:
        return QStringLiteral("(не принимается: %1)").arg(difference.fileText);
    }
    return {};
}

} // namespace

int diffConfig(CliContext &context, const QStringList &arguments)
{
    if (arguments.size() != 2)
        return context.wrongUsage(QStringLiteral("config diff needs an address and a file"),
                                  diffUsage);
    const auto address = parseRelayAddress(arguments[0]);
    if (!address)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0],
                                  diffUsage);
    if (const auto status = connectAndRead(context, *address))
        return *status;

    const SettingsComparison comparison = compareWithFile(context.session(), arguments[1]);
    if (comparison.outcome != SettingsComparison::Outcome::Compared) {
        context.err() << comparison.error << Qt::endl;
        return ExitStatus::Refused;
    }
    for (const SettingsDifference &difference : comparison.differences)
        context.out() << (difference.row < 0 ? QStringLiteral("timer")
                                             : QString::number(difference.row))
                      << '\t' << difference.item << '\t' << difference.relayText << '\t'
                      << fileColumn(difference) << '\n';
    return comparison.equal() ? ExitStatus::Done : ExitStatus::Different;
}

} // namespace miv::cli
