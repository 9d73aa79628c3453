#include "device/JournalReader.h"

#include "core/Operator.h"
#include "core/ParameterCatalogue.h"
#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "device/LinkFailure.h"
#include "device/RelayClock.h"
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
        result.outcome = readAll() ? JournalReadResult::Outcome::Complete
                                   : JournalReadResult::Outcome::Failed;
        result.rows = m_rows;
        result.entries = m_entries;
        finish();
        return result;
    }

private:
    bool readAll()
    {
        for (int n = 0; n < RelayRegister::journalEntries; ++n) {
            const BusReply answer = requestJournalEntry(m_session, n);
            const ReplyString &reply = answer.reply;
            if (answer.portFailed() || reply.size() < JournalReadThreshold::reply) {
                // A failed port is told as a silent relay is, or as a lost
                // port when it would not reopen; the entries read so far stay
                // in the grid.
                m_op.message(Operator::Icon::Error, handleLinkFailure(m_session, answer).text);
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
            m_entries << journalEntryBytes(reply);
            progress(n);
            m_op.keepAlive();
            ++m_rows;
        }
        return true;
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

JournalFigures journalFigures(const ReplyString &reply)
{
    const int code = journalEventCode(reply);
    const auto byte = [&reply](int k) { return replyByte(reply, Byte::details + k); };
    JournalFigures figures;
    if (code == motorHoursRecord) {
        figures.motorHours =
                quint32(byte(0)) << 24 | quint32(byte(1)) << 16 | quint32(byte(2)) << 8 | byte(3);
        figures.motorMinutes = byte(4);
    } else if (code >= firstTrip && code <= lastTrip) {
        const auto at = [&reply](int k) { return int(word(reply, Byte::details + 2 * k)); };
        figures.currentTenths = {at(0), at(1), at(2)};
        figures.asymmetryPercent = at(3);
        figures.voltages = {at(4), at(5), at(6)};
    } else if (code == insulation) {
        figures.insulationTenths = byte(1);
    } else if (code == temperature) {
        figures.temperature = byte(0) == 0 ? byte(1) : -byte(1);
    }
    return figures;
}

QString journalDetailsText(const ReplyString &reply, QChar decimalSeparator)
{
    const JournalFigures f = journalFigures(reply);
    if (f.motorHours)
        return QString::number(*f.motorHours) + QStringLiteral(" часов ")
                + QString::number(*f.motorMinutes) + QStringLiteral(" минут");
    if (f.currentTenths) {
        const auto current = [&](int phase) {
            return tenths(quint32((*f.currentTenths)[std::size_t(phase)]), decimalSeparator);
        };
        const auto voltage = [&](int phase) {
            return QString::number((*f.voltages)[std::size_t(phase)]);
        };
        return tripDetails.arg(current(0), current(1), current(2),
                               QString::number(*f.asymmetryPercent), voltage(0), voltage(1),
                               voltage(2));
    }
    if (f.insulationTenths)
        return tenths(quint32(*f.insulationTenths), decimalSeparator) + QStringLiteral(" МОм");
    if (f.temperature) {
        const auto byte = [&reply](int k) { return replyByte(reply, Byte::details + k); };
        return (byte(0) == 0 ? u'+' : u'-') + QString::number(byte(1)) + QStringLiteral(" °C");
    }
    // 1-15, 45 and 60-62 carry no details: the cell is emptied.
    return {};
}

BusReply requestJournalEntry(RelaySession &session, int entry)
{
    // These are the entry's repetitions: the bus adds none of its own, so a
    // relay that fell silent is told after three reply time-outs, not nine.
    BusReply reply;
    for (int request = 0; request < JournalReadThreshold::requests; ++request) {
        reply = session.bus.askRegisters(
                session.device.networkAddress, quint16(RelayRegister::journal + entry),
                RelayRegister::journalEntryCount, RelayBus::Attempts::Once);
        if (reply.portFailed() || findEvent(journalEventCode(reply.reply)))
            break;
    }
    return reply;
}

QByteArray journalEntryBytes(const ReplyString &reply)
{
    return reply.mid(3, 2 * RelayRegister::journalEntryCount)
            .leftJustified(2 * RelayRegister::journalEntryCount, '\0');
}

// A clock that cannot be read leaves the offset unknown; a reading that
// failed on the link does not wait for the clock as well.
void recordJournalReading(RelaySession &session, Operator &op, const QList<QByteArray> &entries,
                          bool complete)
{
    if (!session.recorder || entries.isEmpty())
        return;
    JournalRecord record;
    static_cast<RelaySighting &>(record) = session.sighting();
    record.entries = entries;
    if (complete) {
        // A port that fails here shows at the next exchange; the entries are kept all the same.
        const ClockRead clock = readRelayClock(session, session.device.networkAddress,
                                               [] { return QDateTime::currentDateTime(); });
        if (clock.reading)
            record.clockOffsetMs = clock.reading->offsetMs;
    }
    const JournalRecordOutcome outcome = session.recorder->recordJournal(record);
    if (!outcome.recorded)
        op.note(Texts::registerNotUpdated.arg(outcome.failure));
}

JournalReadResult readJournal(RelaySession &session, Operator &op, const JournalReadHooks &hooks)
{
    JournalReadResult result = Reading(session, op, hooks).run();
    recordJournalReading(session, op, result.entries,
                         result.outcome == JournalReadResult::Outcome::Complete);
    return result;
}

} // namespace miv
