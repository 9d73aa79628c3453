#include "telemetry/HomeAssistantDiscovery.h"

#include "core/CurrentDevice.h"
#include "core/ProgramVersion.h"
#include "device/LiveDisplay.h"
#include "device/SoftwareVersion.h"

#include <algorithm>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace miv::telemetry {

namespace {

// The relay types whose entities differ: 6 with the level sensors, the rest without.
constexpr quint16 typeWithSensors = 6;
constexpr quint16 typeWithoutSensors = 4;

struct Measurement
{
    const char *object;
    const char *name;
    const char *value; // the template's expression on value_json
    const char *unit; // nullptr: none
    const char *deviceClass; // nullptr: none
    const char *stateClass;
};

// The sensors of every relay, read from its live topic.
constexpr Measurement measurements[] = {
        {"current_a", "Ток фазы A", "value_json.currents[0]", "A", "current", "measurement"},
        {"current_b", "Ток фазы B", "value_json.currents[1]", "A", "current", "measurement"},
        {"current_c", "Ток фазы C", "value_json.currents[2]", "A", "current", "measurement"},
        {"voltage_a", "Напряжение фазы A", "value_json.voltages[0]", "V", "voltage", "measurement"},
        {"voltage_b", "Напряжение фазы B", "value_json.voltages[1]", "V", "voltage", "measurement"},
        {"voltage_c", "Напряжение фазы C", "value_json.voltages[2]", "V", "voltage", "measurement"},
        {"temperature", "Температура", "value_json.temperature", "°C", "temperature",
         "measurement"},
        {"insulation", "Сопротивление изоляции", "value_json.insulation", "MΩ", nullptr,
         "measurement"},
        {"leakage", "Утечка", "value_json.leakage", "%", nullptr, "measurement"},
        {"asymmetry", "Асимметрия", "value_json.asymmetry", "%", nullptr, "measurement"},
        {"cos_phi", "cos φ", "value_json.cos_phi", nullptr, "power_factor", "measurement"},
        {"frequency", "Частота", "value_json.frequency", "Hz", "frequency", "measurement"},
        {"motor_hours", "Моторесурс", "value_json.motor_hours", "h", "duration",
         "total_increasing"},
};

constexpr int expiryIntervals = 10;
constexpr int shortestExpirySeconds = 60;
constexpr int nodeHashDigits = 8;

bool isNodeCharacter(QChar c)
{
    return c.unicode() < 128 && (c.isLetterOrNumber() || c == u'-');
}

QString plain(const QString &text)
{
    QString result = text;
    for (QChar &c : result)
        if (!isNodeCharacter(c))
            c = u'_';
    return result;
}

// The node earlier versions gave every relay, whatever its prefix and line.
QString formerNode(const TelemetryTopics &topics, int address)
{
    return QStringLiteral("miv_%1_%2_%3")
            .arg(plain(topics.prefix), plain(topics.line))
            .arg(address);
}

QString configTopic(const QString &prefix, const char *component, const QString &node,
                    const QString &object)
{
    return prefix + u'/' + QLatin1String(component) + u'/' + node + u'/' + object
            + QStringLiteral("/config");
}

QString alarmObject(int lamp)
{
    return QStringLiteral("alarm_%1").arg(lamp);
}

// A Jinja string literal of `text`.
QString quoted(const QString &text)
{
    return u'\''
            + QString(text)
                      .replace(u'\\', QStringLiteral("\\\\"))
                      .replace(u'\'', QStringLiteral("\\'"))
            + u'\'';
}

QJsonObject deviceOf(const TelemetryTopics &topics, const CurrentDevice &device)
{
    const QString model = device.deviceName.trimmed();
    return {
            {QStringLiteral("identifiers"),
             QJsonArray{discoveryNode(topics, device.networkAddress)}},
            {QStringLiteral("name"), QStringLiteral("%1 №%2").arg(model).arg(device.factoryNumber)},
            {QStringLiteral("model"), model},
            {QStringLiteral("sw_version"), softwareVersionText(device.softwareVersion)},
            {QStringLiteral("serial_number"), QString::number(device.factoryNumber)},
    };
}

QJsonArray availabilityOf(const TelemetryTopics &topics, int address)
{
    return {
            QJsonObject{{QStringLiteral("topic"), topics.status()},
                        {QStringLiteral("value_template"),
                         QStringLiteral("{{ 'online' if value == 'online' else 'offline' }}")}},
            QJsonObject{{QStringLiteral("topic"), topics.state(address)},
                        {QStringLiteral("value_template"),
                         QStringLiteral("{{ 'online' if value_json.online else 'offline' }}")}},
    };
}

QJsonObject entity(const TelemetryTopics &topics, const CurrentDevice &device,
                   const QString &object, const QString &name, const QString &value,
                   int expirySeconds)
{
    const QString node = discoveryNode(topics, device.networkAddress);
    return {
            {QStringLiteral("expire_after"), expirySeconds},
            {QStringLiteral("name"), name},
            {QStringLiteral("unique_id"), node + u'_' + object},
            {QStringLiteral("state_topic"), topics.live(device.networkAddress)},
            {QStringLiteral("value_template"), QStringLiteral("{{ %1 }}").arg(value)},
            {QStringLiteral("availability"), availabilityOf(topics, device.networkAddress)},
            {QStringLiteral("availability_mode"), QStringLiteral("all")},
            {QStringLiteral("device"), deviceOf(topics, device)},
            {QStringLiteral("origin"),
             QJsonObject{{QStringLiteral("name"), QStringLiteral("mivctl publish")},
                         {QStringLiteral("sw_version"), programVersion()}}},
    };
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

struct EntityPlace
{
    const char *component;
    QString object;
};

// Every entity a relay may have, of either type.
QList<EntityPlace> everyEntity()
{
    QList<EntityPlace> places;
    for (const Measurement &m : measurements)
        places.append({"sensor", QLatin1String(m.object)});
    places.append({"sensor", QStringLiteral("state")});
    for (quint16 type : {typeWithSensors, typeWithoutSensors})
        for (const auto &[lamp, caption] : alarmLamps(type))
            if (std::none_of(places.begin(), places.end(), [lamp](const EntityPlace &p) {
                    return p.object == alarmObject(lamp);
                }))
                places.append({"binary_sensor", alarmObject(lamp)});
    return places;
}

} // namespace

QString discoveryNode(const TelemetryTopics &topics, int address)
{
    const QString former = formerNode(topics, address);
    const QString parts = topics.prefix + topics.line;
    if (std::all_of(parts.begin(), parts.end(), isNodeCharacter))
        return former;
    const QByteArray exactTopic =
            (topics.prefix + u'/' + topics.line + u'/' + QString::number(address)).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(exactTopic, QCryptographicHash::Sha1).toHex();
    return former + u'_' + QString::fromLatin1(hash.left(nodeHashDigits));
}

int liveExpirySeconds(int intervalMs)
{
    return std::max(shortestExpirySeconds, (expiryIntervals * intervalMs + 999) / 1000);
}

QList<DiscoveryConfig> discoveryConfigs(const QString &discoveryPrefix,
                                        const TelemetryTopics &topics, const CurrentDevice &device,
                                        int expirySeconds)
{
    const QString node = discoveryNode(topics, device.networkAddress);
    QList<DiscoveryConfig> configs;
    // The old entities go first, so that the new ones may take their entity ids.
    const QString former = formerNode(topics, device.networkAddress);
    if (former != node)
        for (const EntityPlace &place : everyEntity())
            configs.append(
                    {configTopic(discoveryPrefix, place.component, former, place.object), {}});
    for (const Measurement &m : measurements) {
        QJsonObject config =
                entity(topics, device, QLatin1String(m.object), QString::fromUtf8(m.name),
                       QLatin1String(m.value), expirySeconds);
        if (m.unit)
            config.insert(QStringLiteral("unit_of_measurement"), QString::fromUtf8(m.unit));
        if (m.deviceClass)
            config.insert(QStringLiteral("device_class"), QLatin1String(m.deviceClass));
        config.insert(QStringLiteral("state_class"), QLatin1String(m.stateClass));
        configs.append({configTopic(discoveryPrefix, "sensor", node, QLatin1String(m.object)),
                        compact(config)});
    }
    QJsonObject state = entity(topics, device, QStringLiteral("state"), QStringLiteral("Состояние"),
                               QStringLiteral("value_json.state"), expirySeconds);
    state.insert(QStringLiteral("device_class"), QStringLiteral("enum"));
    QJsonArray options;
    for (int relayState : {1, 0, 2, 3})
        options.append(relayStateText(relayState));
    state.insert(QStringLiteral("options"), options);
    configs.append({configTopic(discoveryPrefix, "sensor", node, QStringLiteral("state")),
                    compact(state)});

    const auto lamps = alarmLamps(device.typeCode);
    for (const auto &[lamp, caption] : lamps) {
        QJsonObject alarm = entity(
                topics, device, alarmObject(lamp), caption,
                QStringLiteral("'ON' if %1 in value_json.alarms else 'OFF'").arg(quoted(caption)),
                expirySeconds);
        alarm.insert(QStringLiteral("device_class"), QStringLiteral("problem"));
        configs.append({configTopic(discoveryPrefix, "binary_sensor", node, alarmObject(lamp)),
                        compact(alarm)});
    }
    for (const EntityPlace &place : everyEntity()) {
        const QString topic = configTopic(discoveryPrefix, place.component, node, place.object);
        if (std::none_of(configs.begin(), configs.end(),
                         [&topic](const DiscoveryConfig &c) { return c.topic == topic; }))
            configs.append({topic, {}});
    }
    return configs;
}

QStringList discoveryTopics(const QString &discoveryPrefix, const TelemetryTopics &topics,
                            int address)
{
    QStringList nodes{discoveryNode(topics, address)};
    if (formerNode(topics, address) != nodes.first())
        nodes << formerNode(topics, address);
    QStringList result;
    for (const QString &node : nodes)
        for (const EntityPlace &place : everyEntity())
            result << configTopic(discoveryPrefix, place.component, node, place.object);
    return result;
}

} // namespace miv::telemetry
