// mivctl interface ADDR [--baud N] [--parity P] [--stop-bits N]
//
// The relay's interface word (register 65) as the window's port setup
// writes it (changeRelayInterface): the options put over the port's settings
// name what the relay is to run at; only the speed, parity and stop-bit
// groups of its word are replaced, every other bit kept. What the word
// cannot say is refused before anything is written (exit 2). The word is
// printed before and after as WHEN<TAB>0xWORD<TAB>speed<TAB>parity<TAB>data
// bits<TAB>stop bits; without an option only the word before, and nothing
// is written. "front.ini" is left as it is: the settings the relay answers
// at are told on stderr.
#include "cli/CliContext.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "device/InterfaceChange.h"
#include "device/InterfaceText.h"
#include "device/LineSearch.h"
#include "link/InterfaceWordChange.h"

namespace miv::cli {

namespace {

const QString interfaceUsage =
        QStringLiteral("interface ADDR [--baud N] [--parity P] [--stop-bits N]");

void printWord(QTextStream &out, const char *when, quint16 word)
{
    out << when << '\t' << InterfaceWord::hex(word) << '\t' << interfaceWordLines(word).join(u'\t')
        << '\n';
}

int statusOf(const InterfaceChangeResult &result)
{
    using Outcome = InterfaceChangeResult::Outcome;
    switch (result.outcome) {
    case Outcome::Changed:
        return ExitStatus::Done;
    case Outcome::Inexpressible:
        return ExitStatus::WrongUsage;
    case Outcome::KeptOld:
        if (result.write.refused())
            return ExitStatus::Refused;
        break;
    case Outcome::NotRead:
    case Outcome::PortRefused:
    case Outcome::Unknown:
        break;
    }
    return ExitStatus::LinkFailure;
}

} // namespace

int runInterface(CliContext &context, const QStringList &arguments)
{
    if (arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("interface needs an address"), interfaceUsage);
    const auto address = parseRelayAddress(arguments[0]);
    if (!address)
        return context.wrongUsage(QStringLiteral("not a relay address: ") + arguments[0],
                                  interfaceUsage);
    // The values are read as the global options read theirs.
    const QStringList names{QStringLiteral("--baud"), QStringLiteral("--parity"),
                            QStringLiteral("--stop-bits")};
    QStringList given;
    for (qsizetype i = 1; i < arguments.size(); i += 2) {
        if (!names.contains(arguments[i]) || given.contains(arguments[i]))
            return context.wrongUsage(QStringLiteral("unexpected ")
                                              + argumentForMessage(arguments[i]),
                                      interfaceUsage);
        if (i + 1 >= arguments.size())
            return context.wrongUsage(QStringLiteral("a value is missing after ") + arguments[i],
                                      interfaceUsage);
        given << arguments[i] << arguments[i + 1];
    }
    QString error;
    const std::optional<GlobalOptions> options =
            parseGlobalOptions(given + QStringList{QStringLiteral("interface")}, &error);
    if (!options)
        return context.wrongUsage(error, interfaceUsage);

    if (!context.openPort())
        return ExitStatus::LinkFailure;
    if (identifyAt(context, *address).outcome != IdentificationResult::Outcome::Identified)
        return ExitStatus::LinkFailure;
    const PortSettings current = context.settings();
    if (given.isEmpty()) {
        printWord(context.out(), "before", context.session().device.interfaceWord);
        return ExitStatus::Done;
    }
    PortSettings target = current;
    options->applyTo(target);
    const PutInForce putInForce = [&context](const PortSettings &settings, QString *failure) {
        return context.link().setSettings(settings, failure);
    };
    RelaySession &session = context.session();
    const InterfaceChangeResult result =
            changeRelayInterface(context.bus(), *address, current, target, putInForce,
                                 context.messages(), &session.audit, session.device.factoryNumber);
    using Outcome = InterfaceChangeResult::Outcome;
    if (result.outcome != Outcome::NotRead)
        printWord(context.out(), "before", result.wordBefore);
    // After: what the relay holds once it was written to.
    const bool written = result.outcome == Outcome::Changed || result.outcome == Outcome::KeptOld;
    if (result.wordNow && written)
        printWord(context.out(), "after", *result.wordNow);
    QString text = interfaceChangeText(result, current, target);
    if (result.outcome == Outcome::Changed)
        text = QStringLiteral("Реле отвечает при настройках %1; front.ini не изменён")
                       .arg(settingsText(target));
    if (!text.isEmpty())
        context.err() << text.replace(u'\r', u'\n') << Qt::endl;
    return statusOf(result);
}

} // namespace miv::cli
