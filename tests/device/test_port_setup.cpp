#include "core/Operator.h"
#include "core/Texts.h"
#include "device/PortSetup.h"
#include "link/ModbusFrame.h"
#include "link/RelayBus.h"
#include "sim/LoopbackPort.h"
#include "support/RecordingOperator.h"

#include <gtest/gtest.h>
#include <QMap>

namespace modbus = miv::modbus;
using namespace miv::sim;

using namespace miv;

namespace {

// Records every message; any question would be answered OK.
constexpr quint16 bit(int n)
{
    return quint16(1u << n);
}

// 9600 bit/s, no parity, 8 data bits, 1 stop bit.
constexpr quint16 relayOwnWord = 0x2844;

// The line as the relay hears it: a strict line answers only at the
// relay's own settings.
RelayLine::LineSettings lineOf(const PortSettings &settings)
{
    const char parity = settings.parity == QLatin1String("Even") ? 'E'
            : settings.parity == QLatin1String("Odd")            ? 'O'
            : settings.parity == QLatin1String("None")           ? 'N'
                                                                 : char(0);
    const int stopBits = settings.stopBits == QLatin1String("1") ? 1
            : settings.stopBits == QLatin1String("2")            ? 2
                                                                 : 0;
    return {settings.effectiveBaudRate(), parity, stopBits};
}

class PortSetupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        line.addRelay(3, 4);
        line.relay(3)->setRegister(InterfaceWord::relayRegister, relayOwnWord);
        line.setStrictLine(true);
        loopback.open(QIODevice::ReadWrite);
        bus.setReplyTimeoutMs(50);
        bus.setRetries(0);
        port.settings = [this] { return current; };
        port.apply = [this](const PortSettings &settings, QString *error) {
            if (settings.portName == QLatin1String("unopenable")) {
                *error = QStringLiteral("Ошибка открытия порта: порт unopenable не найден");
                return false;
            }
            current = settings;
            applied.append(settings);
            loopback.setClientLine(lineOf(settings));
            // Faults that start with this setting of the port (2: the old
            // settings back for the write).
            if (const auto faults = faultsAtApply.find(int(applied.size()));
                faults != faultsAtApply.end())
                line.setFaults(3, *faults);
            return true;
        };
        store = [this](const PortSettings &settings, QString *) {
            stored.append(settings);
            return true;
        };
        loopback.setClientLine(lineOf(current));
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

    static QByteArray readWord() { return modbus::readHoldingRegisters(3, 65, 1); }
    static QByteArray writeWord(quint16 word) { return modbus::writeSingleRegister(3, 65, word); }

    RelayLine line;
    LoopbackPort loopback{line};
    RelayBus bus{&loopback};
    RecordingOperator messages;
    PortSetupPort port;
    PortSettingsStore store;
    PortSettings current = with("9600", "None");
    QList<PortSettings> applied;
    QList<PortSettings> stored;
    QMap<int, RelayLine::Faults> faultsAtApply;
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
    EXPECT_EQ(line.relay(3)->registerValue(InterfaceWord::relayRegister), relayOwnWord);
}

TEST_F(PortSetupTest, unchangedNameTellsTheRelayOverTheOldSettingsThenFollows)
{
    const PortSettings chosen = with("19200", "Even");
    const quint16 newWord = bit(3) | bit(7) | bit(11) | bit(13);
    const PortSetupResult result = run(3, chosen);

    EXPECT_EQ(dialogShowed, with("9600", "None"));
    EXPECT_EQ(loopback.written(), readWord() + writeWord(newWord));
    EXPECT_EQ(line.relay(3)->registerValue(65), newWord);
    ASSERT_EQ(applied.size(), 3);
    EXPECT_EQ(applied[0], chosen); // the port can take the choice
    EXPECT_EQ(applied[1], with("9600", "None")); // the write goes out at the old settings
    EXPECT_EQ(applied[2], chosen); // then the port follows
    EXPECT_EQ(stored, QList<PortSettings>{chosen});
    EXPECT_TRUE(result.wordWritten);
    EXPECT_EQ(result.relayWord, newWord);
    EXPECT_TRUE(messages.shown.isEmpty());
}

// The relay's own word on the wire with only the port's groups replaced; a
// setting the word cannot say is refused with only the read on the wire.
TEST_F(PortSetupTest, theWordOnTheWireKeepsWhatThePortDoesNotSet)
{
    struct Case
    {
        quint16 relayWord;
        const char *portBaud; // the port at the relay's settings
        const char *baud;
        const char *parity;
        const char *stopBits;
        quint16 sent; // 0: refused, nothing written
    };
    const Case cases[] = {
            {0x2844, "9600", "19200", "None", "1", 0x2848},
            {0x2842, "4800", "9600", "None", "2", 0x4844}, // one speed: the 4800 bit cleared
            {0x2842, "4800", "4800", "Odd", "1", 0x2902},
            {0x9E23 | bit(2), "9600", "38400", "Even", "2", 0x9E21 | bit(4) | bit(7) | bit(14)},
            {0x2844, "9600", "115200", "None", "1", 0},
            {0x2844, "9600", "4800", "None", "1", 0},
            {0x2844, "9600", "Custom", "None", "1", 0x2844}, // a custom rate of 9600
            {0x2844, "9600", "9600", "Mark", "1", 0},
            {0x2844, "9600", "9600", "None", "1.5", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.baud) + " " + c.parity + " " + c.stopBits);
        line.relay(3)->setRegister(InterfaceWord::relayRegister, c.relayWord);
        current = with(c.portBaud, "None");
        loopback.setClientLine(lineOf(current));
        const QByteArray before = loopback.written();
        applied.clear();
        stored.clear();
        messages.shown.clear();
        PortSettings chosen = with(c.baud, c.parity);
        chosen.stopBits = QString::fromLatin1(c.stopBits);

        const PortSetupResult result = run(3, chosen);
        const QByteArray sent = loopback.written().mid(before.size());
        if (c.sent == 0) {
            EXPECT_EQ(sent, readWord());
            EXPECT_TRUE(applied.isEmpty());
            EXPECT_TRUE(stored.isEmpty());
            ASSERT_EQ(messages.shown.size(), 1);
            EXPECT_EQ(messages.shown[0].first, Operator::Icon::Warning);
            EXPECT_TRUE(messages.shown[0].second.contains(QStringLiteral("Реле нельзя")));
            EXPECT_EQ(line.relay(3)->registerValue(65), c.relayWord);
            EXPECT_EQ(result.relayWord, c.relayWord);
        } else {
            EXPECT_EQ(sent, readWord() + writeWord(c.sent));
            EXPECT_EQ(stored, QList<PortSettings>{chosen});
            EXPECT_EQ(result.relayWord, c.sent);
            EXPECT_TRUE(messages.shown.isEmpty()) << messages.shownTexts().join(u'|').toStdString();
        }
    }
}

TEST_F(PortSetupTest, cancelStillStoresAndWritesTheUnchangedWord)
{
    const PortSetupResult result = run(3, std::nullopt);
    EXPECT_FALSE(result.accepted);
    EXPECT_EQ(stored, QList<PortSettings>{current});
    EXPECT_EQ(loopback.written(), readWord() + writeWord(relayOwnWord));
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

// A relay silent at the port's settings is not written to, and the port
// and "front.ini" stay as they are.
TEST_F(PortSetupTest, silentRelayChangesNothingAndSaysSo)
{
    RelayLine::Faults silent;
    silent.silent = true;
    line.setFaults(3, silent);
    const PortSetupResult result = run(3, with("38400", "Odd"));
    EXPECT_FALSE(result.wordWritten);
    EXPECT_EQ(loopback.written(), readWord());
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].second.startsWith(Texts::linkError));
    EXPECT_TRUE(messages.shown[0].second.contains(QStringLiteral("9600 бит/с")));
    EXPECT_EQ(current, with("9600", "None"));
    EXPECT_TRUE(applied.isEmpty());
    EXPECT_TRUE(stored.isEmpty());
}

// A write that gets no answer: the relay is looked for at the old settings,
// then at the new ones, and the port and "front.ini" go where it answers.
TEST_F(PortSetupTest, anUnansweredWriteIsFollowedToWhereTheRelayAnswers)
{
    RelayLine::Faults damaged; // the relay takes the write, its answer is damaged
    damaged.badCrc = true;
    RelayLine::Faults ignoring; // the relay never sees the write
    ignoring.ignoreRequests = 1;
    RelayLine::Faults silent;
    silent.silent = true;
    const PortSettings chosen = with("19200", "Even");
    const PortSettings old = with("9600", "None");
    const quint16 newWord = 0x2888;
    struct Case
    {
        const char *name;
        QMap<int, RelayLine::Faults> faults;
        quint16 relayHolds;
        PortSettings port;
        const char *said; // nullptr: nothing
    } cases[] = {
            {"took it", {{2, damaged}, {3, {}}}, newWord, chosen, nullptr},
            {"kept its own", {{2, ignoring}}, relayOwnWord, old, "осталось при настройках"},
            {"gone", {{2, silent}}, relayOwnWord, old, "неизвестно"},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.name);
        line.clearFaults();
        line.relay(3)->setRegister(InterfaceWord::relayRegister, relayOwnWord);
        current = old;
        loopback.setClientLine(lineOf(current));
        applied.clear();
        stored.clear();
        messages.shown.clear();
        faultsAtApply = c.faults;
        const PortSetupResult result = run(3, chosen);
        EXPECT_EQ(line.relay(3)->registerValue(65), c.relayHolds);
        EXPECT_EQ(current, c.port);
        EXPECT_EQ(stored, QList<PortSettings>{c.port}); // front.ini and the port agree
        EXPECT_EQ(result.wordWritten, c.said == nullptr);
        if (!c.said) {
            EXPECT_TRUE(messages.shown.isEmpty());
            continue;
        }
        ASSERT_EQ(messages.shown.size(), 1);
        EXPECT_TRUE(messages.shown[0].second.contains(QString::fromUtf8(c.said)))
                << messages.shown[0].second.toStdString();
        EXPECT_TRUE(messages.shown[0].second.contains(QStringLiteral("front.ini")));
    }
}

// A relay that refuses the word keeps its settings: the port and the stored
// settings stay with them, so that it is still reached.
TEST_F(PortSetupTest, refusedWordKeepsThePortWithTheRelay)
{
    RelayLine::Faults refusing;
    refusing.refuse = 3;
    faultsAtApply[2] = refusing;
    const PortSetupResult result = run(3, with("38400", "Odd"));
    EXPECT_FALSE(result.wordWritten);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].second.startsWith(Texts::relayRefused.arg(3)));
    EXPECT_EQ(current, with("9600", "None"));
    EXPECT_EQ(stored.last(), with("9600", "None"));
    EXPECT_EQ(result.relayWord, relayOwnWord);
}

TEST_F(PortSetupTest, closedPortIsALinkFailureNotACrash)
{
    loopback.vanish();
    const PortSetupResult result = run(3, std::nullopt);
    EXPECT_FALSE(result.wordWritten);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].second.startsWith(Texts::linkError));
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
