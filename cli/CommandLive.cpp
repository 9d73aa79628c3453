// mivctl live ADDR [--watch SECONDS] [--csv FILE]
//
// Identifies the relay, refreshes its live values and prints what the tab
// "Текущие значения" shows: each value label as caption<TAB>text, then each
// lamp as caption<TAB>on|off. --watch repeats every SECONDS until Ctrl+C,
// each block headed by "=== " and the PC's time; the two-column display
// (values at start limitation) follows register 39 bit 14 one refresh late,
// as in the window. --csv appends one row per refresh to FILE.
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "cli/LiveOutput.h"
#include "core/TextFormats.h"
#include "device/LiveDisplay.h"
#include "report/LiveCsv.h"

#include <QDateTime>
#include <QThread>

namespace miv::cli {

namespace {

const QString liveUsage = QStringLiteral("live ADDR [--watch SECONDS] [--csv FILE]");

QString lampText(int lamp, const std::optional<int> &value)
{
    if (lamp == 6 || lamp == 7) {
        if (!value)
            return QStringLiteral("blinking");
        switch (*value) {
        case 3:
            return QStringLiteral("green");
        case 1:
            return QStringLiteral("red");
        default:
            return QStringLiteral("off");
        }
    }
    return value && *value == 1 ? QStringLiteral("on") : QStringLiteral("off");
}

} // namespace

int exitStatusOf(BusOutcome outcome)
{
    switch (outcome) {
    case BusOutcome::Done:
        return ExitStatus::Done;
    case BusOutcome::Refused:
        return ExitStatus::Refused;
    case BusOutcome::NoAnswer:
    case BusOutcome::PortFailed:
        break;
    }
    return ExitStatus::LinkFailure;
}

int refreshAndPrintLive(CliContext &context)
{
    RelaySession &session = context.session();
    const LiveReadResult read = readLiveValues(session, context.messages());
    if (read.outcome == BusOutcome::PortFailed)
        context.err() << read.portError << Qt::endl;
    if (!read.done())
        return exitStatusOf(read.outcome);
    const LiveDisplay display = showValues(session.live, session.flags, session.device.typeCode,
                                           session.decimalSeparator);
    QTextStream &out = context.out();
    if (display.startLimitColumn)
        out << QStringLiteral("Значения\tпри ограничении пусков, текущие") << '\n';
    for (int slot = 0; slot < LiveDisplay::labelCount; ++slot)
        out << liveLabelCaption(slot) << '\t' << display.labels[std::size_t(slot)] << '\n';
    // Lamps 26 to 28 repeat 3 to 5 on the tab "Управление реле"; the sensor
    // lamps exist on a relay of type 6 only.
    for (int lamp = 1; lamp <= 25; ++lamp) {
        const bool sensorLamp = (lamp >= 18 && lamp <= 22) || lamp == 25;
        if (sensorLamp && !session.device.hasTimer())
            continue;
        out << lampCaption(lamp) << '\t' << lampText(lamp, display.lamps[std::size_t(lamp - 1)])
            << '\n';
    }
    out.flush();
    return ExitStatus::Done;
}

bool appendLiveCsvRow(const QString &path, CliContext &context, QString *error)
{
    return LiveCsv::appendRow(path, QDateTime::currentDateTime(), context.session().live, error);
}

int runLive(CliContext &context, const QStringList &arguments)
{
    if (arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("live needs an address"), liveUsage);
    const auto address = parseRelayAddress(arguments[0]);
    if (!address)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0],
                                  liveUsage);
    std::optional<int> watchMs;
    QString csvPath;
    for (qsizetype i = 1; i < arguments.size(); i += 2) {
        const QString &name = arguments[i];
        if (i + 1 >= arguments.size())
            return context.wrongUsage(QStringLiteral("a value is missing after ") + name,
                                      liveUsage);
        if (name == QStringLiteral("--watch")) {
            const std::optional<int> interval = autoRefreshIntervalMs(arguments[i + 1], u'.');
            if (!interval)
                return context.wrongUsage(QStringLiteral("--watch needs seconds above 0"),
                                          liveUsage);
            watchMs = interval;
        } else if (name == QStringLiteral("--csv")) {
            csvPath = arguments[i + 1];
        } else {
            return context.wrongUsage(QStringLiteral("unknown option ") + name, liveUsage);
        }
    }
    if (!context.openPort())
        return ExitStatus::LinkFailure;
    if (identifyAt(context, *address).outcome != IdentificationResult::Outcome::Identified)
        return ExitStatus::LinkFailure;
    context.session().flags.startLimitView = false; // the tab always opens with one column
    for (;;) {
        if (watchMs)
            context.out() << "=== "
                          << QDateTime::currentDateTime().toString(TextFormats::shortDate + u' '
                                                                   + TextFormats::shortTime)
                          << '\n';
        const int status = refreshAndPrintLive(context);
        if (status != ExitStatus::Done)
            return status;
        if (!csvPath.isEmpty()) {
            QString error;
            if (!appendLiveCsvRow(csvPath, context, &error)) {
                context.err() << error << Qt::endl;
                return ExitStatus::Refused;
            }
        }
        if (!watchMs)
            return ExitStatus::Done;
        QThread::msleep(ulong(*watchMs));
    }
}

} // namespace miv::cli
