// "Поиск устройства" on the in-process loopback line with strict relays:
// each answers only at the speed, parity and stop bits of its interface word.
#include "device/LineSearch.h"
#include "link/PortSettings.h"
#include "link/RelaySession.h"
#include "support/LoopbackLink.h"
#include "support/QtPrinters.h"
#include "support/ScriptedOperator.h"

#include <gtest/gtest.h>
#include <map>

namespace {

// Interface word bits (the relay's own display reads them so).
enum : int {
    B4800 = 1,
    B9600 = 2,
    B19200 = 3,
    B38400 = 4,
    ParNone = 6,
    ParEven = 7,
    ParOdd = 8,
    Data8 = 11,
    Stop1 = 13,
    Stop2 = 14
};

constexpr quint16 word(int speed, int parity, int stop)
{
    return quint16(1u << speed | 1u << parity | 1u << Data8 | 1u << stop);
}

struct Found
{
    int address;
    const char *baud;
    const char *parity;
    const char *stopBits;
};

struct SearchCase
{
    const char *name;
    std::map<quint8, quint16> relays; // address: interface word
    QList<quint8> addresses;
    std::optional<Found> expected;
};

// The addresses asked: fewer than a scan's 32, so that a line searched in
// vain (24 settings, each address waited for) stays quick.
QList<quint8> scanAddresses()
{
    QList<quint8> list;
    for (int address = 1; address <= 10; ++address)
        list << quint8(address);
    return list;
}

class LineSearchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        line.setStrictLine(true);
        session.reopenPort = [this](QString *error) { return link.reopen(error); };
        start.baudRate = QStringLiteral("9600");
        // The loopback's relays answer at once: a short wait misses none.
        start.scanWaitMs = 5;
        start.retries = 0;
        ASSERT_TRUE(link.setSettings(start));
        ASSERT_TRUE(link.open());
        link.bus().setReplyTimeoutMs(40);
    }

    void put(const std::map<quint8, quint16> &relays)
    {
        for (const auto &[address, interfaceWord] : relays)
            line.addRelay(address, 4).setRegister(InterfaceWord::relayRegister, interfaceWord);
    }

    RelayLine line;
    LoopbackLink link{line};
    RelaySession session{link.bus()};
    ScriptedOperator op;
    PortSettings start;
};

TEST_F(LineSearchTest, reportsTheFirstRelayAtTheFastestSettingItAnswersAt)
{
    const SearchCase cases[] = {
            {"19200 beats 4800",
             {{3, word(B19200, ParNone, Stop1)}, {9, word(B4800, ParNone, Stop1)}},
             scanAddresses(),
             Found{3, "19200", "None", "1"}},
            {"only the 4800 relay asked",
             {{3, word(B19200, ParNone, Stop1)}, {9, word(B4800, ParNone, Stop1)}},
             {9},
             Found{9, "4800", "None", "1"}},
            {"4800 even parity, 2 stop bits",
             {{9, word(B4800, ParEven, Stop2)}},
             scanAddresses(),
             Found{9, "4800", "Even", "2"}},
            {"the faster setting wins over the lower address",
             {{2, word(B9600, ParNone, Stop1)}, {5, word(B38400, ParOdd, Stop1)}},
             scanAddresses(),
             Found{5, "38400", "Odd", "1"}},
            {"the lower address at the same setting",
             {{7, word(B9600, ParEven, Stop1)}, {2, word(B9600, ParEven, Stop1)}},
             scanAddresses(),
             Found{2, "9600", "Even", "1"}},
            {"a relay past the addresses asked",
             {{11, word(B9600, ParNone, Stop1)}},
             scanAddresses(),
             std::nullopt},
            {"an empty line", {}, scanAddresses(), std::nullopt},
    };
    for (const SearchCase &c : cases) {
        SCOPED_TRACE(c.name);
        RelayLine caseLine;
        caseLine.setStrictLine(true);
        for (const auto &[address, interfaceWord] : c.relays)
            caseLine.addRelay(address, 4).setRegister(InterfaceWord::relayRegister, interfaceWord);
        LoopbackLink caseLink(caseLine);
        ASSERT_TRUE(caseLink.setSettings(start));
        ASSERT_TRUE(caseLink.open());
        caseLink.bus().setReplyTimeoutMs(40);
        RelaySession caseSession(caseLink.bus());
        int tried = 0;
        LineSearchHooks hooks;
        hooks.settingsTried = [&tried](const PortSettings &, int, int) { ++tried; };

        const LineSearchResult result =
                findRelayLine(caseSession, op, caseLink, c.addresses, hooks);

        ASSERT_EQ(result.found(), c.expected.has_value());
        EXPECT_FALSE(result.portLost);
        EXPECT_EQ(caseLink.settings(), start) << "the port is given back its settings";
        if (!c.expected) {
            EXPECT_EQ(tried, 24) << "every setting was tried";
            continue;
        }
        EXPECT_EQ(*result.address, c.expected->address);
        EXPECT_EQ(result.settings.effectiveBaudRate(),
                  QString::fromLatin1(c.expected->baud).toInt());
        EXPECT_EQ(result.settings.parity, QString::fromLatin1(c.expected->parity));
        EXPECT_EQ(result.settings.stopBits, QString::fromLatin1(c.expected->stopBits));
        EXPECT_EQ(result.settings.dataBits, QStringLiteral("8"));
        EXPECT_EQ(result.settings.portName, start.portName);
    }
}

TEST(LineSearchSettings, fastestFirstThenParityThenStopBits)
{
    PortSettings current;
    current.portName = QStringLiteral("ttyUSB3");
    current.dataBits = QStringLiteral("7");
    current.scanWaitMs = 300;
    const QList<PortSettings> list = lineSearchSettings(current);
    ASSERT_EQ(list.size(), 24);
    QStringList order;
    for (const PortSettings &s : list) {
        order << s.baudRate + u'/' + s.parity + u'/' + s.stopBits;
        EXPECT_EQ(s.portName, QStringLiteral("ttyUSB3"));
        EXPECT_EQ(s.dataBits, QStringLiteral("8"));
        EXPECT_EQ(s.scanWaitMs, 300);
    }
    EXPECT_EQ(order.mid(0, 3),
              (QStringList{QStringLiteral("38400/None/1"), QStringLiteral("38400/None/2"),
                           QStringLiteral("38400/Even/1")}));
    EXPECT_EQ(order[6], QStringLiteral("19200/None/1"));
    EXPECT_EQ(order[12], QStringLiteral("9600/None/1"));
    EXPECT_EQ(order.last(), QStringLiteral("4800/Odd/2"));
    // Each setting the interface word can hold, once: the word made from it
    // applies back to the same setting.
    for (const PortSettings &s : list) {
        if (s.baudRate == QLatin1String("4800")) // the word's 4800 bit is never set from settings
            continue;
        const PortSettings back =
                InterfaceWord::applyTo(PortSettings(), InterfaceWord::fromSettings(s));
        EXPECT_EQ(back.baudRate, s.baudRate);
        EXPECT_EQ(back.parity, s.parity);
        EXPECT_EQ(back.stopBits, s.stopBits);
    }
}

TEST_F(LineSearchTest, takingTheFoundSettingsPutsThemInForceAndStoresThem)
{
    put({{4, word(B19200, ParEven, Stop2)}});
    const LineSearchResult result = findRelayLine(session, op, link, scanAddresses());
    ASSERT_TRUE(result.found());
    QList<PortSettings> stored;
    const PortSettingsStore store = [&stored](const PortSettings &s, QString *) {
        stored << s;
        return true;
    };

    op.answer(Operator::Answer::No);
    EXPECT_FALSE(offerFoundSettings(op, link, result, store));
    EXPECT_TRUE(stored.isEmpty());
    EXPECT_EQ(link.settings(), start);
    EXPECT_EQ(op.shown().last().text, foundText(result));
    EXPECT_TRUE(op.shown().last().text.contains(QStringLiteral("Устройство №4")));
    EXPECT_TRUE(op.shown().last().text.contains(
            QStringLiteral("19200 бит/с, чётный паритет, 2 стоп-бита")));

    op.answer(Operator::Answer::Yes);
    EXPECT_TRUE(offerFoundSettings(op, link, result, store));
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0], result.settings);
    EXPECT_EQ(link.settings(), result.settings);
    // The relay answers at the port's settings now.
    EXPECT_FALSE(link.bus().askStatus(4).linkFailed());
}

TEST_F(LineSearchTest, nothingFoundIsToldAndNothingStored)
{
    const LineSearchResult result = findRelayLine(session, op, link, scanAddresses());
    ASSERT_FALSE(result.found());
    bool storeCalled = false;
    EXPECT_FALSE(
            offerFoundSettings(op, link, result, [&storeCalled](const PortSettings &, QString *) {
                storeCalled = true;
                return true;
            }));
    EXPECT_FALSE(storeCalled);
    EXPECT_EQ(op.shownTexts(), QStringList{nothingFoundText});
}

TEST_F(LineSearchTest, settingsThePortRefusesAreSkipped)
{
    put({{4, word(B38400, ParNone, Stop1)}, {6, word(B19200, ParNone, Stop1)}});
    link.refuseBaudRate(38400);
    const LineSearchResult result = findRelayLine(session, op, link, scanAddresses());
    ASSERT_TRUE(result.found());
    EXPECT_EQ(*result.address, 6);
    EXPECT_EQ(result.settings.baudRate, QStringLiteral("19200"));
    EXPECT_EQ(result.refusedSettings.size(), 6);
}

// Cancelled between two exchanges: nothing more goes out, the port has its
// settings from before, as "Нет" leaves it, and the operator gets a note, no box.
TEST_F(LineSearchTest, aCancelStopsWithinOneExchangeAndLeavesThePortAsItWas)
{
    put({{4, word(B4800, ParNone, Stop1)}});
    int asked = 0;
    LineSearchHooks hooks;
    hooks.cancelRequested = [&asked] { return ++asked > 15; };
    const LineSearchResult result = findRelayLine(session, op, link, scanAddresses(), hooks);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.found());
    EXPECT_EQ(line.requests().size(), 15);
    EXPECT_EQ(link.settings(), start);
    EXPECT_FALSE(offerFoundSettings(op, link, result, [](const PortSettings &, QString *) {
        ADD_FAILURE() << "stored";
        return true;
    }));
    EXPECT_EQ(op.notes(), QStringList{searchCancelledText});
    EXPECT_TRUE(op.shown().isEmpty());
}

TEST_F(LineSearchTest, aVanishedPortStopsTheSearch)
{
    put({{4, word(B4800, ParNone, Stop1)}});
    link.port().vanish();
    const LineSearchResult result = findRelayLine(session, op, link, scanAddresses());
    EXPECT_FALSE(result.found());
    EXPECT_TRUE(result.portLost);
    ASSERT_FALSE(op.shown().isEmpty());
    EXPECT_EQ(op.shown().last().icon, Operator::Icon::Error);
}

} // namespace
