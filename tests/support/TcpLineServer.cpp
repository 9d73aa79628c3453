#include "support/TcpLineServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

class TcpLineWorker : public QObject
{
public:
    explicit TcpLineWorker(TcpLineServer &owner) : m_owner(owner) { }

    quint16 listen()
    {
        m_server = new QTcpServer(this);
        QObject::connect(m_server, &QTcpServer::newConnection, this, [this] { acceptClients(); });
        return m_server->listen(QHostAddress::LocalHost, 0) ? m_server->serverPort() : 0;
    }

private:
    void acceptClients()
    {
        while (QTcpSocket *client = m_server->nextPendingConnection()) {
            ++m_owner.m_accepted;
            client->setParent(this);
            client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(client, &QTcpSocket::readyRead, client,
                             [this, client, buffer] { serve(client, *buffer); });
            QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        }
    }

    void serve(QTcpSocket *client, QByteArray &buffer)
    {
        buffer += client->readAll();
        QList<RelayLine::Reply> replies;
        {
            QMutexLocker lock(&m_owner.m_lineLock);
            for (const QByteArray &request : m_owner.m_line.takeRequests(buffer)) {
                if (m_owner.m_closeOnRequest.exchange(false)) {
                    client->abort();
                    return;
                }
                if (const auto reply = m_owner.m_line.answer(request))
                    replies.append(*reply);
            }
        }
        for (const RelayLine::Reply &reply : std::as_const(replies)) {
            if (m_owner.m_lose > 0) {
                --m_owner.m_lose;
                ++m_owner.m_lost;
                continue;
            }
            QPointer<QTcpSocket> target(client);
            QTimer::singleShot(reply.delayMs, this,
                               [this, target, bytes = reply.bytes] { send(target, bytes); });
        }
    }

    void send(const QPointer<QTcpSocket> &client, const QByteArray &bytes)
    {
        if (!client)
            return;
        const int splitAt = m_owner.m_splitAt;
        if (splitAt <= 0 || splitAt >= bytes.size()) {
            client->write(bytes);
            client->flush();
            return;
        }
        client->write(bytes.first(splitAt));
        client->flush();
        QTimer::singleShot(int(m_owner.m_splitGapMs), this, [client, rest = bytes.mid(splitAt)] {
            if (client) {
                client->write(rest);
                client->flush();
            }
        });
    }

    TcpLineServer &m_owner;
    QTcpServer *m_server = nullptr;
};

TcpLineServer::TcpLineServer(RelayLine &line) : m_line(line)
{
    m_worker = new TcpLineWorker(*this);
    m_worker->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(
            m_worker, [this] { m_port = m_worker->listen(); }, Qt::BlockingQueuedConnection);
}

TcpLineServer::~TcpLineServer()
{
    m_thread.quit();
    m_thread.wait();
}

void TcpLineServer::withLine(const std::function<void(RelayLine &)> &change)
{
    QMutexLocker lock(&m_lineLock);
    change(m_line);
}
