#pragma once

#include "link/BusReply.h"
#include "link/ReplyString.h"

#include <array>
#include <functional>
#include <QByteArray>
#include <QList>
#include <optional>
#include <QString>

namespace miv {

class Operator;
struct RelaySession;

// What the journal reading shows on its way.
struct JournalReadHooks
{
    // The bar's position: n after entry n was listed, 99 when the journal ended early.
    std::function<void(int position)> progress;
};

struct JournalReadResult
{
    enum class Outcome {
        Complete, // the journal's end or its 100th entry was reached
        Failed, // an entry got no full answer or the port failed; the operator was told
    };
    Outcome outcome = Outcome::Complete;
    int rows = 0; // the entries listed
    // Each entry listed as the relay gave it, its 22 data bytes, in slot order.
    QList<QByteArray> entries;
};

// The journal reading of "Получить" on the journal tab: entries 0 to 99 of
// the session's relay, one read of 11 registers each, listed in the session's
// journal grid as they come, the operator's keepAlive after each row.
//
// An entry whose code is no known event is asked for again, up to three
// requests in all (a silent or damaged answer included: the bus does not
// repeat the journal's requests); a full answer that still holds no known
// code is the journal's end (not an error). An entry whose last answer is
// shorter than JournalReadThreshold::reply stops the reading with "Ошибка
// связи с устройством!"; so does a port that fails.
//
// Rows are overwritten in place from the top; at the end, after a failure as
// well, the grid is cut to the rows listed. A journal that listed no row
// leaves one empty row, so no event of an earlier reading stays on screen.
//
// With a relay register (session.recorder), the reading then reads the
// relay's clock (registers 115 to 117) and hands the entries listed, with the
// clock's offset, to the register, which adds those not on record yet; when
// it cannot, the operator gets a note that the register was not updated and
// why. The reading's result is the same either way.
JournalReadResult readJournal(RelaySession &session, Operator &op,
                              const JournalReadHooks &hooks = {});

// An entry's 22 data bytes as the register keeps them, cut from its reply.
QByteArray journalEntryBytes(const ReplyString &reply);

// Hands a reading's entries (in slot order) to the session's register, as
// readJournal does: a complete reading also reads the relay's clock for its
// offset. A register that cannot take them gets the operator a note. For a
// reading made a few entries at a time (mivctl publish); nothing without a
// register.
void recordJournalReading(RelaySession &session, Operator &op, const QList<QByteArray> &entries,
                          bool complete);

namespace JournalReadThreshold {
constexpr int reply = 10; // shortest reply string taken as an answer
constexpr int requests = 3; // requests for an entry whose code is unknown
} // namespace JournalReadThreshold

// The texts of one journal entry, from the reply string of its read (data
// byte k is character 4 + k; bytes beyond the reply's end count as 0).
// The event code is data byte 0.
int journalEventCode(const ReplyString &reply);
// "20" + year, month, day, hour, minute, second, two digits at least:
// "2009.11.05 08:04:00".
QString journalDateText(const ReplyString &reply);
// The column "Информация" of the entry's code; empty for codes without details.
QString journalDetailsText(const ReplyString &reply, QChar decimalSeparator);

// The numbers an entry carries, as the relay sent them (the column
// "Информация" writes them): a trip's currents in tenths of A, its asymmetry
// in % and its voltages in V; the insulation in tenths of MΩ; the
// temperature in °C, signed; the motor hours and minutes of code 16. Only
// those of the entry's code are set.
struct JournalFigures
{
    std::optional<std::array<int, 3>> currentTenths;
    std::optional<int> asymmetryPercent;
    std::optional<std::array<int, 3>> voltages;
    std::optional<int> insulationTenths;
    std::optional<int> temperature;
    std::optional<quint32> motorHours;
    std::optional<int> motorMinutes;
};
JournalFigures journalFigures(const ReplyString &reply);

// One entry asked for as the journal reading asks: up to
// JournalReadThreshold::requests requests while its code is no known event;
// the last reply, or the first whose port failed.
BusReply requestJournalEntry(RelaySession &session, int entry);

} // namespace miv
