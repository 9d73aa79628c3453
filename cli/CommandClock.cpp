// mivctl clock sync [--addresses ADDRS] [--max-offset SECONDS]
//
// Sets the clock of every relay of the line (the answering relays of a scan,
// or those listed) to the PC's time, as the live page's "Синхронизация"
// does, each write in the audit log. With --max-offset only the relays whose
// clock is off by more than SECONDS (or holds no date) are set. One line per
// relay:
//   ADDR<TAB>set<TAB>OFFSET       the clock was off by OFFSET and was set
//   ADDR<TAB>kept<TAB>OFFSET      within --max-offset: nothing written
//   ADDR<TAB>no link<TAB>REASON   nothing written
//   ADDR<TAB>refused<TAB>REASON   a write was refused or not answered
// OFFSET as the overview shows it ("+125 с"), "?" for a clock that held no
// date. Exit 0 when every relay was set or kept, else 1 when any had no link
// or the port was lost, else 3.
#include "cli/AddressList.h"
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "core/LineOverviewModel.h"
#include "device/Discovery.h"
#include "device/RelayClock.h"

#include <QDateTime>
#include <variant>

namespace miv::cli {

namespace {

const QString clockUsage = QStringLiteral("clock sync [--addresses ADDRS] [--max-offset SECONDS]");

struct ClockOptions
{
    std::optional<QList<quint8>> addresses;
    std::optional<int> maxOffsetSeconds;
};

std::variant<ClockOptions, int> parseOptions(CliContext &context, const QStringList &arguments)
{
    if (arguments.isEmpty() || arguments.first() != QLatin1String("sync"))
        return context.wrongUsage(QStringLiteral("clock needs sync"), clockUsage);
    ClockOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &name = arguments[i];
        if (name != QLatin1String("--addresses") && name != QLatin1String("--max-offset"))
            return context.wrongUsage(QStringLiteral("unknown option ") + name, clockUsage);
        if (++i >= arguments.size())
            return context.wrongUsage(QStringLiteral("a value is missing after ") + name,
                                      clockUsage);
        if (name == QLatin1String("--addresses")) {
            options.addresses = parseAddressList(arguments[i]);
            if (!options.addresses)
                return context.wrongUsage(QStringLiteral("not a list of relay addresses: ")
                                                  + arguments[i],
                                          clockUsage);
        } else {
            bool ok = false;
            const int seconds = arguments[i].toInt(&ok);
            if (!ok || seconds < 0)
                return context.wrongUsage(
                        QStringLiteral("--max-offset needs whole seconds, 0 or more"), clockUsage);
            options.maxOffsetSeconds = seconds;
        }
    }
    return options;
}

QString offsetField(const ClockReading &reading)
{
    return reading.offsetMs ? clockOffsetText(reading.offsetMs) : QStringLiteral("?");
}

} // namespace

int runClock(CliContext &context, const QStringList &arguments)
{
    const auto parsed = parseOptions(context, arguments);
    if (const int *status = std::get_if<int>(&parsed))
        return *status;
    const ClockOptions &options = std::get<ClockOptions>(parsed);
    const std::optional<QList<quint8>> line = openLine(context, options.addresses);
    if (!line)
        return ExitStatus::LinkFailure;
    const QList<quint8> &addresses = *line;
    RelaySession &session = context.session();

    const QList<ClockSyncResult> results =
            syncLineClocks(session, context.messages(), addresses, options.maxOffsetSeconds,
                           [] { return QDateTime::currentDateTime(); });
    bool linkFailed = results.size() < addresses.size();
    bool refused = false;
    QTextStream &out = context.out();
    for (const ClockSyncResult &result : results) {
        out << result.address << '\t';
        switch (result.outcome) {
        case ClockSyncResult::Outcome::Set:
            out << "set\t" << offsetField(result.before);
            break;
        case ClockSyncResult::Outcome::Kept:
            out << "kept\t" << offsetField(result.before);
            break;
        case ClockSyncResult::Outcome::NoLink:
        case ClockSyncResult::Outcome::PortLost:
            out << "no link\t" << result.reason;
            linkFailed = true;
            break;
        case ClockSyncResult::Outcome::Failed:
            out << "refused\t" << result.reason;
            refused = true;
            break;
        }
        out << '\n';
    }
    out.flush();
    if (linkFailed)
        return ExitStatus::LinkFailure;
    return refused ? ExitStatus::Refused : ExitStatus::Done;
}

} // namespace miv::cli
