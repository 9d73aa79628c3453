#include "link/TcpLink.h"

#include "core/Texts.h"

namespace miv {

namespace {

// The socket's input buffer, as the serial port's: a relay's longest reply fits.
constexpr qint64 bufferBytes = 1024;

} // namespace

TcpLink::TcpLink(QObject *parent) : PortLink(parent), m_bus(&m_socket)
{
    m_settings.transport = PortSettings::Transport::Tcp;
    m_settings.applyTo(m_bus);
}

bool TcpLink::applySettings(const PortSettings &settings, QString *error)
{
    const bool gatewayChanged = settings.gateway != m_settings.gateway;
    m_settings = settings;
    m_settings.applyTo(m_bus);
    if (gatewayChanged && isOpen()) {
        close();
        return open(error);
    }
    return true;
}

bool TcpLink::open(QString *error)
{
    if (isOpen())
        return true;
    const auto fail = [&](const QString &reason) {
        if (error)
            *error = Texts::portOpenError + QStringLiteral(": ") + reason;
        m_socket.abort();
        return false;
    };
    const std::optional<PortSettings::GatewayAddress> address =
            PortSettings::parseGateway(m_settings.gateway);
    if (!address)
        return fail(QStringLiteral("адрес шлюза \"%1\" не вида УЗЕЛ:ПОРТ").arg(m_settings.gateway));
    m_socket.abort();
    m_socket.connectToHost(address->host, address->port);
    if (!m_socket.waitForConnected(m_connectTimeoutMs)) {
        const QString reason = m_socket.error() == QAbstractSocket::SocketTimeoutError
                ? QStringLiteral("шлюз %1 не ответил за %2 мс")
                          .arg(m_settings.gateway)
                          .arg(m_connectTimeoutMs)
                : QStringLiteral("шлюз %1: %2").arg(m_settings.gateway, m_socket.errorString());
        return fail(reason);
    }
    // Every request goes out at once, not held back to be joined with the next.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket.setReadBufferSize(bufferBytes);
    m_settings.applyTo(m_bus);
    Q_EMIT afterOpen();
    return true;
}

void TcpLink::close()
{
    if (!isOpen())
        return;
    Q_EMIT beforeClose();
    m_socket.abort();
    if (m_socket.isOpen())
        m_socket.close();
}

bool TcpLink::isOpen() const
{
    return m_socket.isOpen();
}

} // namespace miv
