#pragma once

#include "link/RelayBus.h"
#include "support/PtySerialPort.h"
#include "support/SimProcess.h"

#include <QSerialPort>
#include <cstdio>
#include <memory>

// What every benchmark against mivsim starts from: the simulator on a
// pseudo-terminal, paced at `baudRate` (8N1), the serial port opened on it
// and a relay bus over that port. When the simulator or the port fails,
// ready() is false and the reason is on stderr, prefixed with the benchmark.
class SimulatedLine
{
public:
    SimulatedLine(const char *bench, QStringList simArguments, int baudRate)
        : m_sim(simArguments << QStringLiteral("--baud") << QString::number(baudRate))
    {
        if (!m_sim.isRunning()) {
            std::fprintf(stderr, "%s: mivsim did not start: %s\n", bench,
                         qPrintable(m_sim.errorText()));
            return;
        }
        QString error;
        m_port = openPtySerialPort(m_sim.portPath(), baudRate, &error);
        if (!m_port) {
            std::fprintf(stderr, "%s: cannot open %s: %s\n", bench, qPrintable(m_sim.portPath()),
                         qPrintable(error));
            return;
        }
        m_bus.setPort(m_port.get());
        m_bus.setLineSettings(baudRate, 10);
    }

    bool ready() const { return m_port != nullptr; }
    QString portPath() const { return m_sim.portPath(); }
    miv::RelayBus &bus() { return m_bus; }
    // Closes the port and opens it again, as the program's reset does.
    bool reopen(QString *error)
    {
        m_port->close();
        m_port = openPtySerialPort(m_sim.portPath(), int(m_bus.timing().baudRate), error);
        m_bus.setPort(m_port.get());
        return m_port != nullptr;
    }

private:
    SimProcess m_sim;
    std::unique_ptr<QSerialPort> m_port;
    miv::RelayBus m_bus;
};
