#include "device/JournalReader.h"

#include "core/Operator.h"
#include "core/ParameterCatalogue.h"
#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "device/LinkFailure.h"
#include "device/RelayClock.h"
#include "link/LinkError.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

namespace miv {

namespace {

// Data bytes of an entry.
namespace Byte {
constexpr int code = 0, day = 1, month = 2, year = 3, hour = 4, minute = 5, second = 6;
constexpr int details = 8; // d8-d21
} // namespace Byte

// Event codes by the details they carry.
constexpr int motorHoursRecord = 16;
constexpr int firstTrip = 30, lastTrip = 42;
constexpr int insulation = 43;
constexpr int temperature = 44;

const QString tripDetails = QStringLiteral(
        "Ia = %1 А, Ib = %2 А, Ic = %3 А, Iут = %4 %, Ua = %5 В, Ub = %6 В, Uc = %7 В");

quint16 word(const ReplyString &reply, int byte)
{
    return quint16(replyByte(reply, byte) << 8 | replyByte(reply, byte + 1));
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// A number of tenths with one decimal: 123 as "12,3".
QString tenths(quint32 value, QChar decimalSeparator)
{
    return QString::number(value / 10) + decimalSeparator + QString::number(value % 10);
}

class Reading
{
public:
    Reading(RelaySession &session, Operator &op, const JournalReadHooks &hooks)
        : m_session(session), m_op(op), m_hooks(hooks)
    { }

    JournalReadResult run()
    {
        JournalReadResult result;
        try {
            result.outcome = readAll() ? JournalReadResult::Outcome::Complete
                                       : JournalReadResult::Outcome::Failed;
        } catch (const LinkError &error) {
            // Told as a silent relay is, or as a lost port when it would not
            // reopen; the entries read so far stay in the grid.
            m_op.message(Operator::Icon::Error, linkFailureText(m_session, error));
            result.outcome = JournalReadResult::Outcome::Failed;
        }
        result.rows = m_rows;
        result.entries = m_entries;
        finish();
        return result;
    }

private:
    bool readAll()
    {
        for (int n = 0; n < RelayRegister::journalEntries; ++n) {
            const ReplyString reply = requestEntry(n);
            if (reply.size() < JournalReadThreshold::reply) {
                m_op.message(Operator::Icon::Error, Texts::linkError);
                return false;
            }
            const EventName *event = findEvent(journalEventCode(reply));
            if (!event) {
                progress(RelayRegister::journalEntries - 1);
                return true;
            }
            m_session.journal.setRow(m_rows, QString::number(m_rows + 1), journalDateText(reply),
                                     event->name,
                                     journalDetailsText(reply, m_session.decimalSeparator));
            m_entries << reply.mid(3, 2 * RelayRegister::journalEntryCount)
                                 .leftJustified(2 * RelayRegister::journalEntryCount, '\0');
            progress(n);
            m_op.keepAlive();
            ++m_rows;
        }
        return true;
    }

    // Up to three requests while the code is unknown; the last reply. These
    // are the entry's repetitions: the bus adds none of its own, so a relay
    // that fell silent is told after three reply time-outs, not nine.
    ReplyString requestEntry(int n)
    {
        ReplyString reply;
        for (int request = 0; request < JournalReadThreshold::requests; ++request) {
            reply = m_session.bus.readRegisters(
                    m_session.device.networkAddress, quint16(RelayRegister::journal + n),
                    RelayRegister::journalEntryCount, RelayBus::Attempts::Once);
            if (findEvent(journalEventCode(reply)))
                break;
        }
        return reply;
    }

    void progress(int position)
    {
        if (m_hooks.progress)
            m_hooks.progress(position);
    }

    void finish()
    {
        m_session.journal.setRowCount(m_rows);
        if (m_rows == 0)
            m_session.journal.clearRow(0);
    }

    RelaySession &m_session;
    Operator &m_op;
    const JournalReadHooks &m_hooks;
    int m_rows = 0;
    QList<QByteArray> m_entries;
};

} // namespace

int journalEventCode(const ReplyString &reply)
{
    return replyByte(reply, Byte::code);
}

QString journalDateText(const ReplyString &reply)
{
    return QStringLiteral("20") + twoDigits(replyByte(reply, Byte::year)) + u'.'
            + twoDigits(replyByte(reply, Byte::month)) + u'.'
            + twoDigits(replyByte(reply, Byte::day)) + u' '
            + twoDigits(replyByte(reply, Byte::hour)) + u':'
            + twoDigits(replyByte(reply, Byte::minute)) + u':'
            + twoDigits(replyByte(reply, Byte::second));
}

QString journalDetailsText(const ReplyString &reply, QChar decimalSeparator)
{
    const int code = journalEventCode(reply);
    const auto byte = [&reply](int k) { return replyByte(reply, Byte::details + k); };
    if (code == motorHoursRecord) {
        const quint32 hours =
                quint32(byte(0)) << 24 | quint32(byte(1)) << 16 | quint32(byte(2)) << 8 | byte(3);
        return QString::number(hours) + QStringLiteral(" часов ") + QString::number(byte(4))
                + QStringLiteral(" минут");
    }
    if (code >= firstTrip && code <= lastTrip) {
        const auto at = [&reply](int k) { return word(reply, Byte::details + 2 * k); };
        return tripDetails.arg(tenths(at(0), decimalSeparator), tenths(at(1), decimalSeparator),
                               tenths(at(2), decimalSeparator), QString::number(at(3)),
                               QString::number(at(4)), QString::number(at(5)),
                               QString::number(at(6)));
    }
    if (code == insulation)
        return tenths(byte(1), decimalSeparator) + QStringLiteral(" МОм");
    if (code == temperature)
        return (byte(0) == 0 ? u'+' : u'-') + QString::number(byte(1)) + QStringLiteral(" °C");
    // 1-15, 45 and 60-62 carry no details: the cell is emptied.
    return {};
}

namespace {

// The reading handed to the register with the relay's clock offset. A clock
// that cannot be read leaves the offset unknown; a reading that failed on
// the link does not wait for the clock as well.
void recordReading(RelaySession &session, Operator &op, const JournalReadResult &result)
{
    const CurrentDevice &device = session.device;
    JournalRecord record;
    record.port = session.audit.portName ? session.audit.portName() : QString();
    record.address = device.networkAddress;
    record.factoryNumber = device.factoryNumber;
    record.typeCode = device.typeCode;
    record.deviceName = device.deviceName;
    record.softwareVersion = device.softwareVersion;
    record.entries = result.entries;
    if (result.outcome == JournalReadResult::Outcome::Complete) {
        try {
            if (const std::optional<ClockReading> clock =
                        readRelayClock(session, device.networkAddress,
                                       [] { return QDateTime::currentDateTime(); }))
                record.clockOffsetMs = clock->offsetMs;
        } catch (const LinkError &) {
            // The port's failure shows at the next exchange; the entries are kept all the same.
        }
    }
    const JournalRecordOutcome outcome = session.recorder->recordJournal(record);
    if (!outcome.recorded)
        op.note(Texts::registerNotUpdated.arg(outcome.failure));
}

} // namespace

JournalReadResult readJournal(RelaySession &session, Operator &op, const JournalReadHooks &hooks)
{
    JournalReadResult result = Reading(session, op, hooks).run();
    if (session.recorder && !result.entries.isEmpty())
        recordReading(session, op, result);
    return result;
}

} // namespace miv
