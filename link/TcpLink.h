#pragma once

#include "link/PortLink.h"
#include "link/RelayBus.h"

#include <QTcpSocket>

namespace miv {

// The port link over a serial-to-Ethernet gateway: the same RTU frames, CRC
// included, carried by a TCP connection to settings().gateway. Opening
// connects within connectTimeoutMs(); the relay bus then talks through the
// socket exactly as through a serial port, keeping the silences and waits of
// the configured line speed (the gateway's serial side runs at it). A
// connection the gateway ends is a port failure for the bus, never data.
class TcpLink : public PortLink
{
    Q_OBJECT
public:
    static constexpr int defaultConnectTimeoutMs = 3000;

    explicit TcpLink(QObject *parent = nullptr);

    QTcpSocket &socket() { return m_socket; }
    RelayBus &bus() override { return m_bus; }

    const PortSettings &settings() const override { return m_settings; }
    bool open(QString *error = nullptr) override;
    void close() override;
    // Open from a connect that succeeded until close(), even when the gateway
    // has since ended the connection: the bus reports that as a port failure
    // and the caller reopens.
    bool isOpen() const override;

    int connectTimeoutMs() const { return m_connectTimeoutMs; }
    void setConnectTimeoutMs(int ms) { m_connectTimeoutMs = ms; }

protected:
    // A changed gateway while open closes and reconnects; false (with error)
    // when that fails, the link then closed. The line settings only set the
    // bus's timing: the gateway's serial side is set up on the gateway.
    bool applySettings(const PortSettings &settings, QString *error) override;

private:
    QTcpSocket m_socket;
    PortSettings m_settings;
    RelayBus m_bus;
    int m_connectTimeoutMs = defaultConnectTimeoutMs;
};

} // namespace miv
