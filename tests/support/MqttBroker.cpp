#include "support/MqttBroker.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <mosquitto.h>
#include <sys/prctl.h>
#include <csignal>

namespace {

constexpr int startTimeoutMs = 30000;

bool writeReadable(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size()
            && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                   | QFile::ReadOther);
}

} // namespace

quint16 MqttBroker::freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

MqttBroker::MqttBroker(std::optional<User> user, quint16 port) : m_port(port ? port : freePort())
{
    QFile::setPermissions(m_folder.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                  | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    QByteArray config = QByteArrayLiteral("listener ") + QByteArray::number(m_port)
            + " 127.0.0.1\npersistence false\nlog_dest stderr\n";
    if (user) {
        const QString passwords = m_folder.filePath(QStringLiteral("passwords"));
        writeReadable(passwords, {});
        const int made =
                QProcess::execute(QStringLiteral("mosquitto_passwd"),
                                  {QStringLiteral("-b"), passwords, user->name, user->password});
        QFile::setPermissions(passwords,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                      | QFile::ReadOther);
        if (made != 0) {
            m_error = QStringLiteral("mosquitto_passwd failed");
            return;
        }
        config += "allow_anonymous false\npassword_file " + passwords.toUtf8() + '\n';
    } else {
        config += "allow_anonymous true\n";
    }
    start(config);
}

MqttBroker::MqttBroker(WithClientCertificates) : m_port(freePort()), m_tlsPort(freePort())
{
    QFile::setPermissions(m_folder.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                  | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    if (!makeCertificates()) {
        m_error = QStringLiteral("openssl could not make the test certificates");
        return;
    }
    const QByteArray folder = m_folder.path().toUtf8();
    start("per_listener_settings false\nallow_anonymous true\npersistence false\n"
          "log_dest stderr\nlistener "
          + QByteArray::number(m_port) + " 127.0.0.1\nlistener " + QByteArray::number(m_tlsPort)
          + " 127.0.0.1\ncafile " + folder + "/ca.pem\ncertfile " + folder + "/server.pem\nkeyfile "
          + folder + "/server.key\nrequire_certificate true\n");
}

// A CA, and a server (127.0.0.1) and a client certificate it signed.
bool MqttBroker::makeCertificates()
{
    const auto openssl = [this](const QStringList &arguments) {
        QProcess process;
        process.setWorkingDirectory(m_folder.path());
        process.start(QStringLiteral("openssl"), arguments);
        return process.waitForFinished(30000) && process.exitCode() == 0;
    };
    const QStringList key{QStringLiteral("-newkey"), QStringLiteral("ec"),
                          QStringLiteral("-pkeyopt"),
                          QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    if (!writeReadable(m_folder.filePath(QStringLiteral("server.ext")),
                       "subjectAltName=IP:127.0.0.1\n")
        || !openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + key
                    + QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj",
                                  "/CN=test CA"}))
        return false;
    for (const QString &name : {QStringLiteral("server"), QStringLiteral("client")}) {
        if (!openssl(QStringList{QStringLiteral("req")} + key
                     + QStringList{"-keyout", name + ".key", "-out", name + ".csr", "-subj",
                                   name == QStringLiteral("server") ? "/CN=127.0.0.1"
                                                                    : "/CN=plant client"})
            || !openssl({"x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                         "-CAcreateserial", "-out", name + ".pem", "-days", "2", "-extfile",
                         "server.ext"}))
            return false;
        QFile::setPermissions(m_folder.filePath(name + QStringLiteral(".key")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                      | QFile::ReadOther);
    }
    return true;
}

QString MqttBroker::log()
{
    while (m_process.waitForReadyRead(10))
        ;
    m_log += QString::fromLocal8Bit(m_process.readAllStandardError());
    return m_log;
}

void MqttBroker::start(const QByteArray &config)
{
    const QString configPath = m_folder.filePath(QStringLiteral("mosquitto.conf"));
    if (!writeReadable(configPath, config)) {
        m_error = QStringLiteral("cannot write ") + configPath;
        return;
    }
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), configPath});
    if (!m_process.waitForStarted(startTimeoutMs)) {
        m_error = QStringLiteral("mosquitto did not start: ") + m_process.errorString();
        return;
    }
    const QDeadlineTimer deadline(startTimeoutMs);
    m_process.setReadChannel(QProcess::StandardError);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(1000)) {
            m_running = true;
            return;
        }
        QThread::msleep(50);
    }
    m_error = QStringLiteral("mosquitto did not listen on %1: %2").arg(m_port).arg(log());
}

MqttBroker::~MqttBroker()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000))
        m_process.kill();
    m_process.waitForFinished(5000);
}

MqttSubscriber::MqttSubscriber(quint16 port, const QString &filter) : m_filter(filter.toUtf8())
{
    mosquitto_lib_init();
    m_client = mosquitto_new(nullptr, true, this);
    mosquitto_connect_callback_set(m_client, onConnect);
    mosquitto_message_callback_set(m_client, onMessage);
    mosquitto_connect_async(m_client, "127.0.0.1", port, 30);
    mosquitto_loop_start(m_client);
}

MqttSubscriber::~MqttSubscriber()
{
    mosquitto_disconnect(m_client);
    mosquitto_loop_stop(m_client, false);
    mosquitto_destroy(m_client);
}

void MqttSubscriber::onConnect(mosquitto *client, void *self, int result)
{
    if (result == 0)
        mosquitto_subscribe(client, nullptr,
                            static_cast<MqttSubscriber *>(self)->m_filter.constData(), 1);
}

void MqttSubscriber::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *subscriber = static_cast<MqttSubscriber *>(self);
    std::lock_guard lock(subscriber->m_mutex);
    subscriber->m_messages.append(
            {QString::fromUtf8(message->topic),
             QByteArray(static_cast<const char *>(message->payload), message->payloadlen),
             message->retain, QDateTime::currentMSecsSinceEpoch()});
}

QList<MqttSubscriber::Message> MqttSubscriber::messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

QList<MqttSubscriber::Message> MqttSubscriber::on(const QString &topic) const
{
    QList<Message> found;
    for (const Message &message : messages())
        if (message.topic == topic)
            found << message;
    return found;
}

bool MqttSubscriber::waitFor(const std::function<bool(const QList<Message> &)> &condition,
                             int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition(messages())) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

bool MqttSubscriber::waitForText(const QString &topic, const QString &text, int timeoutMs) const
{
    return waitFor(
            [&](const QList<Message> &messages) {
                for (const Message &message : messages)
                    if (message.topic == topic && QString::fromUtf8(message.payload).contains(text))
                        return true;
                return false;
            },
            timeoutMs);
}
