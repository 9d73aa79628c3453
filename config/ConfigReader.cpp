#include "config/ConfigReader.h"

#include "config/SettingsRecording.h"

#include "core/Operator.h"
#include "core/RegisterMap.h"
#include "core/RelayWords.h"
#include "core/Texts.h"
#include "device/LinkFailure.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

namespace miv {

namespace {

// Marks read from a relay that are no time of day (%1: their numbers).
const QString invalidTimerMarks = QStringLiteral(
        "Метки времени %1, прочитанные из устройства, не являются временем суток и показаны как 00.00");

class Reading
{
public:
    Reading(RelaySession &session, Operator &op) : m_session(session), m_op(op) { }

    ConfigReadResult run(SettingsKind kind)
    {
        if (!readAll())
            return ConfigReadResult::Failed;
        recordSettingsRead(m_session, m_op, kind, m_registers);
        return ConfigReadResult::Complete;
    }

private:
    bool readAll()
    {
        ReplyString reply;
        if (!read(RelayRegister::firstConfigBlock, RelayRegister::configBlockCount,
                  ConfigReadThreshold::firstBlock, reply))
            return false;
        // Before any row is decoded, so that rows 1 and 2 of this read already
        // show the new resolution.
        m_session.catalogue.applyRatio(replyWord(reply, 0));
        for (int row = 0; row <= ConfigRow::lastFirstBlock; ++row)
            putNumeric(row, replyWord(reply, row));
        keep(RelayRegister::firstConfigBlock, reply, ConfigRow::lastFirstBlock + 1);

        if (!read(RelayRegister::secondConfigBlock, RelayRegister::configBlockCount,
                  ConfigReadThreshold::secondBlock, reply))
            return false;
        for (int row = ConfigRow::firstSecondBlock; row <= ConfigRow::lastNumeric; ++row)
            putNumeric(row, replyWord(reply, row - ConfigRow::firstSecondBlock));
        keep(RelayRegister::secondConfigBlock, reply,
             ConfigRow::lastNumeric - ConfigRow::firstSecondBlock + 1);

        if (!read(RelayRegister::motorHours, RelayRegister::motorHoursCount,
                  ConfigReadThreshold::motorHours, reply))
            return false;
        putMotorHours(reply);

        if (!read(RelayRegister::switchWords, RelayRegister::switchWordCount,
                  ConfigReadThreshold::switchWords, reply))
            return false;
        putSwitches(replyWord(reply, 0), replyWord(reply, 1));
        keep(RelayRegister::switchWords, reply, RelayRegister::switchWordCount);
        m_session.configGrid.enableSwitchedOn();
        m_session.configGrid.applySwitches();

        if (!m_session.device.hasTimer())
            return true;
        return readTimer();
    }

    bool readTimer()
    {
        ReplyString reply;
        if (!read(RelayRegister::motorHours, RelayRegister::motorHoursWithTimerMarksCount,
                  ConfigReadThreshold::timerMarks, reply))
            return false;
        std::array<quint16, TimerSchedule::markCount> words{};
        for (int i = 0; i < TimerSchedule::markCount; ++i)
            words[size_t(i)] = replyWord(reply, RelayRegister::timerMarksInMotorHoursRead + i);
        for (int i = 0; i < TimerSchedule::markCount; ++i)
            m_registers[quint16(RelayRegister::firstTimerMark + i)] = words[size_t(i)];
        if (m_session.timer.decodeMarks(words) > 0)
            m_op.message(Operator::Icon::Warning,
                         invalidTimerMarks.arg(m_session.timer.invalidMarkList()));
        if (!read(RelayRegister::timerSwitches, 1, ConfigReadThreshold::timerSwitches, reply))
            return false;
        m_session.timer.decodeSwitches(replyWord(reply, 0));
        keep(RelayRegister::timerSwitches, reply, 1);
        return true;
    }

    bool read(quint16 first, quint16 count, int threshold, ReplyString &reply)
    {
        const BusReply answer =
                m_session.bus.askRegisters(m_session.device.networkAddress, first, count);
        if (answer.portFailed()) {
            // Told as a silent relay is, or as a lost port when it would not reopen.
            m_op.message(Operator::Icon::Error, handleLinkFailure(m_session, answer).text);
            return false;
        }
        reply = answer.reply; // a refusal's three characters are short of every threshold
        if (reply.size() >= threshold)
            return true;
        reportFailure();
        return false;
    }

    // The raw values of the first `count` registers of a reply from `first`,
    // for the register of settings.
    void keep(quint16 first, const ReplyString &reply, int count)
    {
        for (int i = 0; i < count; ++i)
            m_registers[quint16(first + i)] = replyWord(reply, i);
    }

    void reportFailure() { m_op.message(Operator::Icon::Error, Texts::linkError); }

    // A disabled row keeps its disabled text and takes the value aside.
    void putValue(int row, const QString &text)
    {
        ConfigGrid &grid = m_session.configGrid;
        grid.setText(row, grid.isDisabled(row) ? ConfigGrid::SavedText : ConfigGrid::Value, text);
        grid.setRelayText(row, text);
    }

    void putNumeric(int row, quint16 raw)
    {
        putValue(row, formatValue(m_session.catalogue.step(row), raw, m_session.decimalSeparator));
    }

    void putMotorHours(const ReplyString &reply)
    {
        const MotorResource resource =
                motorResource(replyWord(reply, 0), replyWord(reply, 1), replyWord(reply, 2));
        m_session.configGrid.setText(
                ConfigRow::motorHours, ConfigGrid::Value,
                QStringLiteral("%1 ч. %2 мин.").arg(resource.hours).arg(resource.minutes));
    }

    void putSwitches(quint16 w0, quint16 w1)
    {
        const quint16 words[] = {w0, w1};
        for (const SwitchBit &bit : switchBits) {
            QString text = onOffTexts[size_t(replyBit(words[bit.word], bit.bit))];
            if (bit.row == ConfigRow::tankAlgorithm && !m_session.device.hasTimer())
                text = Texts::functionOff;
            m_session.configGrid.setText(bit.row, ConfigGrid::Value, text);
            m_session.configGrid.setRelayText(bit.row, text);
        }
    }

    RelaySession &m_session;
    Operator &m_op;
    SettingsRegisters m_registers;
};

} // namespace

ConfigReadResult readConfiguration(RelaySession &session, Operator &op, SettingsKind kind)
{
    return Reading(session, op).run(kind);
}

} // namespace miv
