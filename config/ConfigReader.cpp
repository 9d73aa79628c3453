#include "config/ConfigReader.h"

#include "app/Operator.h"
#include "app/Texts.h"
#include "config/ConfigGrid.h"
#include "config/ParameterCatalogue.h"
#include "config/TimerSchedule.h"
#include "config/ValueFormat.h"
#include "device/CurrentDevice.h"
#include "link/RelayBus.h"

namespace {

// Marks read from a relay that are no time of day (%1: their numbers).
const QString invalidTimerMarks =
    QStringLiteral("Метки времени %1, прочитанные из устройства, не являются временем суток и показаны как 00.00");

class Reading
{
public:
    explicit Reading(ConfigReadContext &context) : m_context(context) {}

    ConfigReadResult run()
    {
        try {
            return readAll() ? ConfigReadResult::Complete : ConfigReadResult::Failed;
        } catch (const LinkError &) {
            // The port failed under the read: the same report as a silent relay.
            reportFailure();
            return ConfigReadResult::Failed;
        }
    }

private:
    bool readAll()
    {
        ReplyString reply;
        if (!read(0x50, 32, ConfigReadThreshold::firstBlock, reply))
            return false;
        // Before any row is decoded, so that rows 1 and 2 of this read already
        // show the new resolution.
        m_context.catalogue.applyRatio(reply_word(reply, 0));
        for (int row = 0; row <= ConfigRow::lastFirstBlock; ++row)
            putNumeric(row, reply_word(reply, row));

        if (!read(0x60, 32, ConfigReadThreshold::secondBlock, reply))
            return false;
        for (int row = ConfigRow::firstSecondBlock; row <= ConfigRow::lastNumeric; ++row)
            putNumeric(row, reply_word(reply, row - ConfigRow::firstSecondBlock));

        if (!read(0x70, 8, ConfigReadThreshold::motorHours, reply))
            return false;
        putMotorHours(reply);

        if (!read(0x80, 2, ConfigReadThreshold::switchWords, reply))
            return false;
        putSwitches(reply_word(reply, 0), reply_word(reply, 1));
        m_context.grid.enable_switched_on();
        m_context.grid.apply_switches();

        if (!m_context.device.hasTimer())
            return true;
        return readTimer();
    }

    bool readTimer()
    {
        ReplyString reply;
        if (!read(0x70, 11, ConfigReadThreshold::timerMarks, reply))
            return false;
        if (m_context.timer.decodeMarks(reply) > 0)
            m_context.op.message(Operator::Icon::Warning,
                                 invalidTimerMarks.arg(m_context.timer.invalidMarkList()));
        if (!read(TimerSchedule::switchRegister, 1, ConfigReadThreshold::timerSwitches, reply))
            return false;
        m_context.timer.decodeSwitches(reply_word(reply, 0));
        return true;
    }

    bool read(quint16 first, quint16 count, int threshold, ReplyString &reply)
    {
        reply = m_context.bus.SetQuery(m_context.device.networkAddress, 3, first, count);
        if (reply.size() >= threshold)
            return true;
        reportFailure();
        return false;
    }

    void reportFailure() { m_context.op.message(Operator::Icon::Error, Texts::linkError); }

    // A disabled row keeps its disabled text and takes the value aside.
    void putValue(int row, const QString &text)
    {
        ConfigGrid &grid = m_context.grid;
        grid.setText(row, grid.isDisabled(row) ? ConfigGrid::SavedText : ConfigGrid::Value, text);
    }

    void putNumeric(int row, quint16 raw) { putValue(row, format_value(m_context.catalogue.step(row), raw, m_context.decimalSeparator)); }

    void putMotorHours(const ReplyString &reply)
    {
        const quint32 hours = quint32(reply_word(reply, 0)) << 16 | reply_word(reply, 1);
        const int minutes = reply_word(reply, 2) & 0xFF;
        m_context.grid.setText(ConfigRow::motorHours, ConfigGrid::Value,
                               QStringLiteral("%1 ч. %2 мин.").arg(hours).arg(minutes));
    }

    void putSwitches(quint16 w0, quint16 w1)
    {
        const quint16 words[] = {w0, w1};
        for (const SwitchBit &bit : SwitchBits) {
            QString text = OnOffTexts[size_t(reply_bit(words[bit.word], bit.bit))];
            if (bit.row == ConfigRow::tankAlgorithm && !m_context.device.hasTimer())
                text = Texts::functionOff;
            m_context.grid.setText(bit.row, ConfigGrid::Value, text);
        }
    }

    ConfigReadContext &m_context;
};

} // namespace

ConfigReadResult readConfiguration(ConfigReadContext &context)
{
    return Reading(context).run();
}
