// mivctl overview [--addresses ADDRS] [--watch SECONDS] [--csv]
//
// Every relay of the line in one table, as the page "Обзор линии" shows it:
// one line per relay,
//   ADDR<TAB>NAME<TAB>FACTORY<TAB>STATE<TAB>IA<TAB>IB<TAB>IC<TAB>TEMPERATURE<TAB>ALARMS<TAB>CLOCK
// with the texts of the live page ("012,3 А", "+25 °C", "Работа", the lit
// alarm lamps' captions joined by ", ") and the relay's clock offset against
// the PC ("+3 с", see device/RelayClock.h). The spaces that line the live
// page's labels up are trimmed: a field of a TAB-separated line is read by
// cut, awk or a spreadsheet, which want no leading blanks. A relay that does
// not answer reads "нет связи" in STATE, and its values stay empty (nothing
// was read in this round). Without --addresses the line is scanned first.
// --watch repeats a round every SECONDS until Ctrl+C, each headed by "=== "
// and the PC's time. --csv prints the same columns as CSV (RFC 4180, UTF-8
// without a byte order mark, which would stick to the first field of every
// program reading the pipe) under the header line
// ADDR,NAME,FACTORY,STATE,IA,IB,IC,TEMPERATURE,ALARMS,CLOCK, given once.
// Exit 0 when the rounds ran (silent relays included), 1 when the port was
// lost or the scan found no relay, 2 for wrong usage.
#include "cli/AddressList.h"
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "core/LineOverviewModel.h"
#include "core/TextFormats.h"
#include "device/Discovery.h"
#include "device/LineOverview.h"
#include "device/LiveRead.h"
#include "report/CsvLine.h"

#include <QDateTime>
#include <QThread>
#include <variant>

namespace miv::cli {

namespace {

const QString overviewUsage =
        QStringLiteral("overview [--addresses ADDRS] [--watch SECONDS] [--csv]");

struct OverviewOptions
{
    std::optional<QList<quint8>> addresses;
    std::optional<int> watchMs;
    bool csv = false;
};

// The options, or the exit status of wrong usage (told on stderr).
std::variant<OverviewOptions, int> parseOptions(CliContext &context, const QStringList &arguments)
{
    OverviewOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &name = arguments[i];
        if (name == QLatin1String("--csv")) {
            options.csv = true;
            continue;
        }
        if (name != QLatin1String("--addresses") && name != QLatin1String("--watch"))
            return context.wrongUsage(QStringLiteral("unknown option ") + name, overviewUsage);
        if (++i >= arguments.size())
            return context.wrongUsage(QStringLiteral("a value is missing after ") + name,
                                      overviewUsage);
        if (name == QLatin1String("--addresses")) {
            options.addresses = parseAddressList(arguments[i]);
            if (!options.addresses)
                return context.wrongUsage(QStringLiteral("not a list of relay addresses: ")
                                                  + arguments[i],
                                          overviewUsage);
        } else {
            options.watchMs = autoRefreshIntervalMs(arguments[i], u'.');
            if (!options.watchMs)
                return context.wrongUsage(QStringLiteral("--watch needs seconds above 0"),
                                          overviewUsage);
        }
    }
    return options;
}

// The columns of a relay's line.
QStringList overviewFields(const OverviewRow &row)
{
    using Column = LineOverviewModel::Column;
    QStringList fields{LineOverviewModel::cellText(row, Column::Address),
                       LineOverviewModel::cellText(row, Column::Name),
                       LineOverviewModel::cellText(row, Column::FactoryNumber)};
    if (!row.answered)
        return fields << QStringLiteral("нет связи") << QString() << QString() << QString()
                      << QString() << QString() << QString();
    for (int column = Column::State; column <= Column::ClockOffset; ++column)
        fields << LineOverviewModel::cellText(row, column);
    return fields;
}

void printRound(CliContext &context, const LineOverviewModel &model, bool csv)
{
    QTextStream &out = context.out();
    for (const OverviewRow &row : model.rows()) {
        const QStringList fields = overviewFields(row);
        if (csv)
            out << QString::fromUtf8(csvLine(fields, u',', "\n"));
        else
            out << fields.join(u'\t') << '\n';
    }
    out.flush();
}

} // namespace

int runOverview(CliContext &context, const QStringList &arguments)
{
    const auto parsed = parseOptions(context, arguments);
    if (const int *status = std::get_if<int>(&parsed))
        return *status;
    const OverviewOptions &options = std::get<OverviewOptions>(parsed);
    const std::optional<QList<quint8>> line = openLine(context, options.addresses);
    if (!line)
        return ExitStatus::LinkFailure;
    const QList<quint8> &addresses = *line;
    RelaySession &session = context.session();

    LineOverviewModel model;
    LineOverview overview(session, model);
    overview.setAddresses(addresses);
    if (options.csv)
        context.out() << QString::fromUtf8(
                csvLine({QStringLiteral("ADDR"), QStringLiteral("NAME"), QStringLiteral("FACTORY"),
                         QStringLiteral("STATE"), QStringLiteral("IA"), QStringLiteral("IB"),
                         QStringLiteral("IC"), QStringLiteral("TEMPERATURE"),
                         QStringLiteral("ALARMS"), QStringLiteral("CLOCK")},
                        u',', "\n"));
    for (;;) {
        if (options.watchMs && !options.csv)
            context.out() << "=== "
                          << QDateTime::currentDateTime().toString(TextFormats::shortDate + u' '
                                                                   + TextFormats::shortTime)
                          << '\n';
        for (;;) {
            const LineOverview::StepResult step = overview.step();
            if (step.outcome == LineOverview::StepOutcome::PortLost) {
                context.err() << step.portLostText << Qt::endl;
                return ExitStatus::LinkFailure;
            }
            if (step.outcome != LineOverview::StepOutcome::Read)
                break;
        }
        printRound(context, model, options.csv);
        if (!options.watchMs)
            return ExitStatus::Done;
        QThread::msleep(ulong(overview.delayBeforeNextStepMs(*options.watchMs)));
    }
}

} // namespace miv::cli
