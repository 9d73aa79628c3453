#pragma once

#include <optional>
#include <QString>

namespace miv::telemetry {

// The topics of one line, P/L/...:
//   P/L/status          "online"; "offline" after a clean stop, "lost" as the last will (retained,
//   QoS 1) P/L/meta            the publisher: program version, port and speed, relay list
//   (retained) P/L/A/info          the relay at address A: type, name, factory number, version
//   (retained) P/L/A/state         whether it answers (retained) P/L/A/live          its live
//   values at each poll (retained) P/L/A/journal       one message per journal entry (QoS 1, not
//   retained)
struct TelemetryTopics
{
    QString prefix = QStringLiteral("miv");
    QString line;

    QString status() const { return prefix + u'/' + line + QStringLiteral("/status"); }
    QString meta() const { return prefix + u'/' + line + QStringLiteral("/meta"); }
    QString info(int address) const { return relay(address, QStringLiteral("info")); }
    QString state(int address) const { return relay(address, QStringLiteral("state")); }
    QString live(int address) const { return relay(address, QStringLiteral("live")); }
    QString journal(int address) const { return relay(address, QStringLiteral("journal")); }

private:
    QString relay(int address, const QString &leaf) const
    {
        return prefix + u'/' + line + u'/' + QString::number(address) + u'/' + leaf;
    }
};

// The line's name made from the port's: its last path part ("ttyUSB0" for
// /dev/ttyUSB0, the by-id name for a /dev/serial/by-id link, "COM3"), or
// HOST_PORT for tcp://HOST:PORT; every character but letters, digits, '.',
// '_' and '-' becomes '_', so that the name is one topic level.
QString lineNameFromPort(const QString &portName);

// What is wrong with a prefix (slashes allowed inside: several levels) or a
// line name (one level) as part of a topic; nullopt when it may be used.
// Wildcards, an empty level, a leading '$' (the broker's own topics) and NUL
// are refused.
std::optional<QString> prefixProblem(const QString &prefix);
std::optional<QString> lineNameProblem(const QString &line);

} // namespace miv::telemetry
