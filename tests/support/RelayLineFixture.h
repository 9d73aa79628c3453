#pragma once

#include "link/ModbusFrame.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"
#include "sim/LoopbackPort.h"
#include "support/ScriptedOperator.h"

#include <gtest/gtest.h>
#include <ostream>

// The tests speak of the simulated line by its own names.
using miv::sim::LoopbackPort;
using miv::sim::RelayLine;
using miv::sim::RelayModel;

using namespace miv;

// One single-register write as it went out on the line.
struct RegisterWrite
{
    int reg;
    int value;
    bool operator==(const RegisterWrite &) const = default;
    friend void PrintTo(const RegisterWrite &w, std::ostream *os)
    {
        *os << std::hex << "(0x" << w.reg << ", 0x" << w.value << ")" << std::dec;
    }
};

// A simulated relay of type 4 at address 1 and one of type 6 at address 6 on
// the in-process loopback line, with the relay session the data module
// holds (the grid's names and registers filled, numbers with a decimal
// comma). No relay is selected yet; the short names are the session's parts.
class RelayLineFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        line.addRelay(1, 4);
        line.addRelay(6, 6);
        port.open(QIODevice::ReadWrite);
        bus.setReplyTimeoutMs(40);
        // The operations' own frames on the line; the bus's repetitions are
        // tested with the bus.
        bus.setRetries(0);
        grid.fillFromCatalogue(catalogue);
        session.decimalSeparator = QChar(u',');
    }

    // Makes the relay at `address` the current one, as identification would.
    void select(quint8 address, int type)
    {
        device.networkAddress = address;
        device.typeCode = quint16(type);
        device.password = QStringLiteral("ABCD");
        session.valuesOwner = session.selectedRelay();
    }

    RelayModel &relay() { return *line.relay(device.networkAddress); }

    // The single-register writes that went out, in order.
    QList<RegisterWrite> writes() const
    {
        QList<RegisterWrite> found;
        for (const QByteArray &request : line.requests())
            if (quint8(request[1]) == modbus::WriteSingleRegister)
                found.append({quint8(request[2]) << 8 | quint8(request[3]),
                              quint8(request[4]) << 8 | quint8(request[5])});
        return found;
    }

    int readRequests() const
    {
        int reads = 0;
        for (const QByteArray &request : line.requests())
            reads += quint8(request[1]) == modbus::ReadHoldingRegisters;
        return reads;
    }

    // The relay at `address` answers this many more requests, then falls silent.
    void stopAnsweringAfter(quint8 address, int requests)
    {
        RelayLine::Faults faults;
        faults.answerRequests = requests;
        line.setFaults(address, faults);
    }

    RelayLine line;
    LoopbackPort port{line};
    RelayBus bus{&port};
    ScriptedOperator op;
    RelaySession session{bus};
    CurrentDevice &device = session.device;
    SessionFlags &flags = session.flags;
    ParameterCatalogue &catalogue = session.catalogue;
    ConfigGrid &grid = session.configGrid;
    TimerSchedule &timer = session.timer;
};
