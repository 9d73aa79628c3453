#pragma once

#include "core/AbsentOperator.h"
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
    // The relay register every journal reading is added to; none: no register.
    RelayRecorder *recorder = nullptr;
};

// The poller of one line: polls its relays in turn with the bus's timing and
// publishes what it reads; reads one relay's journal between two rounds when
// it is due (at start and then every journal interval). Read-only: it sends
// the relays nothing but reads.
//
// A relay that answers is identified (its info published), then polled: its
// live values at each round, its state when it changes. A relay that gives
// no answer is "online": false at once, and identified again when it answers
// (it may be another relay). A line that is lost (the port will not open
// again) makes every relay "online": false; the port is opened again, under
// the same name, with growing waits (1 s to 30 s), and the relays identified
// anew. The broker's absence changes nothing here: the connection keeps the
// latest values and hands them on when it is back.
class LinePublisher
{
public:
    using Log = std::function<void(const QString &line)>;
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
        QString ledgerKey;
        qint64 journalDueMs = 0;
    };
    enum class Step { Done, LineLost, Stop };

    Step findRelays(const std::atomic_bool &stop);
    Step poll(Relay &relay);
    bool identify(Relay &relay);
    Step readJournalIfDue();
    void publishJournal(Relay &relay, int rows);
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
};

} // namespace miv::telemetry
