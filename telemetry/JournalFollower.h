#pragma once

#include "telemetry/JournalRing.h"
#include "telemetry/TelemetryTopics.h"

#include <functional>
#include <utility>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <vector>

namespace miv {
class Operator;
class PortLink;
struct RelaySession;
} // namespace miv

namespace miv::telemetry {

class JournalLedger;
class MqttConnection;

// The journals of one line's relays, read in the time the live values leave
// and published entry by entry, each new entry once.
//
// A relay's journal is read whole once (slot 0 on), unless the state file
// keeps its ring; from then on only what can be new is read: the slot where
// the relay writes next (JournalRing), looked at least every lookEveryMs and
// first of all when the relay's alarms or state just changed. A look that
// finds a new entry there reads on, slot by slot, until a slot holds what it
// held (or ends the journal): a new entry costs the line two entry reads. The
// whole journal is read again every journal interval, so that a writing place
// the dates told wrong costs that interval at most.
//
// Work is picked in this order: the new entries of a look, the relays whose
// alarms or state changed, the looks that are due, the whole readings, and,
// with time to spare, a look at each relay not yet due (once a round). Every
// exchange is one entry's read. A relay that gives no answer is left alone
// until the publisher finds it answering again; journals are read only while
// the broker is there (a whole reading cut off starts again from slot 0).
class JournalFollower
{
public:
    using Log = std::function<void(const QString &line)>;
    using Clock = std::function<qint64()>;
    // How long a relay's writing place may go without a look.
    static constexpr int lookEveryMs = 15000;
    // A whole reading that failed is made again after this, or the journal
    // interval when shorter.
    static constexpr int wholeRetryMs = 60 * 1000;
    // The looks owed to a relay whose alarms or state changed: the entry may
    // come a moment after the lamp.
    static constexpr int looksOnChange = 2;

    struct Context
    {
        PortLink &link;
        MqttConnection &mqtt;
        JournalLedger &ledger;
        Operator &op; // told when the relay register cannot take a reading
        TelemetryTopics topics;
        int wholeReadingIntervalMs = 3600 * 1000;
        Clock clock;
        Log log;
    };
    enum class Result { Done, LineLost };

    explicit JournalFollower(Context context);

    // A relay identified: its journal is followed from the ring its record
    // keeps, else read whole. The same relay identified again keeps its ring
    // and is looked at first (a power cut writes entries).
    void follow(quint8 address, RelaySession &session, const QString &ledgerKey);
    // Whether the relay answered its poll: nothing is read from one that did not.
    void setAnswering(quint8 address, bool answering);
    // The relays whose journal read got no answer since the last call: a
    // miss, as a poll without an answer is.
    QList<quint8> takeFallenSilent() { return std::exchange(m_fallenSilent, {}); }
    // Its alarms or state just changed.
    void lookSoon(quint8 address);
    // What is due now: the round then gives the journal its time even when
    // the polls used up the interval. Urgent: new entries being read, or a
    // relay whose alarms or state changed.
    enum class Due { Nothing, Some, Urgent };
    Due due() const;
    // Reads one entry after another while the deadline leaves time for one
    // more (the longest entry read of late): `urgentDeadlineMs` for urgent
    // work, `deadlineMs` for the rest; `spare`: the interval has idle time,
    // and relays not yet due are looked at too. LineLost when the port
    // failed and would not open again (portFailure() says why).
    Result spend(qint64 deadlineMs, qint64 urgentDeadlineMs, bool spare);
    const QString &portFailure() const { return m_portFailure; }
    // A journal message the broker acknowledged: its entry is published.
    void acknowledged(int messageId);

private:
    struct Followed
    {
        quint8 address = 0;
        RelaySession *session = nullptr;
        QString ledgerKey;
        bool answering = true;
        bool ringKnown = false;
        JournalRing ring;
        // The ring came from the state file: its entries not acknowledged
        // yet are published (keptToPublish), and the first look also reads
        // its newest slot (newestToCheck): another entry there means the
        // relay's journal is not the one kept, and is read whole.
        bool keptToPublish = false;
        bool newestToCheck = false;
        qint64 lookDueMs = 0;
        int looksOwed = 0;
        qint64 spareRound = -1; // the round of its last spare look
        // The run of new entries under way, from a look.
        bool runActive = false;
        int runSlot = 0;
        int runRead = 0;
        int runSent = 0;
        // The whole reading under way, or when it is due.
        bool wholeActive = false;
        qint64 wholeDueMs = 0;
        QList<QByteArray> wholeEntries;
        QHash<QString, int> wholeSeen; // identity: entries of the reading that say it
        int wholeSent = 0;
    };
    enum class Job { None, Run, Look, Whole };
    // One entry's read: the relay's answer, or none.
    struct EntryRead
    {
        enum class Kind { Entry, Empty, Silent, LineLost } kind = Kind::Silent;
        QByteArray bytes;
    };

    Followed *find(quint8 address);
    // The next job and its relay; `urgent` tells which deadline holds.
    Job pick(bool spare, Followed **relay, bool *urgent);
    Result perform(Job job, Followed &relay);
    EntryRead readEntry(Followed &relay, int slot, int requests);
    void fellSilent(Followed &relay);
    Result look(Followed &relay);
    Result checkNewest(Followed &relay);
    Result runStep(Followed &relay);
    void takeRunEntry(Followed &relay, const QByteArray &bytes);
    void endRun(Followed &relay, int writingPlace);
    Result wholeStep(Followed &relay);
    void endWhole(Followed &relay, bool complete);
    void publishKept(Followed &relay);
    void brokerAway();
    // Publishes an entry unless the state file or the messages under way
    // have it; false when the broker did not take it. Counts it in `sent`.
    bool publish(Followed &relay, const JournalEntry &entry, int rank, int &sent);
    qint64 now() const { return m_context.clock(); }

    Context m_context;
    std::vector<Followed> m_relays;
    qint64 m_round = 0;
    qint64 m_entryMs = 0; // the longest entry read of late
    // Journal messages sent and not yet acknowledged: message id to (relay, entry).
    QHash<int, std::pair<QString, QString>> m_pending;
    QSet<QString> m_pendingKeys;
    QString m_portFailure;
    QList<quint8> m_fallenSilent;
};

} // namespace miv::telemetry
