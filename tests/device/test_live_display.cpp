#include "core/LiveValues.h"
#include "core/SessionFlags.h"
#include "device/LineOverview.h"
#include "device/LiveDisplay.h"
#include "device/LiveRead.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <QList>

using namespace miv;

namespace {

// A refresh's registers by number; the rest read 0.
LiveValues withRegisters(const std::map<int, quint16> &registers, LiveValues live = {})
{
    live.blockA.fill(0);
    live.blockB.fill(0);
    for (const auto &[reg, value] : registers) {
        if (reg >= 16 && reg < 48)
            live.blockA[std::size_t(reg - 16)] = value;
        else
            live.blockB[std::size_t(reg - 112)] = value;
    }
    live.relayState = relayStateOf(live.value(40));
    return live;
}

QString slotText(const LiveDisplay &display, int labelNumber)
{
    return display.labels[std::size_t(LiveLabel::slotOf(labelNumber))];
}

TEST(LiveDisplay, labelTextsOfOneColumn)
{
    struct Case
    {
        const char *what;
        std::map<int, quint16> registers;
        int label;
        QString text;
    };
    const Case cases[] = {
            {"current padded with zeros", {{21, 123}}, 14, QStringLiteral("012,3 А")},
            {"small current", {{22, 5}}, 15, QStringLiteral("000,5 А")},
            {"long current stays", {{23, 12345}}, 16, QStringLiteral("1234,5 А")},
            {"voltage padded with spaces", {{24, 380}}, 17, QStringLiteral("  380 В")},
            {"temperature plus", {{28, 0x0319}}, 25, QStringLiteral("  +25 °C")},
            {"temperature minus", {{28, 0x0205}}, 25, QStringLiteral("   -5 °C")},
            {"temperature sensor off", {{28, 0x0119}}, 25, QStringLiteral("   откл.")},
            {"energy", {{27, 0x0142}}, 29, QStringLiteral("     66")},
            {"frequency", {{17, 500}}, 24, QStringLiteral(" 50 Гц")},
            {"frequency half down to even", {{17, 505}}, 24, QStringLiteral(" 50 Гц")},
            {"frequency half up to even", {{17, 495}}, 24, QStringLiteral(" 50 Гц")},
            {"frequency above half", {{17, 515}}, 24, QStringLiteral(" 52 Гц")},
            {"cos phi with current", {{21, 2}, {42, 0x0155}}, 23, QStringLiteral(" 0,85")},
            {"active power with current", {{22, 30}, {43, 123}}, 20, QStringLiteral(" 12,3 кВт")},
            {"no current: zero power",
             {{21, 1}, {22, 0}, {23, 1}, {43, 500}},
             20,
             QStringLiteral(" 0,0 кВт")},
            {"no current: zero reactive", {{21, 1}, {44, 500}}, 21, QStringLiteral(" 0,0 кВАр")},
            {"no current: zero apparent", {{23, 1}, {45, 500}}, 22, QStringLiteral(" 0,0 кВА")},
            {"no current: zero cos", {{21, 1}, {42, 85}}, 23, QStringLiteral(" 0,00")},
            {"asymmetry low byte", {{18, 0x0107}}, 26, QStringLiteral("  7 %")},
            {"leakage", {{35, 12}}, 27, QStringLiteral("  12 %")},
            {"insulation", {{16, 0x0155}}, 28, QStringLiteral("  8,5 МОм")},
            {"motor hours 32 bits", {{112, 1}, {113, 34464}}, 30, QStringLiteral("  100000 ч.")},
            {"motor hours signed", {{112, 0xFFFF}, {113, 0xFFFF}}, 30, QStringLiteral("  -1 ч.")},
            {"motor minutes", {{114, 0x012D}}, 31, QStringLiteral("  45 мин.")},
            {"date", {{115, 26 << 8 | 12}, {116, 5 << 8 | 9}}, 59, QStringLiteral("05.12.2026")},
            {"time", {{116, 5 << 8 | 9}, {117, 7 << 8 | 8}}, 61, QStringLiteral("09:07:08")},
    };
    for (const Case &c : cases) {
        LiveValues live = withRegisters(c.registers);
        SessionFlags flags;
        const LiveDisplay display = showValues(live, flags, 4, u',');
        EXPECT_EQ(slotText(display, c.label), c.text) << c.what;
        EXPECT_FALSE(display.startLimitColumn) << c.what;
    }
}

TEST(LiveDisplay, twoColumnsFollowBit14OneDisplayLate)
{
    const std::map<int, quint16> limited{{39, 1 << 14}, {21, 123}, {32, 480},
                                         {24, 220},     {36, 215}, {20, 0x0328},
                                         {28, 0x0319},  {19, 12},  {27, 30}};
    std::map<int, quint16> cleared = limited;
    cleared[39] = 0;
    SessionFlags flags;
    LiveValues live;

    live = withRegisters(limited, live);
    LiveDisplay first = showValues(live, flags, 4, u',');
    EXPECT_FALSE(first.startLimitColumn);
    EXPECT_EQ(slotText(first, 14), QStringLiteral("012,3 А"));
    EXPECT_EQ(first.lamps[7], 1) << "lamp 8 lit at once";

    live = withRegisters(cleared, live);
    LiveDisplay second = showValues(live, flags, 4, u',');
    EXPECT_TRUE(second.startLimitColumn);
    EXPECT_EQ(slotText(second, 14), QStringLiteral(" 048,0 А 012,3 А"));
    EXPECT_EQ(slotText(second, 17), QStringLiteral("   215 В   220 В"));
    EXPECT_EQ(slotText(second, 25), QStringLiteral("  +40 °C  +25 °C"));
    EXPECT_EQ(slotText(second, 29), QStringLiteral("     12      30"));
    EXPECT_EQ(second.lamps[7], 0);

    live = withRegisters(cleared, live);
    EXPECT_FALSE(showValues(live, flags, 4, u',').startLimitColumn);
}

TEST(LiveDisplay, lampsFromTheirBits)
{
    struct Case
    {
        const char *what;
        std::map<int, quint16> registers;
        quint16 type;
        std::map<int, std::optional<int>> lamps; // lamp number → value (nullopt: left alone)
    };
    const Case cases[] = {
            {"inputs and outputs",
             {{41, 0b110}, {40, 0b101}},
             4,
             {{1, 1}, {2, 1}, {3, 1}, {4, 0}, {5, 1}, {26, 1}, {27, 0}, {28, 1}}},
            {"protections",
             {{39, 1 << 4 | 1 << 9 | 1 << 15 | 1 << 8}},
             4,
             {{9, 1}, {10, 1}, {16, 1}, {23, 1}, {24, 0}, {11, 0}, {17, 0}}},
            {"lamp 6 green while working", {{40, 0b011}, {41, 0b10}}, 4, {{6, 3}}},
            {"lamp 6 red on an alarm", {{40, 0b010}}, 4, {{6, 1}}},
            {"lamp 6 dark yellow with start input only", {{41, 0b10}}, 4, {{6, 4}}},
            {"lamp 6 red at rest", {}, 4, {{6, 1}}},
            {"type 4 leaves the sensor lamps alone",
             {{41, 0}},
             4,
             {{18, std::nullopt}, {22, std::nullopt}, {25, std::nullopt}}},
            {"type 6 sensors lit while their bit is clear",
             {{41, 1 << 6 | 1 << 0}},
             6,
             {{18, 0}, {19, 1}, {20, 1}, {21, 1}, {22, 0}, {25, 1}}},
    };
    for (const Case &c : cases) {
        LiveValues live = withRegisters(c.registers);
        SessionFlags flags;
        const LiveDisplay display = showValues(live, flags, c.type, u'.');
        for (const auto &[lamp, value] : c.lamps)
            EXPECT_EQ(display.lamps[std::size_t(lamp - 1)], value) << c.what << ", lamp " << lamp;
    }
}

// Each bit of the protection (39), output (40) and input (41) words alone, on
// a type-6 relay at rest without current: exactly its lamps lit, every other
// coloured lamp dark. The sensor lamps light while their bit is clear, so
// their bits are set unless the bit tried is one of them; lamp 7 stays dark
// yellow (no current) and lamp 6 follows its own rule. Bits not listed light
// nothing.
TEST(LiveDisplay, everyBitLightsExactlyItsLamps)
{
    constexpr quint16 sensorsAtRest = 0x00F9; // bits 0 and 3 to 7
    struct Bit
    {
        int reg;
        int bit;
        QList<int> lit;
        int lamp6 = 1; // red at rest
    };
    const Bit bits[] = {
            {39, 4, {9}},  {39, 5, {13}},   {39, 6, {12}},       {39, 7, {17}},    {39, 8, {23}},
            {39, 9, {10}}, {39, 10, {24}},  {39, 11, {11}},      {39, 12, {14}},   {39, 13, {15}},
            {39, 14, {8}}, {39, 15, {16}},  {40, 0, {3, 26}, 3}, {40, 1, {4, 27}}, {40, 2, {5, 28}},
            {41, 0, {22}}, {41, 1, {1}, 4}, {41, 2, {2}},        {41, 3, {21}},    {41, 4, {20}},
            {41, 5, {19}}, {41, 6, {18}},   {41, 7, {25}},
    };
    for (int reg : {39, 40, 41}) {
        for (int bit = 0; bit < 16; ++bit) {
            SCOPED_TRACE(testing::Message() << "register " << reg << " bit " << bit);
            const auto row = std::find_if(std::begin(bits), std::end(bits), [&](const Bit &b) {
                return b.reg == reg && b.bit == bit;
            });
            const Bit expected = row != std::end(bits) ? *row : Bit{reg, bit, {}};
            std::map<int, quint16> registers{{41, sensorsAtRest}};
            registers[reg] ^= quint16(1 << bit);
            LiveValues live = withRegisters(registers);
            SessionFlags flags;
            const LiveDisplay display = showValues(live, flags, 6, u',');
            for (int lamp = 1; lamp <= LiveDisplay::lampCount; ++lamp) {
                const int value = lamp == 6 ? expected.lamp6
                        : lamp == 7         ? 4
                                            : int(expected.lit.contains(lamp));
                EXPECT_EQ(display.lamps[std::size_t(lamp - 1)], value) << "lamp " << lamp;
            }
        }
    }
}

TEST(LiveDisplay, buttonsOfferWhatTheOutputsAreNotDoing)
{
    LiveValues live = withRegisters({{40, 0b101}});
    SessionFlags flags;
    const LiveDisplay display = showValues(live, flags, 4, u'.');
    EXPECT_FALSE(display.workEnabled);
    EXPECT_TRUE(display.stopEnabled);
    const std::array<bool, 6> expected{false, true, true, false, false, true};
    EXPECT_EQ(display.outputButtonsEnabled, expected);
}

// Lamp 7 through the relay states with current flowing: work (green), then
// overload (blinking), then alarm (steady red, no blink); without current dark yellow.
TEST(LiveDisplay, loadLampThroughTheRelayStates)
{
    struct Step
    {
        quint16 outputs;
        quint16 current;
        int loadLampState;
        std::optional<int> lamp7;
        LiveDisplay::Blink blink;
    };
    const Step steps[] = {
            {0b001, 30, 3, 3, LiveDisplay::Blink::Stop},
            {0b101, 30, 1, std::nullopt, LiveDisplay::Blink::Start},
            {0b101, 30, 1, std::nullopt, LiveDisplay::Blink::Start},
            {0b010, 30, 2, 1, LiveDisplay::Blink::Stop},
            {0b010, 1, 0, 4, LiveDisplay::Blink::Stop},
            {0b001, 30, 3, 3, LiveDisplay::Blink::Stop},
            {0b010, 30, 3, 3, LiveDisplay::Blink::Stop}, // work to alarm: green
    };
    LiveValues live; // as identification leaves it: state 1, relay states 0
    SessionFlags flags;
    int index = 0;
    for (const Step &step : steps) {
        live = withRegisters({{40, step.outputs}, {21, step.current}}, live);
        const LiveDisplay display = showValues(live, flags, 4, u'.');
        EXPECT_EQ(live.loadLampState, step.loadLampState) << "step " << index;
        EXPECT_EQ(display.lamps[6], step.lamp7) << "step " << index;
        EXPECT_EQ(display.blink, step.blink) << "step " << index;
        ++index;
    }
}

TEST(LiveDisplay, blinkAlternatesRedAndDarkYellow)
{
    int tag = 0;
    const int expected[] = {1, 4, 1, 4};
    for (int value : expected)
        EXPECT_EQ(blinkStep(tag), value);
    EXPECT_EQ(tag, 0);
}

TEST(LiveDisplay, relayStateTakesTheHighestOutput)
{
    EXPECT_EQ(relayStateOf(0), 0);
    EXPECT_EQ(relayStateOf(0b001), 1);
    EXPECT_EQ(relayStateOf(0b011), 2);
    EXPECT_EQ(relayStateOf(0b111), 3);
}

// A row of the line overview from one read of registers 21 to 41: the state
// and the lit alarm lamps by the live page's rules and texts.
TEST(LiveDisplay, overviewRowFromTheBlockOfTheTable)
{
    struct Case
    {
        const char *what;
        std::map<int, quint16> registers;
        quint16 type;
        QString state;
        RowColour colour;
        QStringList alarms;
    };
    const Case cases[] = {
            {"stopped, nothing lit", {}, 4, QStringLiteral("Стоп"), RowColour::None, {}},
            {"working", {{40, 0b001}}, 4, QStringLiteral("Работа"), RowColour::Green, {}},
            {"alarm over work",
             {{40, 0b011}, {39, 1 << 11 | 1 << 10}},
             4,
             QStringLiteral("Авария"),
             RowColour::Red,
             {QStringLiteral("Утечка"), QStringLiteral("Обрыв фазы: по току")}},
            {"overload over everything",
             {{40, 0b111}, {39, 1 << 15 | 1 << 14}},
             4,
             QStringLiteral("Перегрузка"),
             RowColour::Yellow,
             {QStringLiteral("Ограничение пусков"), QStringLiteral("T °C >")}},
            {"type 4 has no sensor lamps",
             {{41, 0}},
             4,
             QStringLiteral("Стоп"),
             RowColour::None,
             {}},
            {"type 6 sensors lit while their bit is clear, the timer is no alarm",
             {{41, 0b0011'1111}, {39, 1 << 5}},
             6,
             QStringLiteral("Стоп"),
             RowColour::None,
             {QStringLiteral("U <"), QStringLiteral("Авар. уровень")}},
    };
    for (const Case &c : cases) {
        const LiveValues live = withRegisters(c.registers);
        OverviewBlock block{};
        for (std::size_t k = 0; k < block.size(); ++k)
            block[k] = live.value(quint16(21 + k));
        const QDateTime readAt(QDate(2025, 3, 3), QTime(10, 0, 5));
        const OverviewRow row = withReading({}, block, c.type, u',', readAt);
        EXPECT_TRUE(row.answered) << c.what;
        EXPECT_EQ(row.state, c.state) << c.what;
        EXPECT_EQ(row.colour, c.colour) << c.what;
        EXPECT_EQ(row.alarms, c.alarms) << c.what;
        EXPECT_EQ(row.readAt, readAt) << c.what;
    }

    OverviewBlock block{};
    block[0] = 123; // Ia
    block[2] = 12345; // Ic
    block[28 - 21] = 0x0205; // -5 °C
    const OverviewRow row = withoutLink(withReading({}, block, 4, u',', {}));
    EXPECT_EQ(row.currents[0], QStringLiteral("012,3 А"));
    EXPECT_EQ(row.currents[2], QStringLiteral("1234,5 А"));
    EXPECT_EQ(LineOverviewModel::cellText(row, LineOverviewModel::Temperature),
              QStringLiteral("-5 °C"));
    EXPECT_EQ(row.state, QStringLiteral("Нет связи")) << "a silent relay keeps the values read";
    EXPECT_EQ(row.colour, RowColour::Grey);
}

TEST(AutoRefreshInterval, answersOfTheInputBox)
{
    struct Case
    {
        QString answer;
        QChar separator;
        std::optional<int> ms;
    };
    const Case cases[] = {
            {"1", u',', 1000},
            {"0,5", u',', 500},
            {"0.5", u'.', 500},
            {"0.5", u',', std::nullopt},
            {"60", u',', 60000},
            {"75", u',', 60000},
            {"0,0005", u',', 1} /* rounds to 0: the least 1 ms */,
            {"0", u',', std::nullopt},
            {"-3", u',', std::nullopt},
            {"abc", u',', std::nullopt},
            {"", u',', std::nullopt},
            {"1,5", u',', 1500},
    };
    for (const Case &c : cases)
        EXPECT_EQ(autoRefreshIntervalMs(c.answer, c.separator), c.ms) << c.answer.toStdString();
}

} // namespace
