#include "registry/RegistryCheck.h"

#include "config/ConfigReader.h"
#include "device/Identification.h"
#include "core/AuditLog.h"
#include "core/ProgramVersion.h"
#include "link/RelaySession.h"
#include "registry/ChangeControl.h"
#include "registry/RegistryStore.h"
#include "registry/RegistryViews.h"

namespace miv {

RelayCheck checkRelay(RelaySession &session, Operator &op, quint8 address)
{
    RelayCheck check;
    check.address = address;
    const IdentificationResult identified = identifyRelay(session, op, address - 1);
    if (identified.outcome == IdentificationResult::Outcome::Silent) {
        check.result = RelayCheck::Result::Silent;
        return check;
    }
    if (identified.outcome != IdentificationResult::Outcome::Identified) {
        check.result = RelayCheck::Result::NotRead;
        return check;
    }
    check.factoryNumber = session.device.factoryNumber;
    check.typeCode = session.device.typeCode;
    session.configGrid.fillFromCatalogue(session.catalogue);
    if (readConfiguration(session, op) != ConfigReadResult::Complete) {
        check.result = RelayCheck::Result::NotRead;
        return check;
    }
    if (!session.lastRecord || !session.lastRecord->recorded) {
        check.result = RelayCheck::Result::NotRecorded;
        check.failure = session.lastRecord ? session.lastRecord->failure : QString();
        return check;
    }
    const RecordOutcome &outcome = *session.lastRecord;
    check.tag = outcome.tag;
    check.replacedFactoryNumber = outcome.replacedFactoryNumber;
    check.differences = outcome.differences;
    switch (outcome.approval) {
    case RecordOutcome::Approval::None:
        check.result = RelayCheck::Result::NotApproved;
        break;
    case RecordOutcome::Approval::Same:
        check.result = RelayCheck::Result::Same;
        break;
    case RecordOutcome::Approval::Differs:
        check.result = RelayCheck::Result::Differs;
        break;
    }
    return check;
}

QString checkResultText(RelayCheck::Result result)
{
    switch (result) {
    case RelayCheck::Result::Same:
        return QStringLiteral("совпадает");
    case RelayCheck::Result::Differs:
        return QStringLiteral("отличается");
    case RelayCheck::Result::NotApproved:
        return QStringLiteral("не утверждено");
    case RelayCheck::Result::Silent:
        return QStringLiteral("нет связи");
    case RelayCheck::Result::NotRead:
        return QStringLiteral("не прочитано");
    case RelayCheck::Result::NotRecorded:
        return QStringLiteral("не записано в реестр");
    }
    return {};
}

QList<QStringList> checkFields(const RelayCheck &check, RowNaming naming)
{
    const QStringList head{
            QString::number(check.address),
            check.factoryNumber == 0 ? QString() : QString::number(check.factoryNumber), check.tag};
    const auto rowField = [naming](const SettingsChange &change) {
        if (naming == RowNaming::Grid)
            return RegistryViews::rowText(change);
        return change.row < 0 ? QStringLiteral("timer") : QString::number(change.row);
    };
    QList<QStringList> lines;
    if (check.replacedFactoryNumber)
        lines << head
                        + QStringList{QStringLiteral("заменено"),
                                      QStringLiteral("было №%1").arg(*check.replacedFactoryNumber)};
    const QString result = checkResultText(check.result);
    if (check.result == RelayCheck::Result::Differs) {
        for (const SettingsChange &change : check.differences)
            lines << head
                            + QStringList{result, rowField(change), change.name, change.before,
                                          change.after};
    } else if (check.result == RelayCheck::Result::NotRecorded) {
        lines << head + QStringList{result, check.failure};
    } else {
        lines << head + QStringList{result};
    }
    return lines;
}

} // namespace miv

namespace miv {

std::optional<LastReadApproval> approveLastRead(RegistryStore &store, const RelaySession &session,
                                                const QString &note, QString *error)
{
    const auto fail = [error](const QString &reason) -> std::optional<LastReadApproval> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (!session.valuesBelongToSelectedRelay() || !session.lastRecord
        || !session.lastRecord->recorded)
        return fail(QStringLiteral("Сначала получите конфигурацию реле: утверждаются уставки, "
                                   "прочитанные из него и внесённые в реестр"));
    const bool fourEyes = store.location().fourEyes;
    if (fourEyes && note.trimmed().isEmpty())
        return fail(QStringLiteral("Уставки утверждает другой человек: укажите в примечании "
                                   "причину изменения"));
    const auto snapshot = store.snapshot(session.lastRecord->snapshotId);
    if (!snapshot)
        return fail(store.error());
    RecordingContext context;
    context.user = AuditLog::systemUserName();
    context.programVersion = programVersion();
    const QString source = QStringLiteral("snapshot %1").arg(snapshot->id);
    if (fourEyes) {
        ChangeControl control(store);
        const auto proposal = control.propose(snapshot->relayId, snapshot->registers, snapshot->id,
                                              source, note, context);
        if (!proposal)
            return fail(control.error());
        return LastReadApproval{*proposal};
    }
    if (!store.approve(snapshot->relayId, snapshot->registers, source, note, context))
        return fail(store.error());
    return LastReadApproval{};
}

} // namespace miv
