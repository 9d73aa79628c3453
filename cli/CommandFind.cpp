// mivctl find [--addresses ADDRS]
//
// Looks for a relay whose line settings are not known: tries every speed,
// parity and stop bits the interface word can hold, fastest first, asking
// the addresses (default 1-32) with the status query and the scan wait at
// each. The first relay that answers is printed as
//   ADDR<TAB>speed<TAB>parity<TAB>stop bits        e.g. 17<TAB>19200<TAB>None<TAB>1
// and the question whether to take the settings for the port goes to stderr;
// with --yes they are stored in front.ini (the port name there kept) and
// "stored<TAB>front.ini path" follows. Nothing answering: exit 1; the
// settings not stored: exit 3. Each setting tried is noted on stderr.
// Ctrl+C stops the search after the exchange under way: the port keeps its
// settings, nothing is stored, stderr says so and the exit status is 130.
#include "cli/AddressList.h"
#include "cli/CliContext.h"
#include "cli/Commands.h"
#include "cli/InterruptCatcher.h"
#include "device/Discovery.h"
#include "device/LineSearch.h"
#include "link/FrontIni.h"

namespace miv::cli {

namespace {

const QString findUsage = QStringLiteral("find [--addresses ADDRS]");

} // namespace

int runFind(CliContext &context, const QStringList &arguments)
{
    QList<quint8> addresses = scanAddresses();
    if (!arguments.isEmpty()) {
        if (arguments.size() != 2 || arguments[0] != QLatin1String("--addresses"))
            return context.wrongUsage(QStringLiteral("find takes only --addresses ADDRS"),
                                      findUsage);
        const auto given = parseAddressList(arguments[1]);
        if (!given)
            return context.wrongUsage(
                    QStringLiteral("not a list of relay addresses: ") + arguments[1], findUsage);
        addresses = *given;
    }
    if (!context.openPort())
        return ExitStatus::LinkFailure;

    LineSearchHooks hooks;
    hooks.settingsTried = [&context](const PortSettings &settings, int step, int steps) {
        context.messages().note(
                QStringLiteral("%1/%2: %3").arg(step + 1).arg(steps).arg(settingsText(settings)));
    };
    LineSearchResult result;
    {
        const InterruptCatcher interrupt;
        hooks.cancelRequested = [&interrupt] { return interrupt.interrupted(); };
        result = findRelayLine(context.session(), context.messages(), context.link(), addresses,
                               hooks);
    }
    if (result.found())
        context.out() << *result.address << '\t' << result.settings.effectiveBaudRate() << '\t'
                      << result.settings.parity << '\t' << result.settings.stopBits << Qt::endl;

    // Only the line settings go into "front.ini": its port name and bus
    // timing stay as they are there (the options of this run are not stored).
    const QString iniPath = context.frontIni();
    const PortSettingsStore store = [&iniPath](const PortSettings &found, QString *error) {
        PortSettings inFile;
        if (!loadPortSettings(iniPath, inFile, error))
            return false;
        inFile.baudRate = found.baudRate;
        inFile.parity = found.parity;
        inFile.stopBits = found.stopBits;
        inFile.dataBits = found.dataBits;
        return storePortSettings(iniPath, inFile, error);
    };
    const bool stored = offerFoundSettings(context.messages(), context.link(), result, store);
    if (stored)
        context.out() << "stored\t" << iniPath << Qt::endl;
    if (result.cancelled)
        return ExitStatus::Interrupted;
    if (!result.found())
        return ExitStatus::LinkFailure;
    if (context.options().assumeYes && !stored)
        return ExitStatus::Refused;
    return ExitStatus::Done;
}

} // namespace miv::cli
