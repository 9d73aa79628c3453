#pragma once

#include "app/SessionFlags.h"
#include "config/ConfigGrid.h"
#include "config/ConfigReader.h"
#include "config/ParameterCatalogue.h"
#include "config/TimerSchedule.h"
#include "device/CurrentDevice.h"
#include "link/ModbusFrame.h"
#include "link/RelayBus.h"
#include "sim/LoopbackPort.h"
#include "support/ScriptedOperator.h"

#include <gtest/gtest.h>

// A simulated relay of type 4 at address 1 and one of type 6 at address 6 on
// a loopback line, the program-wide state of the data module, and the grid
// as a read of the selected relay filled it. Editing starts unlocked.
class EditFixture : public ::testing::Test
{
protected:
    static constexpr QChar comma = QChar(u',');

    struct Write {
        int reg;
        int value;
        bool operator==(const Write &) const = default;
        friend void PrintTo(const Write &w, std::ostream *os) { *os << std::hex << "0x" << w.reg << "=" << std::dec << w.value; }
    };

    void SetUp() override
    {
        line.addRelay(1, 4);
        line.addRelay(6, 6);
        port.open(QIODevice::ReadWrite);
        bus.setReplyTimeoutMs(40);
        grid.fill_conf(catalogue);
        select(1, 4);
    }

    void select(quint8 address, int type)
    {
        device.networkAddress = address;
        device.typeCode = quint16(type);
        device.password = QStringLiteral("ABCD");
    }

    RelayModel &relay() { return *line.relay(device.networkAddress); }

    // Reads the selected relay into the grid, forgets the requests, unlocks.
    void readRelay()
    {
        ConfigReadContext reading{bus, op, device, catalogue, grid, timer, comma};
        ASSERT_EQ(readConfiguration(reading), ConfigReadResult::Complete);
        line.clearRequests();
        op.clearShown();
        flags.conf_locked = false;
        flags.conf_changed = false;
    }

    // Puts a text into a row and marks it, as an accepted edit does.
    void set(int row, const QString &text)
    {
        grid.setText(row, ConfigGrid::Value, text);
        grid.mark(row);
        flags.conf_changed = true;
    }

    // The single-register writes that went out, in order.
    QList<Write> writes() const
    {
        QList<Write> found;
        for (const QByteArray &request : line.requests())
            if (quint8(request[1]) == modbus::WriteSingleRegister)
                found.append({quint8(request[2]) << 8 | quint8(request[3]), quint8(request[4]) << 8 | quint8(request[5])});
        return found;
    }

    int readRequests() const
    {
        int reads = 0;
        for (const QByteArray &request : line.requests())
            reads += quint8(request[1]) == modbus::ReadHoldingRegisters;
        return reads;
    }

    QList<int> markedRows() const
    {
        QList<int> rows;
        for (int row = 0; row < ConfigRow::count; ++row)
            if (grid.isMarked(row))
                rows.append(row);
        return rows;
    }

    void stopAnsweringAfter(int requests)
    {
        RelayLine::Faults faults;
        faults.answerRequests = requests;
        line.setFaults(device.networkAddress, faults);
    }

    RelayLine line;
    LoopbackPort port{line};
    RelayBus bus{&port};
    ScriptedOperator op;
    CurrentDevice device;
    SessionFlags flags;
    ParameterCatalogue catalogue;
    ConfigGrid grid;
    TimerSchedule timer;
};

inline void PrintTo(const QList<int> &rows, std::ostream *os)
{
    for (int row : rows)
        *os << row << ' ';
}
