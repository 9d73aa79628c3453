#pragma once

#include "link/PortLink.h"
#include "link/RelayBus.h"

#include <QSerialPort>

namespace miv {

// The program's port link: a serial port with its settings, and the relay bus
// that talks through it. Opening applies the settings; a port that cannot be
// opened leaves the link closed with a message that says why (on Linux, which
// group the user needs for a port it may not open).
class SerialLink : public PortLink
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);

    QSerialPort &port() { return m_port; }
    RelayBus &bus() override { return m_bus; }

    const PortSettings &settings() const override { return m_settings; }
    // Applies the settings, to the open port as well; a changed port name
    // while open closes and reopens the port. False (with error) when that
    // reopening fails; the link is then closed. False (with error) also when
    // the open port refuses a setting: it stays open with its earlier value
    // for that one and takes the new one when it is next opened. A
    // pseudo-terminal's refusals are ignored: it has no line settings.
    bool setSettings(const PortSettings &settings, QString *error = nullptr) override;

    bool open(QString *error = nullptr) override;
    void close() override;
    bool isOpen() const override;

private:
    QStringList applyLineSettings(); // the settings an open port refused
    void releaseControlLines();

    QSerialPort m_port;
    PortSettings m_settings;
    RelayBus m_bus;
};

} // namespace miv
