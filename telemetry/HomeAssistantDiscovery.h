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

// The node of the relay at `address`: "miv_PREFIX_LINE_ADDRESS", every
// character but ASCII letters, digits, '_' and '-' made '_'.
QString discoveryNode(const TelemetryTopics &topics, int address);

// The configs of an identified relay: its entities, and an empty config for
// every entity of the other relay type that this one has not (the alarms of
// the level sensors), so that a relay replaced by one of another type
// leaves no stale entity.
QList<DiscoveryConfig> discoveryConfigs(const QString &discoveryPrefix,
                                        const TelemetryTopics &topics, const CurrentDevice &device);

// The config topics of every entity a relay at `address` may have, of
// either type: emptied when the relay has left the line's list.
QStringList discoveryTopics(const QString &discoveryPrefix, const TelemetryTopics &topics,
                            int address);

} // namespace miv::telemetry
