#include "registry/CommissioningReportBuilder.h"

#include "core/DependentRowRule.h"
#include "core/ParameterCatalogue.h"
#include "device/SoftwareVersion.h"
#include "registry/JournalArchive.h"
#include "registry/JournalStore.h"
#include "registry/RegistryStore.h"
#include "registry/SettingsContent.h"
#include "report/SettingsSheet.h"

#include <algorithm>

namespace miv {

namespace {

QString localTime(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

// The item's text as the report shows it: a row whose switch is off in the
// same settings as the settings sheet shows it, "[фукнк. откл.] (VALUE)".
QString shownText(const QList<SettingsItem> &items, qsizetype k)
{
    const SettingsItem &item = items.value(k);
    if (item.row < 0 || item.text.isEmpty())
        return item.text;
    for (const DependentRowRule &rule : dependentRowRules) {
        const auto dependent = rule.dependentRows();
        if (std::find(dependent.begin(), dependent.end(), item.row) == dependent.end())
            continue;
        for (const SettingsItem &other : items)
            if (other.row == rule.switchRow && other.text == onOffTexts[0])
                return SettingsSheet::disabledValueText(item.text);
    }
    return item.text;
}

} // namespace

std::optional<CommissioningReport::Document>
buildCommissioningReport(RegistryStore &store, JournalStore &journal, const RegistryRelay &relay,
                         const ReportVisit &visit, QChar decimalSeparator, const QDateTime &moment,
                         QString *error, ReportRefusal *refusal)
{
    const quint16 factoryNumber = relay.factoryNumber;
    const auto history = store.history(relay.id);
    const auto approved = store.approvedSettings(relay.id);
    if (!history || !approved) {
        *error = store.error();
        if (refusal)
            *refusal = ReportRefusal::RegisterFailed;
        return std::nullopt;
    }
    const VisitChoice choice = chooseVisit(*history, visit, factoryNumber);
    if (!choice.visit) {
        *error = choice.reason;
        if (refusal)
            *refusal = choice.refusal == VisitChoice::Refusal::NoVisit ? ReportRefusal::NoVisit
                                                                       : ReportRefusal::NotAVisit;
        return std::nullopt;
    }
    const RegistrySnapshot &from = choice.visit->asFound;
    const RegistrySnapshot &to = choice.visit->asLeft;
    const QDateTime journalUntil =
            QDateTime(to.time.toLocalTime().date().addDays(1), QTime(0, 0)).toUTC();
    const auto entries =
            journal.entriesRecordedBetween(relay.id, from.time, journalUntil.addMSecs(-1));
    if (!entries) {
        *error = journal.error();
        if (refusal)
            *refusal = ReportRefusal::RegisterFailed;
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
    field(QStringLiteral("Версия ПО"), softwareVersionText(to.softwareVersion));
    field(QStringLiteral("Адрес, порт"), QStringLiteral("%1, %2").arg(to.address).arg(to.port));
    field(QStringLiteral("До наладки"),
          QStringLiteral("снимок %1, %2, %3").arg(from.id).arg(localTime(from.time), from.user));
    field(QStringLiteral("После наладки"),
          QStringLiteral("снимок %1, %2, %3").arg(to.id).arg(localTime(to.time), to.user));
    field(QStringLiteral("Утверждено"),
          *approved ? QStringLiteral("снимок %1, %2, %3")
                              .arg((*approved)->id)
                              .arg(localTime((*approved)->time), (*approved)->user)
                    : QStringLiteral("нет"));

    const quint16 type = relay.typeCode;
    const QList<SettingsItem> found =
            SettingsContent::items(from.registers, type, decimalSeparator);
    const QList<SettingsItem> left = SettingsContent::items(to.registers, type, decimalSeparator);
    const QList<SettingsItem> approval = *approved
            ? SettingsContent::items((*approved)->registers, type, decimalSeparator)
            : QList<SettingsItem>{};
    for (qsizetype k = 0; k < left.size(); ++k) {
        CommissioningReport::Row row;
        row.row = left[k].row;
        row.name = left[k].name;
        row.asLeft = shownText(left, k);
        row.asFound = shownText(found, k);
        row.approved = shownText(approval, k);
        // What the relay holds, not how it is shown: a row switched off
        // keeps its value, and is no change of it.
        row.changed = found.value(k).text != left[k].text;
        row.differsFromApproval = *approved && approval.value(k).text != left[k].text;
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
