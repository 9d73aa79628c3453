#include "config/ConfigWriter.h"

#include "config/ConfigReader.h"
#include "config/ConfigValidation.h"
#include "core/DigitText.h"
#include "core/Operator.h"
#include "core/Texts.h"
#include "device/LinkFailure.h"
#include "link/AuditedWrite.h"
#include "link/RelaySession.h"

#include <map>

namespace miv {

namespace {

// The rows of switch word `group` (0: rows 23-28, 1: rows 29-31).
QList<int> rowsOfGroup(int group)
{
    QList<int> rows;
    for (const SwitchBit &bit : switchBits)
        if (bit.word == group)
            rows.append(bit.row);
    return rows;
}

// The row's value, also of a disabled row, which keeps it aside.
QString valueTextOf(const ConfigGrid &grid, int row)
{
    const QString saved = grid.text(row, ConfigGrid::SavedText);
    return saved.isEmpty() ? grid.text(row, ConfigGrid::Value) : saved;
}

// "name: value" per row, one line each.
QString rowLines(const RelaySession &session, const QList<int> &rows)
{
    QStringList lines;
    for (int row : rows)
        lines << session.catalogue.record(row).name + QStringLiteral(": ")
                        + valueTextOf(session.configGrid, row);
    return lines.join(u'\n');
}

class Writing
{
public:
    Writing(RelaySession &session, Operator &op) : m_session(session), m_op(op) { }

    ConfigWriteResult run()
    {
        if (!refuseValuesOfAnotherRelay())
            return m_result;
        if (!checkMarkedRows())
            return m_result;
        if (!writeNumericRows() || !writeSwitchWord(0) || !writeSwitchWord(1)) {
            m_result.outcome = ConfigWriteResult::Outcome::LinkFailed;
            m_op.message(Operator::Icon::Error,
                         interruptedWriteText(writeFailureText(m_session, m_stoppedBy)));
            return m_result;
        }
        finish();
        return m_result;
    }

private:
    // Values read from or made for one relay never reach another.
    bool refuseValuesOfAnotherRelay()
    {
        if (m_session.valuesBelongToSelectedRelay())
            return true;
        tellValuesOfAnotherRelay(m_session, m_op);
        m_result.outcome = ConfigWriteResult::Outcome::Refused;
        return false;
    }

    // Rows 1 and 2 are read by the ratio's resolution and band: a new ratio
    // makes them values of their own, checked and sent even when nobody
    // touched them.
    bool ratioChanges() const
    {
        const ConfigGrid &grid = m_session.configGrid;
        return grid.isMarked(ConfigRow::ratio) && !grid.holdsRelayValue(ConfigRow::ratio);
    }

    bool followsRatio(int row) const
    {
        return row == ConfigRow::nominalCurrent || row == ConfigRow::secondStageCurrent;
    }

    // What the write sends: a marked row with a value someone brought, and
    // rows 1 and 2 when the ratio changes. A marked row that still shows what
    // the relay reported is not checked and not sent: the relay holds it, and
    // a relay's own value must never block a write.
    bool toBeSent(int row) const
    {
        const ConfigGrid &grid = m_session.configGrid;
        if (followsRatio(row) && ratioChanges())
            return true;
        return grid.isMarked(row) && !grid.holdsRelayValue(row);
    }

    // A disabled row keeps its real value aside (rows 1 and 2 may be sent for
    // a new ratio while their function is off).
    QString valueText(int row) const { return valueTextOf(m_session.configGrid, row); }

    // Every value to send must be one the relay may be given; the raw values
    // are kept from this check.
    bool checkMarkedRows()
    {
        const ConfigGrid &grid = m_session.configGrid;
        const auto ratio = ConfigValidation::ratioFromText(
                grid.text(ConfigRow::ratio, ConfigGrid::Value), m_session.decimalSeparator);
        for (int row = 0; row <= ConfigRow::lastSwitch; ++row) {
            if (!toBeSent(row)) {
                if (grid.isMarked(row))
                    m_result.unchangedRows.append(row);
                else if (grid.isDisabled(row))
                    m_result.switchedOffRows.append(row);
                continue;
            }
            const ConfigValidation::RowCheck check = ConfigValidation::checkRow(
                    m_session.catalogue, row, valueText(row), ratio, m_session.device.typeCode,
                    m_session.decimalSeparator);
            if (check.verdict == ConfigValidation::Verdict::Rejected)
                m_result.refusedRows.append(row);
            else if (check.raw)
                m_values[row] = *check.raw;
        }
        if (m_result.refusedRows.isEmpty())
            return true;
        m_result.outcome = ConfigWriteResult::Outcome::Refused;
        m_op.message(Operator::Icon::Error,
                     Texts::configValuesInvalid.arg(rowLines(m_session, m_result.refusedRows)));
        return false;
    }

    // The write's outcome. One that got no answer, or was stopped, ends the
    // writing: it is kept in m_stoppedBy.
    WriteOutcome write(const AuditWrite &what, quint16 value)
    {
        const WriteOutcome outcome = auditedWrite(m_session, m_op, what, value);
        if (!outcome.written() && !outcome.refused())
            m_stoppedBy = outcome;
        return outcome;
    }

    bool stopped() const { return m_stoppedBy.kind != WriteOutcome::Kind::NotSent; }

    // The audit's account of a switch word: the register, and each row sent
    // with the text the relay reported and the one sent.
    AuditWrite switchWordAudit(quint16 reg, int group, const QList<int> &rows) const
    {
        const ConfigGrid &grid = m_session.configGrid;
        QStringList changes;
        for (int row : rows)
            changes << grid.text(row, ConfigGrid::Name) + QStringLiteral(": ") + grid.relayText(row)
                            + QStringLiteral(" → ") + grid.text(row, ConfigGrid::Value);
        const auto hex = [](quint16 word) {
            return QStringLiteral("0x%1").arg(word, 4, 16, QLatin1Char('0'));
        };
        return {reg, false, changes.join(QStringLiteral("; ")), hex(relaySwitchWord(group)),
                hex(switchWord(grid, group))};
    }

    // The word of switch register `group` as the relay reported its rows.
    quint16 relaySwitchWord(int group) const
    {
        quint16 word = 0;
        for (const SwitchBit &bit : switchBits)
            if (bit.word == group && m_session.configGrid.relayText(bit.row) == onOffTexts[1])
                word |= quint16(1u << bit.bit);
        return word;
    }

    // False when a write ended the writing.
    bool writeNumericRows()
    {
        ConfigGrid &grid = m_session.configGrid;
        for (int row = 0; row <= ConfigRow::lastNumeric; ++row) {
            if (!m_values.contains(row))
                continue;
            const AuditWrite what{m_session.catalogue.registerAddress(row), false,
                                  grid.text(row, ConfigGrid::Name), grid.relayText(row),
                                  valueText(row)};
            const WriteOutcome outcome = write(what, m_values.at(row));
            if (stopped())
                return false;
            if (outcome.written()) {
                grid.unmark(row);
                m_result.writtenRows.append(row);
            } else {
                m_result.refusedRows.append(row);
            }
        }
        return true;
    }

    // False when its write ended the writing.
    bool writeSwitchWord(int group)
    {
        ConfigGrid &grid = m_session.configGrid;
        const QList<int> rows = rowsOfGroup(group);
        QList<int> marked;
        for (int row : rows)
            if (toBeSent(row))
                marked.append(row);
        if (marked.isEmpty())
            return true;
        const quint16 reg = m_session.catalogue.registerAddress(rows.front());
        const WriteOutcome outcome =
                write(switchWordAudit(reg, group, marked), switchWord(grid, group));
        if (stopped())
            return false;
        if (!outcome.written()) {
            m_result.refusedRows.append(marked);
            return true;
        }
        for (int row : rows)
            grid.unmark(row);
        m_result.writtenRows.append(marked);
        return true;
    }

    // A write cut short must not look like a written configuration: the
    // text names the rows the relay confirmed and those it did not (a write
    // whose answer was lost may or may not have reached it).
    QString interruptedWriteText(const QString &failure) const
    {
        const auto answered = [this](int row) {
            return m_result.writtenRows.contains(row) || m_result.refusedRows.contains(row);
        };
        QList<int> unconfirmed;
        for (int row = 0; row <= ConfigRow::lastSwitch; ++row) {
            const bool sent =
                    row <= ConfigRow::lastNumeric ? m_values.contains(row) : toBeSent(row);
            if (sent && !answered(row))
                unconfirmed.append(row);
        }
        QString text = Texts::configWriteInterrupted.arg(rowLines(m_session, unconfirmed));
        if (!m_result.writtenRows.isEmpty())
            text += u'\n' + Texts::configRowsWritten.arg(rowLines(m_session, m_result.writtenRows));
        return text + u'\n' + failure;
    }

    void finish()
    {
        m_session.flags.unwrittenChanges = false;
        m_session.flags.editingLocked = true;
        m_result.outcome = ConfigWriteResult::Outcome::Written;
        for (int row : std::as_const(m_result.unchangedRows))
            m_session.configGrid.unmark(row);
        if (!m_result.refusedRows.isEmpty())
            m_op.message(
                    Operator::Icon::Warning,
                    Texts::configValuesNotTaken.arg(rowLines(m_session, m_result.refusedRows)));
        m_result.readBack = readConfiguration(m_session, m_op, SettingsKind::AsLeft)
                == ConfigReadResult::Complete;
    }

    RelaySession &m_session;
    Operator &m_op;
    ConfigWriteResult m_result;
    std::map<int, quint16> m_values; // checked raw values of the marked numeric rows
    WriteOutcome m_stoppedBy; // the write that ended the writing; NotSent while none did
};

} // namespace

quint16 switchWord(const ConfigGrid &grid, int group)
{
    // As a text of '0' and '1', most significant bit first; bits of no row are 0.
    QString digits(16, u'0');
    for (const SwitchBit &bit : switchBits)
        if (bit.word == group && grid.text(bit.row, ConfigGrid::Value) == onOffTexts[1])
            digits[15 - bit.bit] = u'1';
    return quint16(parseBinary(digits));
}

ConfigWriteResult writeConfiguration(RelaySession &session, Operator &op)
{
    return Writing(session, op).run();
}

} // namespace miv
