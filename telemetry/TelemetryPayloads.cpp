#include "telemetry/TelemetryPayloads.h"

#include "core/CurrentDevice.h"
#include "core/JournalGrid.h"
#include "core/LiveValues.h"
#include "core/ParameterCatalogue.h"
#include "device/LiveDisplay.h"
#include "device/LiveQuantities.h"
#include "device/SoftwareVersion.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

JournalEntry journalEntryOfRow(const JournalGrid &journal, int row)
{
    const QString event = journal.text(row, JournalGrid::Event);
    return {journal.text(row, JournalGrid::Date), eventCodeOf(event), event,
            journal.text(row, JournalGrid::Details)};
}

QByteArray journalPayload(const JournalEntry &entry)
{
    const std::optional<QString> time = entry.isoTime();
    return compact({
            {QStringLiteral("time"), time ? QJsonValue(*time) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("code"), entry.code},
            {QStringLiteral("event"), entry.event},
            {QStringLiteral("info"), entry.info},
    });
}

} // namespace miv::telemetry
