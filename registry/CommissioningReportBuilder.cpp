#include "registry/CommissioningReportBuilder.h"

#include "device/SoftwareVersion.h"
#include "registry/JournalArchive.h"
#include "registry/JournalStore.h"
#include "registry/RegistryStore.h"
#include "registry/SettingsContent.h"

namespace miv {

namespace {

QString localTime(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

// The snapshot by id among the relay's, or the default of the latest day.
std::optional<RegistrySnapshot> pick(const QList<RegistrySnapshot> &history,
                                     std::optional<qint64> id, bool first)
{
    if (id) {
        for (const RegistrySnapshot &snapshot : history)
            if (snapshot.id == *id)
                return snapshot;
        return std::nullopt;
    }
    QList<RegistrySnapshot> worked;
    for (const RegistrySnapshot &snapshot : history)
        if (snapshot.kind != SettingsKind::Approved)
            worked << snapshot;
    if (worked.isEmpty())
        return std::nullopt;
    const QDate day = worked.last().time.toLocalTime().date();
    QList<RegistrySnapshot> ofDay;
    for (const RegistrySnapshot &snapshot : worked)
        if (snapshot.time.toLocalTime().date() == day)
            ofDay << snapshot;
    const SettingsKind wanted = first ? SettingsKind::AsFound : SettingsKind::AsLeft;
    if (first) {
        for (const RegistrySnapshot &snapshot : ofDay)
            if (snapshot.kind == wanted)
                return snapshot;
        return ofDay.first();
    }
    for (auto snapshot = ofDay.crbegin(); snapshot != ofDay.crend(); ++snapshot)
        if (snapshot->kind == wanted)
            return *snapshot;
    return ofDay.last();
}

} // namespace

std::optional<CommissioningReport::Document>
buildCommissioningReport(RegistryStore &store, JournalStore &journal, const RegistryRelay &relay,
                         const ReportVisit &visit, QChar decimalSeparator, const QDateTime &moment,
                         QString *error)
{
    const quint16 factoryNumber = relay.factoryNumber;
    const auto history = store.history(relay.id);
    const auto approved = store.approvedSettings(relay.id);
    if (!history || !approved) {
        *error = store.error();
        return std::nullopt;
    }
    const std::optional<RegistrySnapshot> from = pick(*history, visit.fromSnapshot, true);
    const std::optional<RegistrySnapshot> to = pick(*history, visit.toSnapshot, false);
    if (!from || !to) {
        *error = (visit.fromSnapshot || visit.toSnapshot)
                ? QStringLiteral("У реле %1 нет такого снимка настроек").arg(factoryNumber)
                : QStringLiteral("У реле %1 нет снимков настроек").arg(factoryNumber);
        return std::nullopt;
    }
    const QDateTime journalUntil =
            QDateTime(to->time.toLocalTime().date().addDays(1), QTime(0, 0)).toUTC();
    const auto entries =
            journal.entriesRecordedBetween(relay.id, from->time, journalUntil.addMSecs(-1));
    if (!entries) {
        *error = journal.error();
        return std::nullopt;
    }

    CommissioningReport::Document document;
    document.title = CommissioningReport::title;
    const auto field = [&document](const QString &label, const QString &value) {
        document.header.append({label, value});
    };
    field(QStringLiteral("Дата"), localTime(moment));
    field(QStringLiteral("Реле"), relay.deviceName.trimmed());
    field(QStringLiteral("Заводской №"), QString::number(relay.factoryNumber));
    field(QStringLiteral("Метка"), relay.tag);
    field(QStringLiteral("Версия ПО"), softwareVersionText(to->softwareVersion));
    field(QStringLiteral("Адрес, порт"), QStringLiteral("%1, %2").arg(to->address).arg(to->port));
    field(QStringLiteral("До наладки"),
          QStringLiteral("снимок %1, %2, %3").arg(from->id).arg(localTime(from->time), from->user));
    field(QStringLiteral("После наладки"),
          QStringLiteral("снимок %1, %2, %3").arg(to->id).arg(localTime(to->time), to->user));
    field(QStringLiteral("Утверждено"),
          *approved ? QStringLiteral("снимок %1, %2, %3")
                              .arg((*approved)->id)
                              .arg(localTime((*approved)->time), (*approved)->user)
                    : QStringLiteral("нет"));

    const quint16 type = relay.typeCode;
    const QList<SettingsItem> found =
            SettingsContent::items(from->registers, type, decimalSeparator);
    const QList<SettingsItem> left = SettingsContent::items(to->registers, type, decimalSeparator);
    const QList<SettingsItem> approval = *approved
            ? SettingsContent::items((*approved)->registers, type, decimalSeparator)
            : QList<SettingsItem>{};
    for (qsizetype k = 0; k < left.size(); ++k) {
        CommissioningReport::Row row;
        row.row = left[k].row;
        row.name = left[k].name;
        row.asLeft = left[k].text;
        row.asFound = found.value(k).text;
        row.approved = approval.value(k).text;
        row.changed = row.asFound != row.asLeft;
        row.differsFromApproval = *approved && row.approved != row.asLeft;
        document.rows << row;
    }
    for (const ArchivedJournalEntry &entry : *entries) {
        const QStringList texts = journalEntryTexts(entry.bytes, decimalSeparator);
        document.journal << QStringList{
                entry.pcTime.isValid()
                        ? entry.pcTime.toLocalTime().toString(QStringLiteral("yyyy.MM.dd HH:mm:ss"))
                        : QString(),
                texts[0], texts[1], texts[2]};
    }
    document.signatures = {QStringLiteral("Настроил"), QStringLiteral("Проверил")};
    return document;
}

} // namespace miv
