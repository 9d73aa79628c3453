#include "registry/RegistryViews.h"

#include "core/TextFormats.h"
#include "device/SoftwareVersion.h"
#include "registry/SettingsContent.h"

namespace miv::RegistryViews {

QStringList relayListHeader()
{
    return {QStringLiteral("FACTORY"), QStringLiteral("TYPE"),      QStringLiteral("NAME"),
            QStringLiteral("TAG"),     QStringLiteral("LAST_SEEN"), QStringLiteral("PORT"),
            QStringLiteral("ADDR"),    QStringLiteral("VERSION"),   QStringLiteral("APPROVAL")};
}

QStringList relayListFields(const RegistryRelay &relay)
{
    return {QString::number(relay.factoryNumber),
            QString::number(relay.typeCode),
            relay.deviceName.trimmed(),
            relay.tag,
            timeText(relay.lastSeen),
            relay.lastPort,
            QString::number(relay.lastAddress),
            softwareVersionText(relay.softwareVersion),
            approvalKey(relay.approval)};
}

QList<HistoryEntry> withChanges(const QList<RegistrySnapshot> &snapshots, QChar decimalSeparator)
{
    QList<HistoryEntry> entries;
    for (qsizetype i = 0; i < snapshots.size(); ++i) {
        HistoryEntry entry{snapshots[i], {}, i == 0};
        if (i > 0 && snapshots[i].contentId != snapshots[i - 1].contentId)
            entry.changes =
                    SettingsContent::changes(snapshots[i - 1].registers, snapshots[i].registers,
                                             snapshots[i].typeCode, decimalSeparator);
        entries.append(entry);
    }
    return entries;
}

QStringList historyHeader()
{
    return {QStringLiteral("ID"),      QStringLiteral("TIME"),     QStringLiteral("KIND"),
            QStringLiteral("USER"),    QStringLiteral("PORT"),     QStringLiteral("ADDR"),
            QStringLiteral("VERSION"), QStringLiteral("APPROVAL"), QStringLiteral("NOTE"),
            QStringLiteral("CHANGES")};
}

QStringList historyFields(const HistoryEntry &entry)
{
    const RegistrySnapshot &snapshot = entry.snapshot;
    QStringList changes;
    for (const SettingsChange &change : entry.changes)
        changes << changeText(change);
    return {QString::number(snapshot.id),
            timeText(snapshot.time),
            settingsKindKey(snapshot.kind),
            snapshot.user,
            snapshot.port,
            QString::number(snapshot.address),
            softwareVersionText(snapshot.softwareVersion),
            snapshot.kind == SettingsKind::Approved ? QString() : approvalKey(snapshot.approval),
            snapshot.note,
            entry.first ? QStringLiteral("(первая запись)") : changes.join(QStringLiteral("; "))};
}

QString relayTitle(const RegistryRelay &relay)
{
    const QString number = QStringLiteral("№%1").arg(relay.factoryNumber);
    return relay.tag.isEmpty() ? number : number + QStringLiteral(" (") + relay.tag + u')';
}

QString timeText(const QDateTime &time)
{
    return time.toLocalTime().toString(TextFormats::shortDate + u' ' + TextFormats::shortTime);
}

QString changeText(const SettingsChange &change)
{
    return QStringLiteral("%1: %2 → %3").arg(change.name, change.before, change.after);
}

std::optional<RelayKey> parseRelayKey(const QString &key)
{
    const QStringList parts = key.split(u':');
    bool factoryOk = false;
    bool typeOk = true;
    const uint factory = parts[0].toUInt(&factoryOk);
    const uint type = parts.size() > 1 ? parts[1].toUInt(&typeOk) : 0;
    if (parts.size() > 2 || !factoryOk || !typeOk || factory > 0xFFFF || type > 0xFFFF)
        return std::nullopt;
    RelayKey parsed{quint16(factory), std::nullopt};
    if (parts.size() > 1)
        parsed.typeCode = quint16(type);
    return parsed;
}

QList<RegistryRelay> relaysOf(const QList<RegistryRelay> &relays, const RelayKey &key)
{
    QList<RegistryRelay> matching;
    for (const RegistryRelay &relay : relays)
        if (relay.factoryNumber == key.factoryNumber
            && (!key.typeCode || relay.typeCode == *key.typeCode))
            matching.append(relay);
    return matching;
}

QString notOnRecordText(const QString &key)
{
    return QStringLiteral("Реле №%1 нет в реестре").arg(key);
}

std::optional<RegistryRelay> findRelay(RegistryStore &store, const QString &key, QString *error,
                                       RelayLookupFailure *failure)
{
    const auto fail = [error, failure](RelayLookupFailure kind,
                                       const QString &reason) -> std::optional<RegistryRelay> {
        if (error)
            *error = reason;
        if (failure)
            *failure = kind;
        return std::nullopt;
    };
    const std::optional<RelayKey> parsed = parseRelayKey(key);
    if (!parsed)
        return fail(RelayLookupFailure::NotAKey,
                    QStringLiteral("Не заводской номер реле: %1").arg(key));
    const auto relays = store.relays(parsed->factoryNumber);
    if (!relays)
        return fail(RelayLookupFailure::RegisterFailed, store.error());
    const QList<RegistryRelay> matching = relaysOf(*relays, *parsed);
    if (matching.isEmpty())
        return fail(RelayLookupFailure::NotOnRecord, notOnRecordText(key));
    if (matching.size() > 1)
        return fail(RelayLookupFailure::Ambiguous,
                    QStringLiteral("В реестре несколько реле №%1: укажите тип, %1:4 или %1:6")
                            .arg(parsed->factoryNumber));
    return matching.front();
}

} // namespace miv::RegistryViews
