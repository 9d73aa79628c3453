#include "telemetry/TelemetryPayloads.h"

#include "core/CurrentDevice.h"
#include "core/JournalGrid.h"
#include "core/LiveValues.h"
#include "core/ParameterCatalogue.h"
#include "device/JournalReader.h"
#include "device/LiveDisplay.h"
#include "device/LiveQuantities.h"
#include "device/SoftwareVersion.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace miv::telemetry {

namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

double tenths(int value)
{
    return value / 10.0;
}

int eventCodeOf(const QString &eventName)
{
    for (const EventName &event : eventNameTable())
        if (event.name == eventName)
            return event.code.toInt();
    return 0;
}

} // namespace

QString isoUtc(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QByteArray infoPayload(const CurrentDevice &device)
{
    QString name = device.deviceName;
    while (name.endsWith(u' '))
        name.chop(1);
    return compact({
            {QStringLiteral("address"), device.networkAddress},
            {QStringLiteral("type"), device.typeCode},
            {QStringLiteral("name"), name},
            {QStringLiteral("factory"), device.factoryNumber},
            {QStringLiteral("version"), softwareVersionText(device.softwareVersion)},
    });
}

QByteArray statePayload(bool online, const QDateTime &time)
{
    return compact({{QStringLiteral("online"), online}, {QStringLiteral("time"), isoUtc(time)}});
}

QByteArray livePayload(const LiveValues &live, quint16 typeCode, const QDateTime &time)
{
    const LiveQuantities q = liveQuantities(live);
    QJsonArray currents;
    QJsonArray voltages;
    for (int phase = 0; phase < 3; ++phase) {
        currents.append(tenths(q.currentTenths[std::size_t(phase)]));
        voltages.append(q.voltages[std::size_t(phase)]);
    }
    return compact({
            {QStringLiteral("time"), isoUtc(time)},
            {QStringLiteral("running"), q.running},
            {QStringLiteral("state"),
             relayStateText(relayStateOf(live.value(RelayRegister::outputRelays)))},
            {QStringLiteral("currents"), currents},
            {QStringLiteral("voltages"), voltages},
            {QStringLiteral("temperature"),
             q.temperature ? QJsonValue(*q.temperature) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("frequency"), q.frequencyHz},
            {QStringLiteral("cos_phi"), q.cosPhiHundredths / 100.0},
            {QStringLiteral("asymmetry"), q.asymmetryPercent},
            {QStringLiteral("leakage"), q.leakagePercent},
            {QStringLiteral("insulation"), tenths(q.insulationTenths)},
            {QStringLiteral("powers"),
             QJsonObject{{QStringLiteral("active"), tenths(q.activePowerTenths)},
                         {QStringLiteral("reactive"), tenths(q.reactivePowerTenths)},
                         {QStringLiteral("apparent"), tenths(q.apparentPowerTenths)}}},
            {QStringLiteral("motor_hours"), q.motorHours},
            {QStringLiteral("motor_minutes"), q.motorMinutes},
            {QStringLiteral("alarms"),
             QJsonArray::fromStringList(litAlarmCaptions(
                     {live.value(RelayRegister::protectionFlags),
                      live.value(RelayRegister::outputRelays), live.value(RelayRegister::inputs)},
                     typeCode))},
    });
}

std::optional<QString> JournalEntry::isoTime() const
{
    // Date and time apart: the relay's clock knows no summer time, so no
    // local hour may be missing.
    const QDate day = QDate::fromString(date.section(u' ', 0, 0), QStringLiteral("yyyy.MM.dd"));
    const QTime time = QTime::fromString(date.section(u' ', 1), QStringLiteral("HH:mm:ss"));
    if (!day.isValid() || !time.isValid())
        return std::nullopt;
    return day.toString(Qt::ISODate) + u'T' + time.toString(Qt::ISODate);
}

QString JournalEntry::identity() const
{
    const JournalFigures &f = figures;
    QStringList numbers;
    const auto add = [&numbers](const char *name, const auto &value) {
        if (value)
            numbers << QLatin1String(name) + u'=' + QString::number(*value);
    };
    const auto addThree = [&numbers](const char *name, const auto &values) {
        if (values)
            numbers << QStringLiteral("%1=%2,%3,%4")
                               .arg(QLatin1String(name))
                               .arg((*values)[0])
                               .arg((*values)[1])
                               .arg((*values)[2]);
    };
    addThree("I", f.currentTenths);
    add("K", f.asymmetryPercent);
    addThree("U", f.voltages);
    add("R", f.insulationTenths);
    add("T", f.temperature);
    add("H", f.motorHours);
    add("M", f.motorMinutes);
    return date + u'|' + QString::number(code) + u'|' + numbers.join(u';');
}

JournalEntry journalEntryOfRow(const JournalGrid &journal, int row)
{
    const QString event = journal.text(row, JournalGrid::Event);
    return {journal.text(row, JournalGrid::Date),
            eventCodeOf(event),
            event,
            journal.text(row, JournalGrid::Details),
            {}};
}

std::optional<JournalEntry> journalEntryOfReply(const ReplyString &reply)
{
    const EventName *event = findEvent(journalEventCode(reply));
    if (!event)
        return std::nullopt;
    return JournalEntry{journalDateText(reply), journalEventCode(reply), event->name,
                        journalDetailsText(reply, u'.'), journalFigures(reply)};
}

QByteArray journalPayload(const JournalEntry &entry)
{
    const std::optional<QString> time = entry.isoTime();
    QJsonObject object{
            {QStringLiteral("time"), time ? QJsonValue(*time) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("code"), entry.code},
            {QStringLiteral("event"), entry.event},
            {QStringLiteral("info"), entry.info},
    };
    const JournalFigures &f = entry.figures;
    if (f.currentTenths)
        object.insert(QStringLiteral("currents"),
                      QJsonArray{tenths((*f.currentTenths)[0]), tenths((*f.currentTenths)[1]),
                                 tenths((*f.currentTenths)[2])});
    if (f.asymmetryPercent)
        object.insert(QStringLiteral("asymmetry"), *f.asymmetryPercent);
    if (f.voltages)
        object.insert(QStringLiteral("voltages"),
                      QJsonArray{(*f.voltages)[0], (*f.voltages)[1], (*f.voltages)[2]});
    if (f.insulationTenths)
        object.insert(QStringLiteral("insulation"), tenths(*f.insulationTenths));
    if (f.temperature)
        object.insert(QStringLiteral("temperature"), *f.temperature);
    if (f.motorHours)
        object.insert(QStringLiteral("motor_hours"), qint64(*f.motorHours));
    if (f.motorMinutes)
        object.insert(QStringLiteral("motor_minutes"), *f.motorMinutes);
    return compact(object);
}

QByteArray metadataPayload(const LineMetadata &metadata, const QDateTime &time)
{
    QJsonArray relays;
    for (int address : metadata.relays)
        relays.append(address);
    return compact({
            {QStringLiteral("client"), metadata.client},
            {QStringLiteral("host"), metadata.host},
            {QStringLiteral("pid"), metadata.pid},
            {QStringLiteral("version"), metadata.version},
            {QStringLiteral("port"), metadata.port},
            {QStringLiteral("baud"), metadata.baud},
            {QStringLiteral("prefix"), metadata.prefix},
            {QStringLiteral("line"), metadata.line},
            {QStringLiteral("relays"), relays},
            {QStringLiteral("discovery"),
             metadata.discovery ? QJsonValue(*metadata.discovery) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("time"), isoUtc(time)},
    });
}

std::optional<LineMetadata> parseMetadata(const QByteArray &payload)
{
    const QJsonDocument document = QJsonDocument::fromJson(payload);
    const QJsonObject object = document.object();
    if (!document.isObject() || !object.value(QStringLiteral("client")).isString())
        return std::nullopt;
    LineMetadata metadata;
    metadata.client = object.value(QStringLiteral("client")).toString();
    metadata.host = object.value(QStringLiteral("host")).toString();
    metadata.pid = object.value(QStringLiteral("pid")).toInteger();
    metadata.version = object.value(QStringLiteral("version")).toString();
    metadata.port = object.value(QStringLiteral("port")).toString();
    metadata.baud = object.value(QStringLiteral("baud")).toInt();
    metadata.prefix = object.value(QStringLiteral("prefix")).toString();
    metadata.line = object.value(QStringLiteral("line")).toString();
    for (const QJsonValue &address : object.value(QStringLiteral("relays")).toArray())
        metadata.relays << address.toInt();
    if (object.value(QStringLiteral("discovery")).isString())
        metadata.discovery = object.value(QStringLiteral("discovery")).toString();
    return metadata;
}

} // namespace miv::telemetry
