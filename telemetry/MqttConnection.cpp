#include "telemetry/MqttConnection.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mosquitto.h>

namespace miv::telemetry {

namespace {

constexpr int firstRetryWaitMs = 1000;
constexpr int longestRetryWaitMs = 30000;
constexpr int loopSliceMs = 100;
// The CONNACK code a broker sends while it cannot serve yet: worth trying again.
constexpr int serverUnavailable = 3;

const QByteArray onlinePayload = QByteArrayLiteral("online");
const QByteArray lostPayload = QByteArrayLiteral("lost");
// Messages kept from the subscription at most, should nobody take them.
constexpr qsizetype messagesKept = 1000;

// libmosquitto's reference count of its own initialisation.
std::once_flag libraryInitialised;

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

MqttConnection::MqttConnection(Settings settings, Log log)
    : m_settings(std::move(settings)), m_log(std::move(log))
{ }

MqttConnection::~MqttConnection()
{
    m_stopping = true;
    if (m_client && m_connected)
        mosquitto_disconnect(m_client);
    if (m_thread.joinable())
        m_thread.join();
    if (m_client)
        mosquitto_destroy(m_client);
}

bool MqttConnection::start(QString *error)
{
    std::call_once(libraryInitialised, [] { mosquitto_lib_init(); });
    const QByteArray clientId = m_settings.clientId.toUtf8();
    m_client = mosquitto_new(clientId.constData(), true, this);
    if (!m_client) {
        *error = QStringLiteral("the MQTT client could not be made: ")
                + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    mosquitto_threaded_set(m_client, true);
    mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(m_client, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(m_client, connectCallback);
    mosquitto_publish_callback_set(m_client, publishCallback);
    mosquitto_disconnect_callback_set(m_client, disconnectCallback);
    mosquitto_log_callback_set(m_client, logCallback);
    mosquitto_message_callback_set(m_client, messageCallback);

    const QByteArray statusTopic = m_settings.statusTopic.toUtf8();
    int rc = mosquitto_will_set(m_client, statusTopic.constData(), int(lostPayload.size()),
                                lostPayload.constData(), 1, true);
    if (rc == MOSQ_ERR_SUCCESS && !m_settings.username.isEmpty()) {
        const QByteArray user = m_settings.username.toUtf8();
        rc = mosquitto_username_pw_set(m_client, user.constData(),
                                       m_settings.password ? m_settings.password->constData()
                                                           : nullptr);
    }
    if (rc == MOSQ_ERR_SUCCESS && !m_settings.caFile.isEmpty()) {
        const QByteArray caFile = m_settings.caFile.toLocal8Bit();
        const QByteArray certFile = m_settings.certFile.toLocal8Bit();
        const QByteArray keyFile = m_settings.keyFile.toLocal8Bit();
        const bool ownCertificate = !m_settings.certFile.isEmpty();
        rc = mosquitto_tls_set(m_client, caFile.constData(), nullptr,
                               ownCertificate ? certFile.constData() : nullptr,
                               ownCertificate ? keyFile.constData() : nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            *error = (ownCertificate ? QStringLiteral("%1, %2, %3: TLS cannot use these files (")
                                               .arg(m_settings.caFile, m_settings.certFile,
                                                    m_settings.keyFile)
                                     : m_settings.caFile
                                      + QStringLiteral(": TLS cannot use this CA file ("))
                    + QString::fromUtf8(mosquitto_strerror(rc)) + u')';
            return false;
        }
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        *error = QString::fromUtf8(mosquitto_strerror(rc));
        return false;
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

std::optional<QString> MqttConnection::fatalError() const
{
    std::lock_guard lock(m_mutex);
    return m_fatal;
}

void MqttConnection::waitForFirstAttempt(int timeoutMs) const
{
    for (int waited = 0; waited < timeoutMs && !m_attempted; waited += 10)
        sleepMs(10);
}

void MqttConnection::run()
{
    int waitMs = firstRetryWaitMs;
    bool first = true;
    const QByteArray host = m_settings.host.toUtf8();
    while (!m_stopping) {
        const int connectionsBefore = m_connections;
        {
            std::lock_guard lock(m_mutex);
            m_lastLibraryError.clear();
        }
        int rc = first ? mosquitto_connect_async(m_client, host.constData(), m_settings.port,
                                                 m_settings.keepAliveSeconds)
                       : mosquitto_reconnect_async(m_client);
        first = false;
        const int connectErrno = errno;
        while (rc == MOSQ_ERR_SUCCESS && !m_stopping)
            rc = mosquitto_loop(m_client, loopSliceMs, 1);
        const int loopErrno = rc == MOSQ_ERR_ERRNO ? errno : connectErrno;
        m_connected = false;
        m_attempted = true;
        if (m_stopping || m_disconnecting)
            break;
        {
            std::lock_guard lock(m_mutex);
            if (!m_fatal && rc == MOSQ_ERR_TLS)
                m_fatal = describe(rc);
            // A broker that refuses the client's certificate (or its lack of
            // one) ends the handshake after it seemed done: the connection
            // is only "lost", and TLS says why. As final as a failed handshake.
            if (!m_fatal && m_connections == connectionsBefore
                && m_lastLibraryError.contains(QStringLiteral("certificate"), Qt::CaseInsensitive))
                m_fatal = QStringLiteral("TLS: ") + m_lastLibraryError;
            if (m_fatal)
                break;
        }
        if (m_connections != connectionsBefore)
            waitMs = firstRetryWaitMs;
        const QString reason = rc == MOSQ_ERR_ERRNO
                ? QString::fromLocal8Bit(std::strerror(loopErrno))
                : describe(rc);
        m_log(QStringLiteral("broker %1:%2 not reached (%3); next try in %4 s")
                      .arg(m_settings.host)
                      .arg(m_settings.port)
                      .arg(reason)
                      .arg(waitMs / 1000));
        if (!waitBeforeRetry(waitMs))
            break;
    }
    m_connected = false;
}

// Waits waitMs unless stopped, then doubles it up to the longest wait.
bool MqttConnection::waitBeforeRetry(int &waitMs)
{
    for (int waited = 0; waited < waitMs && !m_stopping; waited += loopSliceMs)
        sleepMs(loopSliceMs);
    waitMs = std::min(waitMs * 2, longestRetryWaitMs);
    return !m_stopping;
}

QString MqttConnection::describe(int rc) const
{
    QString text = QString::fromUtf8(mosquitto_strerror(rc));
    if (rc == MOSQ_ERR_TLS && !m_lastLibraryError.isEmpty())
        text += QStringLiteral(" ") + m_lastLibraryError;
    return text;
}

int MqttConnection::publishLocked(const QString &topic, const QByteArray &payload, int qos,
                                  bool retain)
{
    int mid = 0;
    const QByteArray topicBytes = topic.toUtf8();
    const int rc = mosquitto_publish(m_client, &mid, topicBytes.constData(), int(payload.size()),
                                     payload.constData(), qos, retain);
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

void MqttConnection::onConnect(int result)
{
    m_attempted = true;
    if (result != 0) {
        const QString reason = QString::fromUtf8(mosquitto_connack_string(result));
        if (result == serverUnavailable) {
            m_log(QStringLiteral("broker refused for now: ") + reason);
            return;
        }
        std::lock_guard lock(m_mutex);
        m_fatal = reason;
        return;
    }
    std::lock_guard lock(m_mutex);
    m_connected = true;
    ++m_connections;
    // Subscribed before anything is published, so that a retained message
    // left there earlier comes before this client's own; the status first.
    const QByteArray statusTopic = m_settings.statusTopic.toUtf8();
    mosquitto_subscribe(m_client, nullptr, statusTopic.constData(), 1);
    if (!m_settings.subscription.isEmpty()) {
        const QByteArray subscription = m_settings.subscription.toUtf8();
        mosquitto_subscribe(m_client, nullptr, subscription.constData(), 1);
    }
    // The status first, then everything the broker should hold.
    if (!m_retained.contains(m_settings.statusTopic))
        m_retainedOrder.prepend(m_settings.statusTopic);
    m_retained[m_settings.statusTopic] = {onlinePayload, 1};
    publishLocked(m_settings.statusTopic, onlinePayload, 1, true);
    ++m_counts.retained;
    for (const QString &topic : std::as_const(m_retainedOrder)) {
        if (topic == m_settings.statusTopic)
            continue;
        const auto &[payload, qos] = m_retained[topic];
        if (publishLocked(topic, payload, qos, true) >= 0)
            ++(qos == 0 ? m_counts.live : m_counts.retained);
    }
    m_log(QStringLiteral("connected to broker %1:%2").arg(m_settings.host).arg(m_settings.port));
}

void MqttConnection::onPublish(int mid)
{
    std::lock_guard lock(m_mutex);
    if (m_stopMid && *m_stopMid == mid)
        m_stopAcknowledged = true;
    else
        m_acknowledged.append(mid);
}

void MqttConnection::onLog(int level, const char *text)
{
    if (level != MOSQ_LOG_ERR || !text)
        return;
    std::lock_guard lock(m_mutex);
    m_lastLibraryError = QString::fromUtf8(text);
}

void MqttConnection::publishRetained(const QString &topic, const QByteArray &payload, int qos)
{
    std::lock_guard lock(m_mutex);
    if (!m_retained.contains(topic))
        m_retainedOrder.append(topic);
    m_retained[topic] = {payload, qos};
    if (m_connected && publishLocked(topic, payload, qos, true) >= 0)
        ++(qos == 0 ? m_counts.live : m_counts.retained);
}

void MqttConnection::publishLive(const QString &topic, const QByteArray &payload)
{
    publishRetained(topic, payload, 0);
}

std::optional<int> MqttConnection::publishEvent(const QString &topic, const QByteArray &payload)
{
    std::lock_guard lock(m_mutex);
    if (!m_connected)
        return std::nullopt;
    const int mid = publishLocked(topic, payload, 1, false);
    if (mid < 0)
        return std::nullopt;
    ++m_counts.events;
    return mid;
}

void MqttConnection::onMessage(const mosquitto_message *message)
{
    if (!message || !message->topic)
        return;
    std::lock_guard lock(m_mutex);
    if (m_messages.size() >= messagesKept)
        m_messages.removeFirst();
    m_messages.append({QString::fromUtf8(message->topic),
                       QByteArray(static_cast<const char *>(message->payload), message->payloadlen),
                       message->retain});
    if (m_messages.last().topic == m_settings.statusTopic && !message->retain)
        keepStatusLocked(m_messages.last().payload);
}

// Another publisher of the same line stopped ("offline") or died (its last
// will) while this one holds the line online: "online" again at once. This
// client's own "offline" comes back too, but only once its stop has changed
// the status it holds.
void MqttConnection::keepStatusLocked(const QByteArray &heard)
{
    const QByteArray held = m_retained.value(m_settings.statusTopic).first;
    if (heard == onlinePayload || held != onlinePayload || m_disconnecting)
        return;
    if (publishLocked(m_settings.statusTopic, onlinePayload, 1, true) >= 0)
        ++m_counts.retained;
    m_log(QStringLiteral("another publisher said the line %1; said online again")
                  .arg(QString::fromUtf8(heard)));
}

QList<MqttConnection::Message> MqttConnection::takeMessages()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_messages, {});
}

QList<int> MqttConnection::takeAcknowledged()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_acknowledged, {});
}

MqttConnection::Counts MqttConnection::counts() const
{
    std::lock_guard lock(m_mutex);
    return m_counts;
}

bool MqttConnection::stop(const QByteArray &statusPayload, int timeoutMs)
{
    bool taken = false;
    if (m_client && m_connected) {
        {
            std::lock_guard lock(m_mutex);
            m_retained[m_settings.statusTopic] = {statusPayload, 1};
            const int mid = publishLocked(m_settings.statusTopic, statusPayload, 1, true);
            if (mid >= 0)
                m_stopMid = mid;
        }
        for (int waited = 0; waited < timeoutMs && m_connected; waited += 10) {
            {
                std::lock_guard lock(m_mutex);
                taken = m_stopAcknowledged;
            }
            if (taken)
                break;
            sleepMs(10);
        }
        m_disconnecting = true;
        mosquitto_disconnect(m_client);
        for (int waited = 0; waited < timeoutMs && m_connected; waited += 10)
            sleepMs(10);
    }
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    return taken;
}

void MqttConnection::connectCallback(mosquitto *, void *self, int result)
{
    static_cast<MqttConnection *>(self)->onConnect(result);
}

void MqttConnection::publishCallback(mosquitto *, void *self, int mid)
{
    static_cast<MqttConnection *>(self)->onPublish(mid);
}

void MqttConnection::disconnectCallback(mosquitto *, void *self, int)
{
    static_cast<MqttConnection *>(self)->m_connected = false;
}

void MqttConnection::messageCallback(mosquitto *, void *self, const mosquitto_message *message)
{
    static_cast<MqttConnection *>(self)->onMessage(message);
}

void MqttConnection::logCallback(mosquitto *, void *self, int level, const char *text)
{
    static_cast<MqttConnection *>(self)->onLog(level, text);
}

} // namespace miv::telemetry
