#include "core/Texts.h"
#include "device/Discovery.h"
#include "link/ModbusFrame.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"
#include "sim/LoopbackPort.h"
#include "support/ScriptedOperator.h"

#include <gtest/gtest.h>

namespace modbus = miv::modbus;
using namespace miv::sim;

using namespace miv;

namespace {

class DiscoveryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        port.open(QIODevice::ReadWrite);
        bus.setScanTimeoutMs(20);
        bus.setReplyTimeoutMs(1000); // the scan must not use the patient wait
        hooks.progress = [this](int position) { positions.append(position); };
        hooks.lineAdded = [this](const QString &text) { added.append(text); };
        session.reopenPort = [this](QString *) {
            ++reopens;
            return port.open(QIODevice::ReadWrite);
        };
        device.networkAddress = 9;
        device.deviceName = QStringLiteral("МИВ-06    ");
        device.typeCode = 6;
    }

    // Addresses from `firstNotAsked` on were never asked (the port was lost).
    QStringList expectedLines(const QList<int> &answering, int firstNotAsked = 33) const
    {
        QStringList lines;
        for (int address = 1; address <= 32; ++address)
            lines << (address >= firstNotAsked
                              ? QStringLiteral("Устройство №%1 не опрошено: порт потерян")
                                        .arg(address)
                              : answering.contains(address)
                              ? QStringLiteral("Устройство №%1 в сети").arg(address)
                              : QStringLiteral("Связи с устройством №%1 нет").arg(address));
        return lines;
    }

    RelayLine line;
    LoopbackPort port{line};
    RelayBus bus{&port};
    ScriptedOperator op;
    RelaySession session{bus};
    CurrentDevice &device = session.device;
    DiscoveryHooks hooks;
    QList<int> positions;
    QStringList added;
    int reopens = 0;
};

TEST_F(DiscoveryTest, thirtyTwoLinesForALineOfBothTypes)
{
    line.addRelay(1, 4);
    line.addRelay(6, 6);
    line.addRelay(17, 4);
    line.addRelay(32, 6);
    const DiscoveryResult result = scanBus(session, op, hooks);
    EXPECT_EQ(result.lines, expectedLines({1, 6, 17, 32}));
    EXPECT_EQ(added, result.lines);
    EXPECT_EQ(result.answering, (QList<quint8>{1, 6, 17, 32}));
    EXPECT_FALSE(result.portLost);
    EXPECT_TRUE(op.shown().isEmpty());
    QList<int> expectedPositions;
    for (int p = 0; p < 32; ++p)
        expectedPositions << p;
    EXPECT_EQ(positions, expectedPositions);
    EXPECT_EQ(op.keepAliveCalls(), 32);
    // Only the address is cleared; the rest of the identification stays.
    EXPECT_EQ(device.networkAddress, 0);
    EXPECT_EQ(device.typeCode, 6);
    EXPECT_EQ(device.deviceName, QStringLiteral("МИВ-06    "));
    // One status query per address, in ascending order.
    const QList<QByteArray> requests = line.requests();
    ASSERT_EQ(requests.size(), 32);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(quint8(requests[i][0]), i + 1);
        EXPECT_EQ(quint8(requests[i][1]), 0x07);
    }
}

// After a scan no relay is selected: the values read from the relay before
// belong to none (a settings file may be opened for a type, nothing is
// written) until an identification: the same relay takes them back with
// their changes, another drops them.
TEST_F(DiscoveryTest, aScanReleasesTheValuesOfTheRelayIdentifiedBefore)
{
    for (const quint16 factory : {1006, 1017}) {
        session.valuesOwner = RelayIdentity{6, 1006};
        session.configGrid.setText(5, ConfigGrid::Value, QStringLiteral("45"));
        session.configGrid.mark(5);
        scanBus(session, op, hooks);
        EXPECT_FALSE(session.valuesOwner);
        EXPECT_FALSE(session.valuesBelongToSelectedRelay());
        device.networkAddress = 6;
        device.factoryNumber = factory;
        EXPECT_EQ(session.adoptSelectedRelay(), factory != 1006) << "dropped, to be told";
        EXPECT_EQ(session.configGrid.isMarked(5), factory == 1006) << factory;
        EXPECT_TRUE(session.valuesBelongToSelectedRelay());
    }
}

TEST_F(DiscoveryTest, anEmptyLineListsEveryAddressAsSilentAndSaysNothingElse)
{
    const DiscoveryResult result = scanBus(session, op, hooks);
    EXPECT_EQ(result.lines, expectedLines({}));
    EXPECT_TRUE(result.answering.isEmpty());
    EXPECT_TRUE(op.shown().isEmpty());
}

TEST_F(DiscoveryTest, aRelayAnsweringWithinOneHundredMillisecondsIsFoundWithTheDefaultWait)
{
    RelayBus patientDefault(&port); // default timing: 9600 bit/s, the default scan wait
    ASSERT_EQ(patientDefault.timing().baudRate, 9600);
    line.addRelay(3, 4);
    line.addRelay(4, 6);
    line.setLatencyMs(100, 100);
    RelaySession patientSession{patientDefault};
    const DiscoveryResult result = scanBus(patientSession, op, hooks);
    EXPECT_EQ(result.answering, (QList<quint8>{3, 4}));
}

TEST_F(DiscoveryTest, slowRelaysAndOneThatRefusesTheStatusQueryAreFound)
{
    line.addRelay(3, 4);
    line.addRelay(4, 6);
    line.addRelay(5, 4);
    line.addRelay(32, 4);
    RelayLine::Faults slow;
    slow.lateMs = 150; // after the scan's wait, within the reply time-out
    line.setFaults(4, slow);
    slow.lateMs = 400;
    line.setFaults(32, slow); // the last address: heard only after the pass
    line.relay(5)->setRefusedFunction(modbus::ReadExceptionStatus);
    QList<int> replaced;
    hooks.lineReplaced = [&](int index, const QString &text) {
        replaced.append(index);
        EXPECT_EQ(text, QStringLiteral("Устройство №%1 в сети").arg(index + 1));
    };

    const DiscoveryResult result = scanBus(session, op, hooks);
    EXPECT_EQ(result.answering, (QList<quint8>{3, 4, 5, 32}));
    EXPECT_EQ(result.lines, expectedLines({3, 4, 5, 32}));
    EXPECT_EQ(replaced, (QList<int>{3, 31}));
    EXPECT_TRUE(op.shown().isEmpty());
}

TEST_F(DiscoveryTest, aPortFailureResetsThePortAndListsTheAddressAsSilent)
{
    line.addRelay(1, 4);
    line.addRelay(5, 4);
    // The port fails while address 5 is asked; reopening brings it back.
    int asked = 0;
    hooks.progress = [&](int position) {
        positions.append(position);
        if (++asked == 4)
            port.close();
    };
    const DiscoveryResult result = scanBus(session, op, hooks);
    EXPECT_EQ(reopens, 1);
    EXPECT_EQ(result.lines, expectedLines({1}));
    EXPECT_FALSE(result.portLost);
    EXPECT_TRUE(op.shown().isEmpty());
    EXPECT_EQ(result.lines.size(), 32);
}

TEST_F(DiscoveryTest, aPortThatCannotBeReopenedStopsTheScanAndTellsTheOperator)
{
    line.addRelay(1, 4);
    line.addRelay(12, 4);
    int asked = 0;
    hooks.progress = [&](int position) {
        positions.append(position);
        if (++asked == 9)
            port.vanish();
    };
    session.reopenPort = [this](QString *error) {
        ++reopens;
        *error = QStringLiteral("Нет такого порта");
        return false;
    };
    const DiscoveryResult result = scanBus(session, op, hooks);
    EXPECT_TRUE(result.portLost);
    EXPECT_EQ(reopens, 1) << "no further attempt once the port is gone";
    EXPECT_EQ(result.lines, expectedLines({1}, 10))
            << "relay 12 was never asked: it is not reported silent";
    EXPECT_EQ(positions.size(), 32) << "the bar reaches its end";
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Error);
    const QString text = op.shown()[0].text;
    EXPECT_TRUE(text.contains(QStringLiteral("Связь с портом потеряна"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Нет такого порта"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("с 10 по 32"))) << text.toStdString();
}

} // namespace
