#pragma once

#include "telemetry/TelemetryTopics.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv {
struct CurrentDevice;
} // namespace miv

namespace miv::telemetry {

// Home Assistant's MQTT discovery for the relays of a line: one device per
// relay, its entities read from the relay's live topic. A config is retained
// at D/COMPONENT/NODE/OBJECT/config (D the discovery prefix, NODE the line's
// node of the relay, OBJECT the entity), and an empty retained config
// removes the entity.
//
// The device is the place on the line (prefix, line and address): a relay
// replaced by another at the same address keeps the motor's entities and
// history, its new factory number and software version in the device's
// details. An entity is available while the line's status is "online" and
// the relay's state says it answers.
struct DiscoveryConfig
{
    QString topic;
    QByteArray payload; // empty: the entity is removed
};

// The node of the relay at `address`, also the start of its entities'
// unique ids. "miv_PREFIX_LINE_ADDRESS" while the prefix and the line are
// ASCII letters, digits and '-' only (the node earlier versions gave it, so
// that those relays keep their entities); otherwise every other character
// made '_' and "_" and 8 hex digits of a hash of the exact topic P/L/A
// appended, since '_' is the separator and "a.b", "a_b" and "a/b" would
// otherwise be one node. The two forms never meet: the first has three '_',
// the second more.
QString discoveryNode(const TelemetryTopics &topics, int address);

// The seconds after which Home Assistant shows a sensor unavailable when
// the relay's live topic is not published again (a relay that answers but
// refuses its live read): ten poll intervals, at least a minute, so that a
// long round on a full line never blanks the values.
int liveExpirySeconds(int intervalMs);

// The configs of an identified relay: its entities, and empty configs for
// every entity of the other relay type that this one has not (the alarms of
// the level sensors), so that a relay replaced by one of another type
// leaves no stale entity, and for every entity under the node earlier
// versions gave the relay where that differs, so that an upgrade leaves
// no double.
QList<DiscoveryConfig> discoveryConfigs(const QString &discoveryPrefix,
                                        const TelemetryTopics &topics, const CurrentDevice &device,
                                        int expirySeconds);

// The config topics of every entity a relay at `address` may have, of
// either type and under either node: emptied when the relay has left the
// line's list.
QStringList discoveryTopics(const QString &discoveryPrefix, const TelemetryTopics &topics,
                            int address);

} // namespace miv::telemetry
