#pragma once

#include "core/AbsentOperator.h"
#include "telemetry/JournalFollower.h"
#include "telemetry/TelemetryPayloads.h"
#include "telemetry/TelemetryTopics.h"

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <QDateTime>
#include <QElapsedTimer>
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
    int journalIntervalMs = 3600 * 1000; // each journal read whole again this often
    // Home Assistant's discovery prefix; nullopt: no discovery.
    std::optional<QString> discoveryPrefix;
    // The line's metadata (P/L/meta); the relay list is filled in here.
    LineMetadata metadata;
    // The relay register every journal reading is added to; none: no register.
    RelayRecorder *recorder = nullptr;
};

// The poller of one line: polls its relays in turn with the bus's timing and
// publishes what it reads; the time each interval leaves after the polls
// goes to the relays' journals (JournalFollower), and a line whose polls use
// up the interval still gives the journal a share of each round
// (journalShareOfPolls) while a look or a reading is due. Read-only: it sends
// the relays nothing but reads.
//
// A relay that answers is identified (its info published), then polled: its
// live values at each round, its state when it changes; a change of its
// alarms or state has its journal looked at first. Each ask is one request:
// a relay that gives no answer is asked again at the next rounds with a
// short status query (the scan's wait), and is "online": false once these
// misses are more than the line's retries; from then on it is asked less and
// less often (SilentRelayBackoff), so that a silent relay costs the others
// little. When it answers it is identified again (it may be another relay).
// A line that is lost (the port will not open again) makes every relay
// "online": false; the port is opened again, under the same name, with
// growing waits (1 s to 30 s), and the relays identified anew. The broker's
// absence changes nothing here: the connection keeps the latest values and
// hands them on when it is back.
class LinePublisher
{
public:
    using Log = std::function<void(const QString &line)>;
    // A round over its interval gives the journal at least this part of the
    // time its answering relays took (a sixth: a round of 32 relays at
    // 9600 bit/s, 3.9 s, leaves 0.65 s, some 14 entry reads), and urgent
    // journal work (new entries, a relay whose alarms changed) up to half.
    static constexpr int journalShareOfPolls = 6;
    static constexpr int urgentJournalShareOfPolls = 2;
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
    struct Relay
    {
        quint8 address = 0;
        std::unique_ptr<RelaySession> session;
        bool identified = false;
        std::optional<bool> online; // as last published
        int misses = 0; // asks without an answer, in a row
        qint64 nextAskMs = 0; // after a miss: when it is asked again
        // Its alarms and state at the last poll (protection flags, outputs, inputs).
        std::optional<std::array<quint16, 3>> alarms;
        QByteArray publishedInfo; // the info its discovery configs were made of
    };
    enum class Step { Done, LineLost, Stop };

    Step findRelays(const std::atomic_bool &stop);
    Step poll(Relay &relay);
    bool answersProbe(Relay &relay);
    void answered(Relay &relay);
    // An ask without an answer: the relay is asked again after its wait
    // (SilentRelayBackoff), and is offline once the misses pass the retries.
    void missed(Relay &relay, int retries, const QString &reason);
    void noteAlarms(Relay &relay);
    bool identify(Relay &relay);
    void publishDiscovery(Relay &relay);
    // The journals in the time the round leaves: the rest of the interval,
    // or a share of `answeringMs` (the polls of the relays that answered).
    Step readJournals(qint64 roundStartMs, qint64 answeringMs);
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
    JournalFollower m_journals;
    bool m_ledgerErrorTold = false;
    qint64 m_ledgerWrittenMs = 0;
    bool m_earlierMetadataTaken = false;
    bool m_lineWasOnline = false; // the line's status before this publisher's, retained
    // Another publisher that may still run: its relays lose their topics when it stops.
    std::optional<LineMetadata> m_runningOther;
    QSet<QString> m_otherClients; // other publishers seen on this line
};

} // namespace miv::telemetry
