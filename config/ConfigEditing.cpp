#include "config/ConfigEditing.h"

#include "access/PasswordAccess.h"
#include "core/Operator.h"
#include "core/Texts.h"
#include "device/LinkFailure.h"
#include "link/AuditedWrite.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

#include <utility>

namespace miv {

namespace {

const QString resetQuestion = QStringLiteral("Вы хотите сбросить моторесурс?");

constexpr int ratedVoltageRow = 8; // 220 to 220: nothing to choose

bool isNumericRow(int row)
{
    return row >= 0 && row <= ConfigRow::lastNumeric;
}

} // namespace

bool needsTabRefresh(EditOutcome outcome)
{
    return outcome == EditOutcome::Unlocked;
}

ConfigEditor::ConfigEditor(RelaySession &session, Operator &op,
                           std::function<void()> changePassword)
    : m_session(session), m_op(op), m_changePassword(std::move(changePassword))
{
    if (!m_changePassword)
        m_changePassword = [this] { PasswordAccess::change(m_session, m_op); };
}

std::optional<quint16> ConfigEditor::rawValueOf(int row) const
{
    const ConfigGrid &grid = m_session.configGrid;
    const QString text = grid.text(row, ConfigGrid::Value);
    if (text.isEmpty())
        return std::nullopt;
    if (isNumericRow(row)) {
        if (grid.isDisabled(row))
            return quint16(0);
        return parseValue(m_session.catalogue.step(row), text, m_session.decimalSeparator);
    }
    return quint16(text == onOffTexts[1] ? 1 : 0);
}

void ConfigEditor::selectRow(int row)
{
    if (row < 0 || row >= ConfigRow::count)
        return;
    m_selectedRow = quint16(row);
    if (m_session.configGrid.text(row, ConfigGrid::Value).isEmpty() || row == ConfigRow::password)
        return;
    m_selectedRaw = rawValueOf(row);
}

EditOutcome ConfigEditor::activateSelectedRow()
{
    const int row = m_selectedRow;
    // A settings file held with no relay: nothing may go to the line (the
    // address is 0, a broadcast), and a value the file lacks may be given.
    const bool file = m_session.holdsFile();
    if (file && (row == ConfigRow::password || row == ConfigRow::motorHours))
        return EditOutcome::Nothing;
    if (row == ConfigRow::password) {
        m_changePassword();
        return EditOutcome::PasswordChangeRun;
    }
    const bool empty = m_session.configGrid.text(row, ConfigGrid::Value).isEmpty();
    if ((empty && !file) || row == ratedVoltageRow)
        return EditOutcome::Nothing;
    if (m_session.flags.editingLocked) {
        return PasswordAccess::unlock(m_op, m_session.device, m_session.flags)
                        == PasswordAccess::Unlock::Unlocked
                ? EditOutcome::Unlocked
                : EditOutcome::UnlockRefused;
    }
    selectRow(row);
    if (empty)
        m_selectedRaw.reset(); // no value yet: a switch turns on, any number is a change
    if (m_session.catalogue.isSwitch(row))
        return flipSwitch(row);
    if (row == ConfigRow::motorHours)
        return resetMotorHours();
    if (isNumericRow(row))
        return editNumeric(row);
    return EditOutcome::Nothing;
}

EditOutcome ConfigEditor::flipSwitch(int row)
{
    if (row == ConfigRow::tankAlgorithm && !m_session.device.hasTimer())
        return EditOutcome::Nothing;
    ConfigGrid &grid = m_session.configGrid;
    m_session.flags.unwrittenChanges = true;
    grid.mark(row);
    const quint16 flipped = selectedRawValue() == 0 ? 1 : 0;
    m_selectedRaw = flipped;
    grid.setText(row, ConfigGrid::Value, onOffTexts[flipped]);
    grid.switchToggled(row);
    return EditOutcome::SwitchFlipped;
}

EditOutcome ConfigEditor::resetMotorHours()
{
    Operator &op = m_op;
    if (op.message(Operator::Icon::Warning, resetQuestion, Operator::Buttons::OkCancel)
        != Operator::Answer::Ok)
        return EditOutcome::MotorHoursNotReset;
    const quint16 reg = m_session.catalogue.registerAddress(ConfigRow::motorHours);
    const ConfigGrid &grid = m_session.configGrid;
    const AuditWrite what{reg, false, grid.text(ConfigRow::motorHours, ConfigGrid::Name),
                          grid.text(ConfigRow::motorHours, ConfigGrid::Value), QStringLiteral("0")};
    const WriteOutcome outcome = auditedWrite(m_session, op, what, 0);
    if (outcome.written())
        return EditOutcome::MotorHoursReset;
    // Unlike a silent reset, the operator learns that the counter still runs on.
    op.message(Operator::Icon::Error,
               writeFailureText(m_session, outcome, RefusalTold::AsNoAnswer));
    return EditOutcome::MotorHoursFailed;
}

EditOutcome ConfigEditor::editNumeric(int row)
{
    ConfigGrid &grid = m_session.configGrid;
    ParameterCatalogue &catalogue = m_session.catalogue;
    if (grid.isDisabled(row))
        return EditOutcome::Nothing;

    Operator::ValueEditRequest request;
    request.initialText = grid.text(row, ConfigGrid::Value);
    if (row == ConfigRow::nominalCurrent || row == ConfigRow::secondStageCurrent) {
        const int ratio =
                parseValue(QStringLiteral("1"), grid.text(ConfigRow::ratio, ConfigGrid::Value),
                           m_session.decimalSeparator)
                        .value_or(0);
        const std::optional<QString> band = resolutionForRatio(ratio);
        catalogue.applyRatio(ratio);
        // A ratio outside the bands keeps the resolution and takes factor 1.
        const RawLimits limits = ratioLimits(ratio, band.value_or(QStringLiteral("1")));
        request.minimum = limits.minimum;
        request.maximum = limits.maximum;
        // The row's value as it reads at the resolution now in force.
        m_selectedRaw = rawValueOf(row);
    } else {
        const RawLimits limits = catalogue.storedLimits(row).value_or(RawLimits{});
        request.minimum = limits.minimum;
        request.maximum = limits.maximum;
    }
    request.stepText = catalogue.step(row);
    request.caption = catalogue.record(row).name;

    const std::optional<Operator::ValueEditResult> result = m_op.editValue(request);
    if (!result || (m_selectedRaw && result->value == *m_selectedRaw))
        return EditOutcome::ValueUnchanged;
    // The editor keeps to the limits; a value beyond them never reaches the grid.
    if (result->value < request.minimum || result->value > request.maximum)
        return EditOutcome::ValueUnchanged;
    m_session.flags.unwrittenChanges = true;
    grid.mark(row);
    // Formatted from the accepted value, so the grid never holds an odd text.
    grid.setText(row, ConfigGrid::Value,
                 formatValue(request.stepText, result->value, m_session.decimalSeparator));
    m_selectedRaw = result->value;
    return EditOutcome::ValueChanged;
}

} // namespace miv
