#pragma once

#include <functional>
#include <optional>
#include <QtGlobal>

namespace miv {

class Operator;
struct RelaySession;

// What a double-click on the grid did; the window turns some of these into a
// refresh of the enabled actions (see needsTabRefresh).
enum class EditOutcome {
    Nothing, // empty value, row 8, a disabled row, row 31 on a relay without it
    PasswordChangeRun, // row 33: the password change ran (its own messages told the outcome)
    Unlocked, // the right password: editing is open now
    UnlockRefused, // a wrong password ("Ошибка ввода пароля!" was shown) or Cancel
    SwitchFlipped, // a switch row changed its text and got its mark
    MotorHoursReset, // the relay took the reset
    MotorHoursNotReset, // the operator cancelled the question
    MotorHoursFailed, // no answer or a refusal: "Ошибка связи с устройством!" was shown
    ValueChanged, // the editor's value went into the row, marked
    ValueUnchanged, // the editor was cancelled or gave the value the row had
};

// The window runs pcChange after these, so that the actions follow the lock.
bool needsTabRefresh(EditOutcome outcome);

// The grid's editing: the row cursor (selectedRow, selectedRawValue) that a
// selection sets, and the double-click that acts on the selected row. Owned
// by the data module for the whole run.
class ConfigEditor
{
public:
    // changePassword runs the password change of row 33; by default
    // PasswordAccess::change on this session and operator (the window runs
    // its own handler of the change instead).
    ConfigEditor(RelaySession &session, Operator &op, std::function<void()> changePassword = {});
    ConfigEditor(const ConfigEditor &) = delete;
    ConfigEditor &operator=(const ConfigEditor &) = delete;

    // selectRow: records the row and, unless its value is empty, its raw
    // value (numeric rows: the value text at the row's resolution, 0 while
    // disabled; switch rows and row 32: 1 for "вкл.", else 0). Never refuses.
    void selectRow(int row);

    // activateSelectedRow, acting on the selected row in this order: row 33 runs the
    // password change; an empty value or row 8 does nothing; while locked only
    // the password is asked; a switch flips; row 32 asks and resets the
    // motor hours; a numeric row that is not disabled opens the value editor.
    // The row's raw value is taken afresh from the grid first, so that a
    // read since the selection cannot make a flip or an edit go astray.
    // While the session holds a settings file (no relay), rows 32 and 33
    // do nothing and a row 0-31 without a value is edited as any other.
    EditOutcome activateSelectedRow();

    quint16 selectedRow() const { return m_selectedRow; }
    quint16 selectedRawValue() const { return m_selectedRaw.value_or(0); }

private:
    EditOutcome flipSwitch(int row);
    EditOutcome resetMotorHours();
    EditOutcome editNumeric(int row);
    // The raw value of a row's text; nullopt when it is empty or no number.
    std::optional<quint16> rawValueOf(int row) const;

    RelaySession &m_session;
    Operator &m_op;
    std::function<void()> m_changePassword;
    quint16 m_selectedRow = 0;
    // nullopt when the selected row's text is no number at its resolution:
    // any value the editor gives then counts as a change.
    std::optional<quint16> m_selectedRaw;
};

} // namespace miv
