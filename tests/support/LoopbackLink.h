#pragma once

#include "core/Texts.h"
#include "link/PortLink.h"
#include "link/RelayBus.h"
#include "sim/LoopbackPort.h"

// The data module's port on the in-process loopback line: opening and
// closing open and close the LoopbackPort, and the settings are kept and put
// into the bus's timing as the serial link does. The port name means nothing
// here; any name opens the line.
class LoopbackLink final : public miv::PortLink
{
public:
    explicit LoopbackLink(RelayLine &line, QObject *parent = nullptr) : PortLink(parent), m_port(line)
    {
        applyTiming();
    }

    LoopbackPort &port() { return m_port; }
    miv::RelayBus &bus() override { return m_bus; }
    const miv::PortSettings &settings() const override { return m_settings; }
    bool setSettings(const miv::PortSettings &settings, QString * = nullptr) override
    {
        m_settings = settings;
        applyTiming();
        return true;
    }

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

private:
    void applyTiming()
    {
        m_settings.applyTo(m_bus);
    }

    LoopbackPort m_port;
    miv::PortSettings m_settings;
    miv::RelayBus m_bus{&m_port};
};
