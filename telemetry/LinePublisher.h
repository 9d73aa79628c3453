#pragma once

#include "core/AbsentOperator.h"
#include "telemetry/TelemetryPayloads.h"
#include "telemetry/TelemetryTopics.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <vector>

namespace miv {
class PortLink;
class RelayRecorder;
struct RelaySession;
} // namespace miv

namespace miv::telemetry {

class JournalLedger;
class MqttConnection;

// An operator nobody sits at: every message is kept (the last one tells why
// a relay went silent), every question declined.
class UnattendedOperator : public AbsentOperator
{
public:
    Answer message(Icon, const QString &text, Buttons, const QString &) override
    {
        lastMessage = text;
        return Answer::Ok;
    }

    QString lastMessage;
};

struct PublishSettings
{
    TelemetryTopics topics;
    QList<quint8> addresses; // empty: the relays a scan of 1 to 32 finds at start
    int intervalMs = 1000; // a round of polls starts at most this often
    int journalIntervalMs = 600 * 1000;
    // Home Assistant's discovery prefix; nullopt: no discovery.
    std::optional<QString> discoveryPrefix;
    // The line's metadata (P/L/meta); the relay list is filled in here.
    LineMetadata metadata;
    // The relay register every journal reading is added to; none: no register.
    RelayRecorder *recorder = nullptr;
};

// The poller of one line: polls its relays in turn with the bus's timing and
// publishes what it reads; between two rounds it reads a few entries of one
// relay's journal when one is due (at start and then every journal
// interval), so that a journal of 100 entries holds no relay's live values
// back. Read-only: it sends the relays nothing but reads.
//
// A relay that answers is identified (its info published), then polled: its
// live values at each round, its state when it changes. A relay that gives
// no answer is "online": false once the line's retries are spent (a live
// read spends them itself; an identification is asked again at the next
// rounds), and is then asked again less and less often: a short status
// query (the scan's wait) after 2 s, 4 s, ... at most silentProbeLongestMs
// apart, so that a silent relay costs the others little. When it answers it
// is identified again (it may be another relay). A line that is lost (the
// port will not open again) makes every relay "online": false; the port is
// opened again, under the same name, with growing waits (1 s to 30 s), and
// the relays identified anew. The broker's absence changes nothing here: the
// connection keeps the latest values and hands them on when it is back.
class LinePublisher
{
public:
    using Log = std::function<void(const QString &line)>;
    // The longest wait between two questions to a silent relay.
    static constexpr int silentProbeLongestMs = 30000;
    // Journal entries read at most between two rounds.
    static constexpr int journalEntriesPerRound = 4;
    enum class End {
        Stopped, // the stop flag was raised
        BrokerRefused, // the broker refused the client or TLS failed: the reason was logged
    };

    LinePublisher(PortLink &link, MqttConnection &mqtt, JournalLedger &ledger,
                  PublishSettings settings, Log log);
    ~LinePublisher();

    End run(const std::atomic_bool &stop);
    // Takes the journal entries the broker acknowledged into the state file.
    // run() does it as it goes and writes the file at most every two
    // seconds (a journal of 100 entries is acknowledged in bursts); the
    // caller does it once more after the connection's clean stop, with
    // Write::Now, so that the file is written at once.
    enum class Write { Soon, Now };
    void rememberAcknowledged(Write write = Write::Now);

private:
    // A journal read a few entries at a time.
    struct JournalReading
    {
        bool active = false;
        int next = 0; // the entry asked next, 0..99
        int sent = 0;
        QHash<QString, int> seen; // identity: entries of this reading that say it
        QList<QByteArray> entries; // as the relay gave them, for the relay register
    };
    struct Relay
    {
        quint8 address = 0;
        std::unique_ptr<RelaySession> session;
        bool identified = false;
        std::optional<bool> online; // as last published
        QString ledgerKey;
        qint64 journalDueMs = 0;
        JournalReading journal;
        int failedPolls = 0; // in a row
        int probeWaitMs = 0; // while offline: the wait before the next question
        qint64 nextProbeMs = 0;
        QByteArray publishedInfo; // the info its discovery configs were made of
    };
    enum class Step { Done, LineLost, Stop };

    Step findRelays(const std::atomic_bool &stop);
    Step poll(Relay &relay);
    bool answersProbe(Relay &relay);
    void noAnswer(Relay &relay, const QString &reason, bool retriesSpent);
    bool identify(Relay &relay);
    void publishDiscovery(Relay &relay);
    Step readJournalIfDue(qint64 roundStartMs);
    // Reads the next entries of the relay's journal (at most `entries`) and
    // publishes each new one as it comes; the reading ends at the journal's
    // end, its 100th entry, a failed entry or the broker's absence.
    Step readJournalStep(Relay &relay, int entries);
    // Publishes one entry of the reading unless the state file or the
    // messages under way have it. False when the broker did not take it.
    bool publishJournalEntry(Relay &relay, const JournalEntry &entry);
    void finishJournal(Relay &relay, bool complete);
    void publishMetadata();
    void takeLineMessages();
    void takeLineStatus(const QByteArray &payload, bool retained);
    void takeOtherMetadata(const QByteArray &payload, bool retained);
    void removeRelaysThatLeft(const LineMetadata &earlier);
    void setOnline(Relay &relay, bool online, const QString &reason = {});
    bool reopenLine(const std::atomic_bool &stop, const QString &reason);
    bool waitUntil(qint64 deadlineMs, const std::atomic_bool &stop);
    bool brokerRefused();
    std::unique_ptr<RelaySession> newSession();
    qint64 nowMs() const { return m_clock.elapsed(); }

    PortLink &m_link;
    MqttConnection &m_mqtt;
    JournalLedger &m_ledger;
    PublishSettings m_settings;
    Log m_log;
    UnattendedOperator m_operator;
    std::vector<Relay> m_relays;
    QElapsedTimer m_clock;
    // Journal messages sent and not yet acknowledged: message id to (relay, entry).
    QHash<int, std::pair<QString, QString>> m_pending;
    QSet<QString> m_pendingKeys;
    bool m_ledgerErrorTold = false;
    qint64 m_ledgerWrittenMs = 0;
    bool m_earlierMetadataTaken = false;
    bool m_lineWasOnline = false; // the line's status before this publisher's, retained
    // Another publisher that may still run: its relays lose their topics when it stops.
    std::optional<LineMetadata> m_runningOther;
    QSet<QString> m_otherClients; // other publishers seen on this line
};

} // namespace miv::telemetry
