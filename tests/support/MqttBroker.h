#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <mutex>
#include <optional>

struct mosquitto;

// Debian's `mosquitto` for a test: its own folder (0755, files 0644, since a
// broker started as root reads them as the user mosquitto) with a config for
// a free port on 127.0.0.1, started, and stopped when the object goes. With
// a user, only that user with that password gets in.
class MqttBroker
{
public:
    struct User
    {
        QString name;
        QString password;
    };
    // port 0: a free one.
    explicit MqttBroker(std::optional<User> user = std::nullopt, quint16 port = 0);
    // Also a TLS listener (tlsPort()) that takes only clients with a
    // certificate of its own test CA; the CA's, the server's and a client's
    // files are made with openssl in the broker's folder.
    struct WithClientCertificates
    { };
    explicit MqttBroker(WithClientCertificates);
    ~MqttBroker();

    bool isRunning() const { return m_running; }
    QString errorText() const { return m_error; }
    quint16 port() const { return m_port; }
    quint16 tlsPort() const { return m_tlsPort; }
    // ca.pem, client.pem, client.key (with WithClientCertificates).
    QString filePath(const QString &name) const { return m_folder.filePath(name); }
    // What the broker logged so far (its connections, with client id and keepalive).
    QString log();
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    static quint16 freePort();

private:
    void start(const QByteArray &config);
    bool makeCertificates();

    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
    QString m_log;
    bool m_running = false;
    QString m_error;
};

// A subscriber to `filter` on the broker (libmosquitto, its own thread) that
// keeps every message it gets.
class MqttSubscriber
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        bool retained = false;
        qint64 receivedMs = 0; // this PC's clock, ms since 1970 UTC
    };

    MqttSubscriber(quint16 port, const QString &filter);
    ~MqttSubscriber();

    QList<Message> messages() const;
    QList<Message> on(const QString &topic) const;
    // Waits (at most timeoutMs, generous for a loaded machine) until
    // `condition` holds for the messages so far.
    bool waitFor(const std::function<bool(const QList<Message> &)> &condition,
                 int timeoutMs = 60000) const;
    // Waits for a message on `topic` whose payload contains `text`.
    bool waitForText(const QString &topic, const QString &text, int timeoutMs = 60000) const;

private:
    static void onConnect(mosquitto *, void *self, int result);
    static void onMessage(mosquitto *, void *self, const struct mosquitto_message *message);

    mosquitto *m_client = nullptr;
    QByteArray m_filter;
    mutable std::mutex m_mutex;
    QList<Message> m_messages;
};
