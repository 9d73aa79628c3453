#include "core/Operator.h"
#include "core/Texts.h"
#include "device/PortSetup.h"
#include "link/ModbusFrame.h"
#include "link/RelayBus.h"
#include "sim/LoopbackPort.h"
#include "support/RecordingOperator.h"

#include <gtest/gtest.h>

namespace modbus = miv::modbus;
using namespace miv::sim;

using namespace miv;

namespace {

// Records every message; any question would be answered OK.
constexpr quint16 bit(int n)
{
    return quint16(1u << n);
}

class PortSetupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        line.addRelay(3, 4);
        line.relay(3)->setRegister(InterfaceWord::relayRegister, 0x1234);
        loopback.open(QIODevice::ReadWrite);
        bus.setReplyTimeoutMs(50);
        port.settings = [this] { return current; };
        port.apply = [this](const PortSettings &settings, QString *error) {
            if (settings.portName == QLatin1String("unopenable")) {
                *error = QStringLiteral("Ошибка открытия порта: порт unopenable не найден");
                return false;
            }
            current = settings;
            applied.append(settings);
            return true;
        };
        store = [this](const PortSettings &settings, QString *) {
            stored.append(settings);
            return true;
        };
    }

    PortSetupResult run(quint8 address, std::optional<PortSettings> chosen)
    {
        const PortSetupAsk dialog = [&](const PortSettings &shownSettings) {
            dialogShowed = shownSettings;
            return chosen;
        };
        return runPortSetup(bus, port, address, dialog, store, messages);
    }

    static PortSettings with(const char *baud, const char *parity, const char *name = "ttyS0")
    {
        PortSettings settings;
        settings.portName = QString::fromLatin1(name);
        settings.baudRate = QString::fromLatin1(baud);
        settings.parity = QString::fromLatin1(parity);
        return settings;
    }

    RelayLine line;
    LoopbackPort loopback{line};
    RelayBus bus{&loopback};
    RecordingOperator messages;
    PortSetupPort port;
    PortSettingsStore store;
    PortSettings current = with("9600", "None");
    QList<PortSettings> applied;
    QList<PortSettings> stored;
    PortSettings dialogShowed;
};

TEST_F(PortSetupTest, noRelaySelectedWritesNothingToTheLine)
{
    const PortSettings chosen = with("19200", "Even");
    const PortSetupResult result = run(0, chosen);
    EXPECT_TRUE(loopback.written().isEmpty()); // not even a broadcast
    EXPECT_EQ(applied, QList<PortSettings>{chosen});
    EXPECT_EQ(stored, QList<PortSettings>{chosen});
    EXPECT_TRUE(result.stored);
    EXPECT_FALSE(result.wordWritten);
    EXPECT_EQ(line.relay(3)->registerValue(InterfaceWord::relayRegister), 0x1234);
}

TEST_F(PortSetupTest, unchangedNameTellsTheRelayOverTheOldSettingsThenFollows)
{
    const PortSettings chosen = with("19200", "Even");
    const quint16 newWord = bit(3) | bit(7) | bit(13);
    const PortSetupResult result = run(3, chosen);

    EXPECT_EQ(dialogShowed, with("9600", "None"));
    EXPECT_EQ(loopback.written(), modbus::writeSingleRegister(3, 65, newWord));
    EXPECT_EQ(line.relay(3)->registerValue(65), newWord);
    ASSERT_EQ(applied.size(), 3);
    EXPECT_EQ(applied[0], chosen); // OK puts the choice in force
    EXPECT_EQ(applied[1], with("9600", "None")); // the write goes out at the old settings
    EXPECT_EQ(applied[2], chosen); // then the port follows
    EXPECT_EQ(stored, QList<PortSettings>{chosen});
    EXPECT_TRUE(result.wordWritten);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PortSetupTest, cancelStillStoresAndWritesTheUnchangedWord)
{
    const PortSetupResult result = run(3, std::nullopt);
    EXPECT_FALSE(result.accepted);
    EXPECT_EQ(stored, QList<PortSettings>{current});
    EXPECT_EQ(loopback.written(), modbus::writeSingleRegister(3, 65, bit(2) | bit(6) | bit(13)));
    EXPECT_EQ(current, with("9600", "None"));
}

TEST_F(PortSetupTest, changedNameWritesNothing)
{
    const PortSettings chosen = with("19200", "Even", "ttyUSB0");
    const PortSetupResult result = run(3, chosen);
    EXPECT_TRUE(loopback.written().isEmpty());
    EXPECT_EQ(stored, QList<PortSettings>{chosen});
    EXPECT_EQ(current, chosen);
    EXPECT_FALSE(result.wordWritten);
}

TEST_F(PortSetupTest, changedPortThatCannotOpenEndsTheSetupWithItsMessage)
{
    const PortSetupResult result = run(3, with("19200", "Even", "unopenable"));
    EXPECT_TRUE(result.portFailed);
    EXPECT_TRUE(stored.isEmpty());
    EXPECT_TRUE(loopback.written().isEmpty());
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].first, Operator::Icon::Error);
    EXPECT_EQ(messages.shown[0].second,
              QStringLiteral("Ошибка открытия порта: порт unopenable не найден"));
}

TEST_F(PortSetupTest, silentRelayIsReportedAndThePortStillFollows)
{
    RelayLine::Faults silent;
    silent.silent = true;
    line.setFaults(3, silent);
    const PortSettings chosen = with("38400", "Odd");
    const PortSetupResult result = run(3, chosen);
    EXPECT_FALSE(result.wordWritten);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].second, Texts::linkError);
    EXPECT_EQ(current, chosen);
    EXPECT_EQ(stored, QList<PortSettings>{chosen});
}

// A relay that refuses the word keeps its settings: the port and the stored
// settings stay with them, so that it is still reached.
TEST_F(PortSetupTest, refusedWordKeepsThePortWithTheRelay)
{
    RelayLine::Faults refusing;
    refusing.refuse = 3;
    line.setFaults(3, refusing);
    const PortSetupResult result = run(3, with("38400", "Odd"));
    EXPECT_FALSE(result.wordWritten);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].second, Texts::relayRefused.arg(3));
    EXPECT_EQ(current, with("9600", "None"));
    EXPECT_EQ(stored.last(), with("9600", "None"));
}

TEST_F(PortSetupTest, closedPortIsALinkFailureNotACrash)
{
    loopback.vanish();
    const PortSetupResult result = run(3, std::nullopt);
    EXPECT_FALSE(result.wordWritten);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].second, Texts::linkError);
}

TEST_F(PortSetupTest, failedStoreIsToldAndTheRelayIsStillTold)
{
    store = [](const PortSettings &, QString *error) {
        *error = QStringLiteral("Не удалось записать файл front.ini");
        return false;
    };
    const PortSetupResult result = run(3, with("19200", "Even"));
    EXPECT_FALSE(result.stored);
    EXPECT_TRUE(result.wordWritten);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].first, Operator::Icon::Warning);
}

} // namespace
