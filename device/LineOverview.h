#pragma once

#include "core/CurrentDevice.h"
#include "core/LineOverviewModel.h"
#include "core/RegisterMap.h"
#include "link/BusReply.h"

#include <array>
#include <functional>
#include <optional>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <vector>

namespace miv {

struct RelaySession;

// Registers 21 to 41 of one relay, as the overview reads them in one block.
using OverviewBlock = std::array<quint16, RelayRegister::overviewBlockCount>;

// A row after a reading of its relay: the state, the currents, the
// temperature and the lit alarm lamps by the rules and in the texts of the
// live page, the time of the reading, the colour of the state's lamp.
OverviewRow withReading(OverviewRow row, const OverviewBlock &block, quint16 typeCode,
                        QChar decimalSeparator, const QDateTime &readAt);

// A row whose relay did not answer: "Нет связи", grey; what was read before
// stays with the time it was read.
OverviewRow withoutLink(OverviewRow row);

// The line overview: the relays of the line read in turn, one relay per
// step, so that the window can run one step per timer tick and never
// freezes. A step reads the block of the table (registers 21 to 41); the
// first time a relay answers, and again after it was silent (it may have been
// replaced meanwhile), its name and factory number come first. Its clock
// (registers 115 to 117) is read after the block the first time and then once
// a minute at most, for the row's clock offset against the PC: a clock
// drifts by seconds a day, not within a round. A relay that
// does not answer is shown without link and asked again next round, once,
// without the bus's repetitions, so that a switched-off relay costs one wait
// per round. The relay identified for the other pages is not touched.
class LineOverview
{
public:
    enum class StepOutcome {
        Idle, // no relay to ask
        Read, // a relay was asked; the round goes on
        RoundDone, // the last relay of the round was asked
        PortLost, // the port failed and would not open again; the round stopped
    };
    struct StepResult
    {
        StepOutcome outcome = StepOutcome::Idle;
        int row = -1; // the row asked
        QString portLostText; // for the operator, with PortLost
    };

    LineOverview(RelaySession &session, LineOverviewModel &model);

    // The relays to watch, in this order: the model gets one empty row each,
    // and the next step begins a new round.
    void setAddresses(const QList<quint8> &addresses);
    StepResult step();
    // Ends the round under way at once (another bus action starts, the page
    // is left): the next step begins a new round. The rows stay as they are.
    void stop();

    bool roundUnderWay() const { return m_next > 0; }
    // How long the last complete round took.
    std::optional<qint64> lastRoundMs() const { return m_lastRoundMs; }
    // How long to wait before the next step when a round is to begin every
    // `intervalMs`: nothing within a round or before the first; after a
    // round, what is left of the interval since that round began.
    int delayBeforeNextStepMs(int intervalMs) const;

    // The time a reading is stamped with, and the PC's time the relays' clocks
    // are held against; tests set their own.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

private:
    // Each is Answered when the row got what it asked, else the reply that
    // failed (a failed port among them).
    BusReply ask(int rowIndex);
    BusReply readIdentity(int rowIndex);
    BusReply readClockWhenDue(int rowIndex);

    RelaySession &m_session;
    LineOverviewModel &m_model;
    std::vector<std::optional<CurrentDevice>> m_identities; // per row
    std::vector<QDateTime> m_clockReadAt; // per row: the last read of the relay's clock
    int m_next = 0; // the row the next step asks
    QElapsedTimer m_roundClock; // since the last round began
    std::optional<qint64> m_lastRoundMs;
};

} // namespace miv
