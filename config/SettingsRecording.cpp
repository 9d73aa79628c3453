#include "config/SettingsRecording.h"

#include "core/Operator.h"
#include "link/RelaySession.h"

namespace miv {

void recordSettingsRead(RelaySession &session, Operator &op, SettingsKind kind,
                        const SettingsRegisters &registers)
{
    session.lastRecord.reset();
    if (!session.recorder)
        return;
    SettingsRecord record;
    record.kind = kind;
    static_cast<RelaySighting &>(record) = session.sighting();
    record.registers = registers;
    const RecordOutcome outcome = session.recorder->recordSettings(record);
    session.lastRecord = outcome;
    if (!outcome.recorded) {
        op.note(RecordingTexts::notUpdated.arg(outcome.failure));
        return;
    }
    // What the register found is told in a box the operator closes: a note
    // would be erased by the next status tip before anyone read it.
    QStringList warnings;
    if (outcome.replacedFactoryNumber)
        warnings << RecordingTexts::relayReplaced.arg(record.address)
                            .arg(*outcome.replacedFactoryNumber)
                            .arg(record.factoryNumber);
    if (outcome.approval == RecordOutcome::Approval::Differs) {
        QStringList lines;
        for (const SettingsChange &change : outcome.differences)
            lines << QStringLiteral("%1: %2 → %3").arg(change.name, change.before, change.after);
        const QString &text = kind == SettingsKind::AsLeft
                ? RecordingTexts::leftDifferentFromApproved
                : RecordingTexts::differsFromApproved;
        warnings << text.arg(record.factoryNumber).arg(lines.join(u'\n'));
    }
    if (!warnings.isEmpty())
        op.message(Operator::Icon::Warning, warnings.join(QStringLiteral("\n\n")));
}

} // namespace miv
