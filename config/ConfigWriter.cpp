#include "config/ConfigWriter.h"

#include "app/Operator.h"
#include "app/SessionFlags.h"
#include "app/Texts.h"
#include "config/ConfigGrid.h"
#include "config/ConfigReader.h"
#include "config/ConfigValidation.h"
#include "config/ParameterCatalogue.h"
#include "device/CurrentDevice.h"
#include "link/RelayBus.h"

#include <map>

namespace {

// The rows of switch word `group` (0: rows 23-28, 1: rows 29-31).
QList<int> rowsOfGroup(int group)
{
    QList<int> rows;
    for (const SwitchBit &bit : SwitchBits)
        if (bit.word == group)
            rows.append(bit.row);
    return rows;
}

// "name: text" per row, one line each.
QString rowLines(const ConfigWriteContext &context, const QList<int> &rows)
{
    QStringList lines;
    for (int row : rows)
        lines << context.catalogue.record(row).name + QStringLiteral(": ")
                + context.grid.text(row, ConfigGrid::Value);
    return lines.join(u'\n');
}

class Writing
{
public:
    explicit Writing(ConfigWriteContext &context) : m_context(context) {}

    ConfigWriteResult run()
    {
        if (!checkMarkedRows())
            return m_result;
        try {
            writeNumericRows();
            writeSwitchWord(0);
            writeSwitchWord(1);
        } catch (const LinkError &) {
            m_context.op.message(Operator::Icon::Error, Texts::linkError);
            m_result.outcome = ConfigWriteResult::Outcome::LinkFailed;
            return m_result;
        }
        finish();
        return m_result;
    }

private:
    // Every marked row must hold a value the relay may be given; the values
    // to send are kept from this check.
    bool checkMarkedRows()
    {
        const ConfigGrid &grid = m_context.grid;
        const auto ratio = ConfigValidation::ratioFromText(grid.text(ConfigRow::ratio, ConfigGrid::Value),
                                                           m_context.decimalSeparator);
        for (int row = 0; row <= ConfigRow::lastSwitch; ++row) {
            if (!grid.isMarked(row))
                continue;
            const ConfigValidation::RowCheck check =
                ConfigValidation::checkRow(m_context.catalogue, row, grid.text(row, ConfigGrid::Value), ratio,
                                           m_context.device.typeCode, m_context.decimalSeparator);
            if (check.verdict == ConfigValidation::Verdict::Rejected)
                m_result.refusedRows.append(row);
            else if (check.raw)
                m_values[row] = *check.raw;
        }
        if (m_result.refusedRows.isEmpty())
            return true;
        m_result.outcome = ConfigWriteResult::Outcome::Refused;
        m_context.op.message(Operator::Icon::Error,
                             Texts::configValuesInvalid.arg(rowLines(m_context, m_result.refusedRows)));
        return false;
    }

    // True when the relay took the word; a refusal of any code is not taken.
    // No answer raises LinkError.
    bool write(quint16 reg, quint16 value)
    {
        return !RelayBus::isExceptionReply(m_context.bus.WriteWord(m_context.device.networkAddress, reg, value));
    }

    void writeNumericRows()
    {
        ConfigGrid &grid = m_context.grid;
        for (int row = 0; row <= ConfigRow::lastNumeric; ++row) {
            if (!grid.isMarked(row))
                continue;
            const quint32 reg = RelayBus::HexToInt(m_context.catalogue.record(row).reg);
            if (write(quint16(reg), m_values.at(row))) {
                grid.unmark(row);
                m_result.writtenRows.append(row);
            } else {
                m_result.refusedRows.append(row);
            }
        }
    }

    void writeSwitchWord(int group)
    {
        ConfigGrid &grid = m_context.grid;
        const QList<int> rows = rowsOfGroup(group);
        QList<int> marked;
        for (int row : rows)
            if (grid.isMarked(row))
                marked.append(row);
        if (marked.isEmpty())
            return;
        const quint32 reg = RelayBus::HexToInt(m_context.catalogue.record(rows.front()).reg);
        if (!write(quint16(reg), switchWord(grid, group))) {
            m_result.refusedRows.append(marked);
            return;
        }
        for (int row : rows)
            grid.unmark(row);
        m_result.writtenRows.append(marked);
    }

    void finish()
    {
        m_context.flags.conf_changed = false;
        m_context.flags.conf_locked = true;
        m_result.outcome = ConfigWriteResult::Outcome::Written;
        if (!m_result.refusedRows.isEmpty())
            m_context.op.message(Operator::Icon::Warning,
                                 Texts::configValuesNotTaken.arg(rowLines(m_context, m_result.refusedRows)));
        ConfigReadContext reading{m_context.bus,     m_context.op,   m_context.device,          m_context.catalogue,
                                  m_context.grid,    m_context.timer, m_context.decimalSeparator};
        m_result.readBack = readConfiguration(reading) == ConfigReadResult::Complete;
    }

    ConfigWriteContext &m_context;
    ConfigWriteResult m_result;
    std::map<int, quint16> m_values; // checked raw values of the marked numeric rows
};

} // namespace

quint16 switchWord(const ConfigGrid &grid, int group)
{
    // As a text of '0' and '1', most significant bit first; bits of no row are 0.
    QString digits(16, u'0');
    for (const SwitchBit &bit : SwitchBits)
        if (bit.word == group && grid.text(bit.row, ConfigGrid::Value) == OnOffTexts[1])
            digits[15 - bit.bit] = u'1';
    return quint16(RelayBus::BinToInt(digits));
}

ConfigWriteResult a_setdataExecute(ConfigWriteContext &context)
{
    return Writing(context).run();
}
