#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <thread>

struct mosquitto;
struct mosquitto_message;

namespace miv::telemetry {

// The broker connection of a publisher, over libmosquitto (MQTT 3.1.1). Its
// own thread connects, keeps the connection and reconnects with growing
// waits (1 s, doubling, at most 30 s) while the relays are polled on the
// caller's thread; publishing from the caller's thread wakes it at once.
//
// The retained state (the status, the relays' info, state and live values)
// is remembered here topic by topic: it goes out when connected, and all of
// it again, status first, after every (re)connection, so that the broker
// always holds the latest. While the broker is away nothing is queued: only
// the latest value of each topic is kept.
//
// The last will on the status topic is "lost": a subscriber tells a
// publisher that died or lost its network from one stopped cleanly
// ("offline").
//
// A broker that refuses the client (a wrong user name or password, a client
// not authorised) and a failed TLS handshake are final: the thread ends and
// fatalError() says why, in the broker's or the TLS library's words.
class MqttConnection
{
public:
    struct Settings
    {
        QString host;
        quint16 port = 1883;
        QString clientId;
        QString username; // empty: none
        std::optional<QByteArray> password;
        QString caFile; // empty: no TLS
        // The client's own certificate and key, for a broker that asks for
        // one (both or neither; TLS needs caFile).
        QString certFile;
        QString keyFile;
        // "online" on connecting; the last will "lost". Subscribed to (QoS 1)
        // after every connection: "offline" or "lost" from another client
        // (another publisher of the same line stopping or gone) while this
        // one is online is answered with "online" at once.
        QString statusTopic;
        // Subscribed to (QoS 1) after the status topic, after every
        // connection. What comes on both is kept for takeMessages(). Empty: none.
        QString subscription;
        int keepAliveSeconds = 30;
    };

    // A message that came on the status topic or the subscription.
    struct Message
    {
        QString topic;
        QByteArray payload;
        bool retained = false; // sent because it was retained, not as it was published
    };

    using Log = std::function<void(const QString &line)>;

    MqttConnection(Settings settings, Log log);
    ~MqttConnection();
    MqttConnection(const MqttConnection &) = delete;
    MqttConnection &operator=(const MqttConnection &) = delete;

    // Sets up the client (will, credentials, TLS) and starts connecting; a
    // broker away is no failure. False, with the reason, when the client
    // cannot be set up (a CA file TLS cannot use, say).
    bool start(QString *error);

    bool isConnected() const { return m_connected; }
    // Waits (at most timeoutMs) until the first connection attempt has an
    // outcome: taken, refused, or the broker not reached.
    void waitForFirstAttempt(int timeoutMs) const;
    // Set once the broker refused the client or TLS failed: the publisher ends.
    std::optional<QString> fatalError() const;
    // How many times the broker took the connection.
    int connections() const { return m_connections; }

    // Remembers the retained value of a topic and publishes it when connected.
    void publishRetained(const QString &topic, const QByteArray &payload, int qos);
    // A QoS 1 message, not retained, only while connected: its message id,
    // which takeAcknowledged() hands back once the broker has it. nullopt
    // when not connected or the library refused it.
    std::optional<int> publishEvent(const QString &topic, const QByteArray &payload);
    // The live values, QoS 0 retained; counted apart for the summary.
    void publishLive(const QString &topic, const QByteArray &payload);
    // The message ids the broker acknowledged since the last call.
    QList<int> takeAcknowledged();
    // The messages that came on the status topic and the subscription since the last call.
    QList<Message> takeMessages();

    // What was published: messages handed to the broker, by kind.
    struct Counts
    {
        int live = 0;
        int events = 0;
        int retained = 0; // info, state, status, the republishing after a reconnect
    };
    Counts counts() const;

    // The clean stop: publishes `payload` retained on the status topic,
    // waits (at most timeoutMs) until the broker has it, disconnects so that
    // the last will is not sent, and ends the thread. True when the broker
    // took it.
    bool stop(const QByteArray &statusPayload, int timeoutMs);

private:
    void run();
    void serviceConnection();
    bool waitBeforeRetry(int &waitMs);
    void onConnect(int result);
    void onPublish(int mid);
    void onLog(int level, const char *text);
    void onMessage(const mosquitto_message *message);
    void keepStatusLocked(const QByteArray &heard);
    QString describe(int rc) const;
    int publishLocked(const QString &topic, const QByteArray &payload, int qos, bool retain);

    static void connectCallback(mosquitto *, void *self, int result);
    static void publishCallback(mosquitto *, void *self, int mid);
    static void disconnectCallback(mosquitto *, void *self, int result);
    static void logCallback(mosquitto *, void *self, int level, const char *text);
    static void messageCallback(mosquitto *, void *self, const mosquitto_message *message);

    Settings m_settings;
    Log m_log;
    mosquitto *m_client = nullptr;
    std::thread m_thread;
    std::atomic_bool m_stopping = false;
    std::atomic_bool m_disconnecting = false; // the clean stop's disconnect is under way
    std::atomic_bool m_connected = false;
    std::atomic_int m_connections = 0;
    std::atomic_bool m_attempted = false;

    mutable std::mutex m_mutex; // guards what follows
    QStringList m_retainedOrder;
    QHash<QString, std::pair<QByteArray, int>> m_retained; // topic: payload, qos
    QList<int> m_acknowledged;
    QList<Message> m_messages;
    std::optional<QString> m_fatal;
    QString m_lastLibraryError;
    Counts m_counts;
    std::optional<int> m_stopMid;
    bool m_stopAcknowledged = false;
};

} // namespace miv::telemetry
