// mivctl line stats [--seconds N] [--addresses ADDRS] [--csv]
//
// The health of the line: reads the live values of the relays (those listed,
// else those a scan finds) one after the other, as `live` reads them, for N
// seconds (default 10; Ctrl+C ends the polling early), then prints what the
// bus counted for each relay over that time, one line per address under a
// header line:
//   ADDR REQUESTS ANSWERS NO_ANSWER CRC_ERRORS OTHER_ADDRESS LATE NOISE_BYTES
//   RETRIES EXCEPTIONS MEDIAN_MS P95_MS MAX_MS HINTS
// separated by tabs (see link/BusStatisticsTable.h), HINTS the plain hints of
// link/LineHints.h. A relay that does not answer is polled on and counted:
// its failures are the figures, not messages. --csv prints the same as CSV
// (UTF-8 without a byte order mark, RFC 4180 quoting, commas, as overview
// --csv). Exit 4 when any relay has a hint, 0 when none has, 1 when the port
// was lost or the scan found no relay, 2 for wrong usage.
#include "cli/AddressList.h"
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "cli/ConsoleOperator.h"
#include "cli/InterruptCatcher.h"
#include "device/LiveRead.h"
#include "link/BusStatisticsTable.h"
#include "link/LineHints.h"
#include "report/CsvLine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <variant>

namespace miv::cli {

namespace {

const QString lineUsage = QStringLiteral("line stats [--seconds N] [--addresses ADDRS] [--csv]");
constexpr int defaultSeconds = 10;

struct StatsOptions
{
    int seconds = defaultSeconds;
    std::optional<QList<quint8>> addresses;
    bool csv = false;
};

// The options, or the exit status of wrong usage (told on stderr).
std::variant<StatsOptions, int> parseOptions(CliContext &context, const QStringList &arguments)
{
    if (arguments.value(0) != QLatin1String("stats"))
        return context.wrongUsage(arguments.isEmpty()
                                          ? QStringLiteral("line needs stats")
                                          : QStringLiteral("unknown line command ") + arguments[0],
                                  lineUsage);
    StatsOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &name = arguments[i];
        if (name == QLatin1String("--csv")) {
            options.csv = true;
            continue;
        }
        if (name != QLatin1String("--seconds") && name != QLatin1String("--addresses"))
            return context.wrongUsage(QStringLiteral("unknown option ") + name, lineUsage);
        if (++i >= arguments.size())
            return context.wrongUsage(QStringLiteral("a value is missing after ") + name,
                                      lineUsage);
        if (name == QLatin1String("--addresses")) {
            options.addresses = parseAddressList(arguments[i]);
            if (!options.addresses)
                return context.wrongUsage(QStringLiteral("not a list of relay addresses: ")
                                                  + arguments[i],
                                          lineUsage);
            continue;
        }
        bool ok = false;
        options.seconds = arguments[i].toInt(&ok);
        if (!ok || options.seconds < 1)
            return context.wrongUsage(QStringLiteral("--seconds needs a whole number above 0"),
                                      lineUsage);
    }
    return options;
}

// Reads the relays' live values in turn until the time is up or Ctrl+C.
// False when the port was lost, told on stderr.
bool poll(CliContext &context, const QList<quint8> &addresses, int seconds)
{
    // Failures are what is counted here: the operator is told none of them.
    QFile nowhere(QProcess::nullDevice());
    nowhere.open(QIODevice::WriteOnly);
    QTextStream silence(&nowhere);
    ConsoleOperator quiet(silence);

    const InterruptCatcher interrupt;
    QElapsedTimer clock;
    clock.start();
    RelaySession &session = context.session();
    for (qsizetype next = 0; !interrupt.interrupted() && clock.elapsed() < 1000LL * seconds;
         next = (next + 1) % addresses.size()) {
        // The live read needs the address only: a relay that cannot be
        // identified is the one whose figures are wanted.
        session.device.networkAddress = addresses[next];
        const LiveReadResult read = readLiveValues(session, quiet);
        if (read.outcome == BusOutcome::PortFailed) {
            context.err() << read.portError << Qt::endl;
            return false;
        }
    }
    return true;
}

// Prints the table; true when any relay has a hint.
bool printTable(CliContext &context, const QList<quint8> &addresses, bool csv)
{
    using namespace BusStatisticsTable;
    const BusStatistics &statistics = context.bus().statistics();
    const auto print = [&](const QStringList &fields) {
        if (csv)
            context.out() << QString::fromUtf8(csvLine(fields, u',', "\n"));
        else
            context.out() << fields.join(u'\t') << '\n';
    };
    QStringList header;
    for (int column = 0; column < ColumnCount; ++column)
        header << headerName(column);
    print(header);
    bool hinted = false;
    for (const quint8 address : addresses) {
        const BusCounters counters = statistics.total(address);
        QStringList fields;
        for (int column = 0; column < ColumnCount; ++column)
            fields << cellText(address, counters, column, u'.');
        print(fields);
        hinted = hinted || !lineHints(counters).isEmpty();
    }
    context.out().flush();
    return hinted;
}

} // namespace

int runLine(CliContext &context, const QStringList &arguments)
{
    const auto parsed = parseOptions(context, arguments);
    if (const int *status = std::get_if<int>(&parsed))
        return *status;
    const StatsOptions &options = std::get<StatsOptions>(parsed);
    const std::optional<QList<quint8>> line = openLine(context, options.addresses);
    if (!line)
        return ExitStatus::LinkFailure;
    // The figures of the polling alone, not of the scan that found the relays.
    context.bus().statistics().reset();
    if (!poll(context, *line, options.seconds))
        return ExitStatus::LinkFailure;
    return printTable(context, *line, options.csv) ? ExitStatus::HintGiven : ExitStatus::Done;
}

} // namespace miv::cli
