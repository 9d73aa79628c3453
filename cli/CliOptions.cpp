#include "cli/CliOptions.h"

#include "registry/RegistryLocation.h"

#include <functional>

namespace miv::cli {

namespace {

constexpr int longestWaitMs = 600000;

std::optional<int> positiveNumber(const QString &text, int maximum)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value <= 0 || value > maximum)
        return std::nullopt;
    return value;
}

// The list's own spelling of text, matched without regard to case.
std::optional<QString> oneOf(const QStringList &texts, const QString &text)
{
    for (const QString &candidate : texts) {
        if (candidate.compare(text, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return std::nullopt;
}

// Stores an option's value; false when the value is not acceptable.
using ValueSetter = std::function<bool(GlobalOptions &, const QString &)>;

const QList<std::pair<QString, ValueSetter>> &valueOptions()
{
    static const QList<std::pair<QString, ValueSetter>> options{
            {QStringLiteral("--port"),
             [](GlobalOptions &o, const QString &v) {
                 o.port = PortOverride::parse(v);
                 return o.port.has_value();
             }},
            {QStringLiteral("--baud"),
             [](GlobalOptions &o, const QString &v) {
                 o.baudRate = positiveNumber(v, 4000000);
                 return o.baudRate.has_value();
             }},
            {QStringLiteral("--parity"),
             [](GlobalOptions &o, const QString &v) {
                 o.parity = oneOf(PortSettings::parityTexts(), v);
                 return o.parity.has_value();
             }},
            {QStringLiteral("--data-bits"),
             [](GlobalOptions &o, const QString &v) {
                 o.dataBits = oneOf(PortSettings::dataBitsTexts(), v);
                 return o.dataBits.has_value();
             }},
            {QStringLiteral("--stop-bits"),
             [](GlobalOptions &o, const QString &v) {
                 o.stopBits = oneOf(PortSettings::stopBitsTexts(), v);
                 return o.stopBits.has_value();
             }},
            {QStringLiteral("--timeout"),
             [](GlobalOptions &o, const QString &v) {
                 o.replyTimeoutMs = positiveNumber(v, longestWaitMs);
                 return o.replyTimeoutMs.has_value();
             }},
            {QStringLiteral("--scan-wait"),
             [](GlobalOptions &o, const QString &v) {
                 o.scanWaitMs = positiveNumber(v, longestWaitMs);
                 return o.scanWaitMs.has_value();
             }},
            {QStringLiteral("--registry"),
             [](GlobalOptions &o, const QString &v) {
                 if (RegistryLocation::parse(v))
                     o.registry = v;
                 return o.registry.has_value();
             }},
            {QStringLiteral("--retries"),
             [](GlobalOptions &o, const QString &v) {
                 bool ok = false;
                 const int retries = v.toInt(&ok);
                 if (ok && retries >= 0 && retries <= PortSettings::maximumRetries)
                     o.retries = retries;
                 return o.retries.has_value();
             }},
    };
    return options;
}

const ValueSetter *valueOption(const QString &name)
{
    for (const auto &[optionName, setter] : valueOptions()) {
        if (optionName == name)
            return &setter;
    }
    return nullptr;
}

// The refusal of an option's value. The register's address may hold a
// password: it is never shown, only the reason the address is refused.
QString badValue(const QString &name, const QString &value)
{
    QString reason;
    if (name == QLatin1String("--registry") && !RegistryLocation::parse(value, &reason))
        return QStringLiteral("bad value for %1: %2").arg(name, reason);
    return QStringLiteral("bad value for %1: %2").arg(name, value);
}

} // namespace

void GlobalOptions::applyTo(PortSettings &settings) const
{
    if (port)
        port->applyTo(settings);
    if (baudRate) {
        // A rate of the settings file's list is kept as such; any other is a custom rate.
        const QString text = QString::number(*baudRate);
        if (PortSettings::baudRateTexts().contains(text)) {
            settings.baudRate = text;
        } else {
            settings.baudRate = QStringLiteral("Custom");
            settings.customBaudRate = *baudRate;
        }
    }
    if (parity)
        settings.parity = *parity;
    if (dataBits)
        settings.dataBits = *dataBits;
    if (stopBits)
        settings.stopBits = *stopBits;
    if (scanWaitMs)
        settings.scanWaitMs = *scanWaitMs;
    if (retries)
        settings.retries = *retries;
}

QString globalOptionsUsage()
{
    return QStringLiteral(
            "usage: mivctl [OPTIONS] COMMAND [ARGUMENTS...]\n"
            "options (before the command; the port settings default to front.ini beside mivctl):\n"
            "  --port NAME                          port name or device path (ttyUSB0, COM3, /dev/pts/5)\n"
            "  --port tcp://HOST:PORT               a serial-to-Ethernet gateway passing the frames over TCP\n"
            "  --baud N                             line speed\n"
            "  --parity none|odd|even|mark|space\n"
            "  --data-bits 5..8\n"
            "  --stop-bits 1|1.5|2\n"
            "  --timeout MS                         wait for a reply\n"
            "  --scan-wait MS                       wait for a reply while scanning\n"
            "  --retries N                          ask a failed exchange again N more times (0-9)\n"
            "  --registry FILE|postgresql://[USER@][HOST][:PORT][/DB]\n"
            "                                       the relay register (default: front.ini's\n"
            "                                       [Registry] Location, else registry.sqlite beside\n"
            "                                       the audit log); a part left out from PGUSER,\n"
            "                                       PGHOST, PGPORT, PGDATABASE; the password from\n"
            "                                       ~/.pgpass, PGPASSFILE or PGPASSWORD, never here\n"
            "  --trace                              dump every frame on stderr, raw: the relay's\n"
            "                                       password is in the frames that read or write it\n"
            "  --yes                                answer the program's questions with OK/Yes\n"
            "exit status: 0 done, 1 link failure, 2 wrong usage, 3 refused, 4 different (config diff),\n"
            "  130 interrupted (Ctrl+C or SIGTERM during find or a write)\n");
}

std::optional<GlobalOptions> parseGlobalOptions(const QStringList &arguments, QString *error)
{
    GlobalOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (!argument.startsWith(QLatin1String("--"))) {
            options.command = argument;
            options.commandArguments = arguments.mid(i + 1);
            return options;
        }
        if (argument == QLatin1String("--trace")) {
            options.trace = true;
            continue;
        }
        if (argument == QLatin1String("--yes")) {
            options.assumeYes = true;
            continue;
        }
        if (argument == QLatin1String("--help")) {
            options.command = QStringLiteral("help");
            return options;
        }

        // "--name value" or "--name=value".
        const qsizetype equals = argument.indexOf(u'=');
        const QString name = equals < 0 ? argument : argument.left(equals);
        const ValueSetter *setter = valueOption(name);
        if (!setter) {
            // Without its value, which may be a misspelt --registry's address.
            *error = QStringLiteral("unknown option %1").arg(name);
            return std::nullopt;
        }
        QString value;
        if (equals >= 0) {
            value = argument.mid(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            *error = QStringLiteral("option %1 needs a value").arg(name);
            return std::nullopt;
        }
        if (!(*setter)(options, value)) {
            *error = badValue(name, value);
            return std::nullopt;
        }
    }
    return options;
}

} // namespace miv::cli
