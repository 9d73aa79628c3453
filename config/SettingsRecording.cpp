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
    const CurrentDevice &device = session.device;
    SettingsRecord record;
    record.kind = kind;
    record.port = session.audit.portName ? session.audit.portName() : QString();
    record.address = device.networkAddress;
    record.factoryNumber = device.factoryNumber;
    record.typeCode = device.typeCode;
    record.deviceName = device.deviceName;
    record.softwareVersion = device.softwareVersion;
    record.registers = registers;
    const RecordOutcome outcome = session.recorder->recordSettings(record);
    session.lastRecord = outcome;
    if (!outcome.recorded) {
        op.note(RecordingTexts::notUpdated.arg(outcome.failure));
        return;
    }
    if (outcome.replacedFactoryNumber)
        op.note(RecordingTexts::relayReplaced.arg(device.networkAddress)
                        .arg(*outcome.replacedFactoryNumber)
                        .arg(device.factoryNumber));
    if (outcome.approval == RecordOutcome::Approval::Differs) {
        QStringList lines;
        for (const SettingsChange &change : outcome.differences)
            lines << QStringLiteral("%1: %2 → %3").arg(change.name, change.before, change.after);
        const QString &text = kind == SettingsKind::AsLeft
                ? RecordingTexts::leftDifferentFromApproved
                : RecordingTexts::differsFromApproved;
        op.note(text.arg(device.factoryNumber).arg(lines.join(u'\n')));
    }
}

} // namespace miv
