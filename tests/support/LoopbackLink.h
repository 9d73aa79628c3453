#pragma once

#include "core/Texts.h"
#include "link/PortLink.h"
#include "link/RelayBus.h"
#include "sim/LoopbackPort.h"

// The tests speak of the simulated line by its own names.
using miv::sim::LoopbackPort;
using miv::sim::RelayLine;
using miv::sim::RelayModel;

// The data module's port on the in-process loopback line: opening and
// closing open and close the LoopbackPort, and the settings are kept and put
// into the bus's timing as the serial link does. The port name means nothing
// here; any name opens the line.
class LoopbackLink final : public miv::PortLink
{
public:
    explicit LoopbackLink(RelayLine &line, QObject *parent = nullptr)
        : PortLink(parent), m_port(line)
    {
        applyTiming();
    }

    LoopbackPort &port() { return m_port; }
    miv::RelayBus &bus() override { return m_bus; }
    const miv::PortSettings &settings() const override { return m_settings; }

    bool open(QString *error = nullptr) override
    {
        if (isOpen())
            return true;
        if (!m_port.open(QIODevice::ReadWrite)) {
            if (error)
                *error = miv::Texts::portOpenError + QStringLiteral(": ") + m_port.errorString();
            return false;
        }
        Q_EMIT afterOpen();
        return true;
    }
    void close() override
    {
        if (!isOpen())
            return;
        Q_EMIT beforeClose();
        m_port.close();
    }
    bool isOpen() const override { return m_port.isOpen(); }

    // The line refuses settings at this baud rate, as a real port refuses one
    // it cannot do; 0: it takes everything.
    void refuseBaudRate(int baudRate) { m_refusedBaudRate = baudRate; }

protected:
    bool applySettings(const miv::PortSettings &settings, QString *error) override
    {
        m_settings = settings;
        applyTiming();
        if (m_refusedBaudRate == 0 || settings.effectiveBaudRate() != m_refusedBaudRate)
            return true;
        if (error)
            *error =
                    QStringLiteral("Порт не принял настройки: Baud rate %1").arg(m_refusedBaudRate);
        return false;
    }

private:
    // The bus's timing, and the line told what the port is set to (a strict
    // line answers only at a relay's own settings).
    void applyTiming()
    {
        m_settings.applyTo(m_bus);
        const QString &parity = m_settings.parity;
        m_port.setClientLine({m_settings.effectiveBaudRate(),
                              parity == QLatin1String("Even")           ? 'E'
                                      : parity == QLatin1String("Odd")  ? 'O'
                                      : parity == QLatin1String("None") ? 'N'
                                                                        : char(0),
                              m_settings.stopBits == QLatin1String("2")           ? 2
                                      : m_settings.stopBits == QLatin1String("1") ? 1
                                                                                  : 0});
    }

    LoopbackPort m_port;
    miv::PortSettings m_settings;
    int m_refusedBaudRate = 0;
    miv::RelayBus m_bus{&m_port};
};
