// mivctl publish --broker HOST:PORT [--prefix P] [--line L] [--addresses LIST]
//                [--interval SECONDS] [--journal-interval SECONDS] [--username NAME]
//                [--password-file FILE] [--tls-ca FILE] [--tls-cert FILE --tls-key FILE]
//                [--state-file FILE] [--keepalive SECONDS]
//                [--discovery PREFIX | --no-discovery]
//
// Read-only telemetry of one line to an MQTT broker, until SIGTERM or
// SIGINT: the topics are described in telemetry/TelemetryTopics.h and the
// README. The broker's password comes from --password-file (its first
// line) or the environment variable MIV_MQTT_PASSWORD, never from the
// command line. Exit status: 0 stopped by a signal, 1 the broker refused the
// client or TLS failed (the broker's reason on stderr), 2 wrong usage, 3 a
// state file that cannot be used.
#include "cli/AddressList.h"
#include "cli/CliContext.h"
#include "cli/Commands.h"
#include "core/FileErrorReason.h"
#include "telemetry/JournalLedger.h"
#include "telemetry/LinePublisher.h"
#include "telemetry/MqttConnection.h"

#include "core/ProgramVersion.h"

#include <atomic>
#include <csignal>
#include <cmath>
#include <mutex>
#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>

namespace miv::cli {

namespace {

using namespace miv::telemetry;

const char *const passwordVariable = "MIV_MQTT_PASSWORD";
constexpr int stopAcknowledgeMs = 5000;
constexpr int firstAttemptMs = 10000;
constexpr qint64 largestPasswordFile = 4096;

std::atomic_bool stopRequested = false;

extern "C" void requestStop(int)
{
    stopRequested = true;
}

struct PublishOptions
{
    QString broker;
    QString prefix = QStringLiteral("miv");
    QString line;
    QString addresses;
    QString interval = QStringLiteral("1");
    QString journalInterval = QStringLiteral("3600");
    QString username;
    QString passwordFile;
    QString caFile;
    QString certFile;
    QString keyFile;
    QString stateFile;
    QString keepAlive = QStringLiteral("30");
    QString discovery = QStringLiteral("homeassistant");
    bool noDiscovery = false;
};

// Seconds (a decimal point, fractions allowed) within [minimum, maximum] as milliseconds.
std::optional<int> secondsToMs(const QString &text, double minimum, double maximum)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < minimum || seconds > maximum)
        return std::nullopt;
    return int(std::lround(seconds * 1000));
}

// The option's value slot, or nullptr for an unknown option.
QString *slotOf(PublishOptions &options, const QString &name)
{
    const std::pair<const char *, QString *> table[] = {
            {"--broker", &options.broker},       {"--prefix", &options.prefix},
            {"--line", &options.line},           {"--addresses", &options.addresses},
            {"--interval", &options.interval},   {"--journal-interval", &options.journalInterval},
            {"--username", &options.username},   {"--password-file", &options.passwordFile},
            {"--tls-ca", &options.caFile},       {"--state-file", &options.stateFile},
            {"--tls-cert", &options.certFile},   {"--tls-key", &options.keyFile},
            {"--keepalive", &options.keepAlive}, {"--discovery", &options.discovery},
    };
    for (const auto &[option, slot] : table)
        if (name == QLatin1String(option))
            return slot;
    return nullptr;
}

// The first line of the password file, without its line end.
std::optional<QByteArray> readPasswordFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + fileErrorReason(file, lastSystemError());
        return std::nullopt;
    }
    if (file.size() > largestPasswordFile) {
        *error = path + QStringLiteral(": too large for a password file");
        return std::nullopt;
    }
    QByteArray password = file.readLine();
    while (password.endsWith('\n') || password.endsWith('\r'))
        password.chop(1);
    return password;
}

} // namespace

int runPublish(CliContext &context, const QStringList &arguments)
{
    const QString publishUsage = findCommand(QStringLiteral("publish"))->usage;
    PublishOptions options;
    for (qsizetype i = 0; i < arguments.size(); i += 2) {
        const QString &name = arguments[i];
        if (name == QStringLiteral("--no-discovery")) {
            options.noDiscovery = true;
            --i;
            continue;
        }
        if (name == QStringLiteral("--password"))
            return context.wrongUsage(
                    QStringLiteral("the broker's password is taken only from --password-file or "
                                   "the environment variable %1, never from the command line")
                            .arg(QLatin1String(passwordVariable)),
                    publishUsage);
        QString *slot = slotOf(options, name);
        if (!slot)
            return context.wrongUsage(QStringLiteral("unknown option ") + name, publishUsage);
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
            return context.wrongUsage(QStringLiteral("a value is missing after ") + name,
                                      publishUsage);
        *slot = arguments[i + 1];
    }
    const auto broker = PortSettings::parseGateway(options.broker);
    if (!broker)
        return context.wrongUsage(QStringLiteral("--broker needs HOST:PORT"), publishUsage);

    PublishSettings settings;
    settings.topics.prefix = options.prefix;
    settings.topics.line =
            options.line.isEmpty() ? lineNameFromPort(context.settings().lineName()) : options.line;
    if (const auto problem = prefixProblem(settings.topics.prefix))
        return context.wrongUsage(QStringLiteral("--prefix: ") + *problem, publishUsage);
    if (const auto problem = lineNameProblem(settings.topics.line))
        return context.wrongUsage(QStringLiteral("--line: ") + *problem, publishUsage);
    if (!options.addresses.isEmpty()) {
        const auto addresses = parseAddressList(options.addresses);
        if (!addresses)
            return context.wrongUsage(QStringLiteral("not a list of relay addresses: ")
                                              + options.addresses,
                                      publishUsage);
        settings.addresses = *addresses;
    }
    const auto interval = secondsToMs(options.interval, 0, 3600);
    const auto journalInterval = secondsToMs(options.journalInterval, 1, 7 * 24 * 3600);
    if (!interval || !journalInterval)
        return context.wrongUsage(
                QStringLiteral(
                        "--interval takes 0 to 3600 seconds, --journal-interval 1 to 604800"),
                publishUsage);
    settings.intervalMs = *interval;
    settings.journalIntervalMs = *journalInterval;
    bool keepAliveOk = false;
    const int keepAlive = options.keepAlive.toInt(&keepAliveOk);
    if (!keepAliveOk || keepAlive < 5 || keepAlive > 65535)
        return context.wrongUsage(QStringLiteral("--keepalive takes 5 to 65535 seconds"),
                                  publishUsage);
    if (!options.noDiscovery) {
        if (const auto problem = prefixProblem(options.discovery))
            return context.wrongUsage(QStringLiteral("--discovery: ") + *problem, publishUsage);
        settings.discoveryPrefix = options.discovery;
    }
    if (options.certFile.isEmpty() != options.keyFile.isEmpty())
        return context.wrongUsage(QStringLiteral("--tls-cert and --tls-key go together"),
                                  publishUsage);
    if (!options.certFile.isEmpty() && options.caFile.isEmpty())
        return context.wrongUsage(QStringLiteral("--tls-cert needs --tls-ca"), publishUsage);
    settings.recorder = &context.recorder();

    // One client per publisher: two publishers of the same line name (two
    // PCs whose line defaulted to ttyUSB0) must not throw each other out.
    const QString host = QSysInfo::machineHostName();
    const qint64 pid = QCoreApplication::applicationPid();
    MqttConnection::Settings mqtt;
    mqtt.host = broker->host;
    mqtt.port = broker->port;
    mqtt.clientId = QStringLiteral("mivctl-%1-%2-%3").arg(settings.topics.line, host).arg(pid);
    mqtt.username = options.username;
    mqtt.caFile = options.caFile;
    mqtt.certFile = options.certFile;
    mqtt.keyFile = options.keyFile;
    mqtt.statusTopic = settings.topics.status();
    mqtt.subscription = settings.topics.meta();
    mqtt.keepAliveSeconds = keepAlive;
    settings.metadata = {mqtt.clientId,
                         host,
                         pid,
                         programVersion(),
                         context.settings().lineName(),
                         context.settings().effectiveBaudRate(),
                         settings.topics.prefix,
                         settings.topics.line,
                         {},
                         {}};
    QString error;
    if (!options.passwordFile.isEmpty()) {
        mqtt.password = readPasswordFile(options.passwordFile, &error);
        if (!mqtt.password)
            return context.wrongUsage(error, publishUsage);
    } else if (qEnvironmentVariableIsSet(passwordVariable)) {
        mqtt.password = qgetenv(passwordVariable);
    }
    if (mqtt.password && mqtt.username.isEmpty())
        return context.wrongUsage(QStringLiteral("a password needs --username"), publishUsage);

    JournalLedger ledger(options.stateFile.isEmpty()
                                 ? JournalLedger::defaultPath(settings.topics.line)
                                 : options.stateFile,
                         settings.topics.line);
    // Refused before anything is published: a state file that cannot be
    // written would have every journal published again at the next start.
    if (!ledger.load(&error) || !ledger.checkWritable(&error)) {
        context.err() << "mivctl: " << error << Qt::endl;
        return ExitStatus::Refused;
    }

    // The connection logs from its own thread.
    std::mutex logMutex;
    const auto log = [&context, &logMutex](const QString &line) {
        std::lock_guard lock(logMutex);
        context.err() << "publish: " << line << Qt::endl;
    };
    MqttConnection connection(mqtt, log);
    if (!connection.start(&error)) {
        context.err() << error << Qt::endl;
        return ExitStatus::LinkFailure;
    }
    stopRequested = false;
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    log(QStringLiteral("line %1 to %2:%3 as %4/%5, journal entries remembered in %6")
                .arg(context.settings().lineName(), broker->host)
                .arg(broker->port)
                .arg(settings.topics.prefix, settings.topics.line, ledger.path()));

    // A refused password ends the command before any relay is asked.
    connection.waitForFirstAttempt(firstAttemptMs);
    LinePublisher publisher(context.link(), connection, ledger, settings, log);
    const LinePublisher::End end = connection.fatalError() ? LinePublisher::End::BrokerRefused
                                                           : publisher.run(stopRequested);
    if (end == LinePublisher::End::BrokerRefused) {
        context.err() << "mivctl: the broker did not take the connection: "
                      << connection.fatalError().value_or(QString()) << Qt::endl;
        return ExitStatus::LinkFailure;
    }
    connection.stop(QByteArrayLiteral("offline"), stopAcknowledgeMs);
    publisher.rememberAcknowledged();
    const MqttConnection::Counts counts = connection.counts();
    log(QStringLiteral("stopped: %1 live, %2 journal and %3 other messages published")
                .arg(counts.live)
                .arg(counts.events)
                .arg(counts.retained));
    return ExitStatus::Done;
}

} // namespace miv::cli
