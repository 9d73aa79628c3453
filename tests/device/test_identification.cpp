#include "core/Texts.h"
#include "device/Identification.h"
#include "device/InterfaceText.h"
#include "device/SoftwareVersion.h"
#include "support/RelayLineFixture.h"

#include <gtest/gtest.h>
#include <QStringEncoder>

using namespace miv;

namespace {

using Outcome = IdentificationResult::Outcome;

TEST(SoftwareVersion, bitFieldsOfTheVersionWord)
{
    EXPECT_EQ(softwareVersionText(2332), QStringLiteral("v1 от 4.7.2008"));
    EXPECT_EQ(softwareVersionText(0), QStringLiteral("v0 от 0.0.2008"));
    EXPECT_EQ(softwareVersionText(0xFFFF), QStringLiteral("v31 от 31.15.2011"));
    EXPECT_EQ(softwareVersionText(quint16(3 << 11 | 15 << 6 | 6 << 2 | 2)),
              QStringLiteral("v3 от 15.6.2010"));
}

TEST(InterfaceText, eachGroupShowsItsLastSetBit)
{
    struct Case
    {
        quint16 word;
        QStringList lines;
    };
    const Case cases[] = {
            {0, {"", "", "", ""}},
            {1 << 2 | 1 << 6 | 1 << 11 | 1 << 13,
             {"Скорость 9600 бит/с", "Без бита паритета", "8 бит данных", "1 стоп-бит"}},
            {1 << 1 | 1 << 8 | 1 << 10 | 1 << 14,
             {"Скорость 4800 бит/с", "Нечетный бита паритета", "7 бит данных", "2 стоп-бита"}},
            {1 << 2 | 1 << 4, {"Скорость 38400 бит/с", "", "", ""}},
            {1 << 3 | 1 << 7, {"Скорость 19200 бит/с", "Четный бит паритета", "", ""}},
            {1 << 6 | 1 << 7 | 1 << 13 | 1 << 14 | 1 << 10 | 1 << 11,
             {"", "Четный бит паритета", "8 бит данных", "2 стоп-бита"}},
            {1 << 0 | 1 << 5 | 1 << 9 | 1 << 12 | 1 << 15, {"", "", "", ""}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(interfaceWordLines(c.word), c.lines) << c.word;
}

class IdentificationTest : public RelayLineFixture
{
protected:
    void SetUp() override
    {
        RelayLineFixture::SetUp();
        session.reopenPort = [this](QString *) {
            ++reopens;
            return port.open(QIODevice::ReadWrite);
        };
        live.loadLampState = 0;
        live.relayState = 3;
        live.previousRelayState = 2;
        flags.editingLocked = false;
    }

    IdentificationResult identify(int selectedLine)
    {
        return identifyRelay(session, op, selectedLine);
    }

    void setName(quint8 address, const QByteArray &cp1251Name)
    {
        const QByteArray name = cp1251Name.leftJustified(10, ' ', true);
        for (int i = 0; i < 5; ++i)
            line.relay(address)->setRegister(
                    i, quint16(quint8(name[2 * i]) << 8 | quint8(name[2 * i + 1])));
    }

    LiveValues &live = session.live;
    int reopens = 0;
};

TEST_F(IdentificationTest, typeSixRelayAtTheSixthLine)
{
    const IdentificationResult result = identify(5);
    ASSERT_EQ(result.outcome, Outcome::Identified);
    const QStringList memo{
            QStringLiteral("Устройство: МИВ-06    "),
            QStringLiteral("Заводской №1006, Версия ПО v3 от 15.6.2010"),
            QStringLiteral("Сетевой адрес устройства 6"),
            QStringLiteral("Параметры интерфейса:"),
            QStringLiteral("Скорость 9600 бит/с"),
            QStringLiteral("Без бита паритета"),
            QStringLiteral("8 бит данных"),
            QStringLiteral("1 стоп-бит"),
    };
    EXPECT_EQ(result.memo, memo);
    EXPECT_TRUE(result.showTypeSixControls);
    EXPECT_TRUE(op.shown().isEmpty());

    EXPECT_EQ(device.networkAddress, 6);
    EXPECT_EQ(device.deviceName, QStringLiteral("МИВ-06    "));
    EXPECT_EQ(device.typeCode, 6);
    EXPECT_TRUE(device.hasTimer());
    EXPECT_EQ(device.factoryNumber, 1006);
    EXPECT_EQ(device.configuredAddress, 6);
    EXPECT_EQ(device.password, QStringLiteral("ABCD"));
    EXPECT_EQ(live.loadLampState, 1);
    EXPECT_EQ(live.relayState, 0);
    EXPECT_EQ(live.previousRelayState, 0);
    EXPECT_TRUE(flags.editingLocked);
}

TEST_F(IdentificationTest, typeFourRelayHidesTheTypeSixControls)
{
    // Configured for address 5 but answering at 1: the memo shows what the relay
    // holds; only the low byte is the address.
    line.relay(1)->setRegister(64, 0x0305);
    line.relay(1)->setRegister(65, 1 << 2 | 1 << 4 | 1 << 7 | 1 << 14);
    line.relay(1)->setRegister(5, 0);
    const IdentificationResult result = identify(0);
    ASSERT_EQ(result.outcome, Outcome::Identified);
    EXPECT_FALSE(result.showTypeSixControls);
    EXPECT_EQ(device.typeCode, 4);
    ASSERT_EQ(result.memo.size(), 8);
    EXPECT_EQ(result.memo[1], QStringLiteral("Заводской №1001, Версия ПО v0 от 0.0.2008"));
    EXPECT_EQ(result.memo[2], QStringLiteral("Сетевой адрес устройства 5"));
    EXPECT_EQ(result.memo[4], QStringLiteral("Скорость 38400 бит/с"));
    EXPECT_EQ(result.memo[5], QStringLiteral("Четный бит паритета"));
    EXPECT_EQ(result.memo[6], QString());
    EXPECT_EQ(result.memo[7], QStringLiteral("2 стоп-бита"));
}

TEST_F(IdentificationTest, aRelayThatRefusesTheStatusQueryIsThere)
{
    line.relay(6)->setRefusedFunction(modbus::ReadExceptionStatus);
    EXPECT_EQ(identify(5).outcome, Outcome::Identified);
    EXPECT_EQ(device.factoryNumber, 1006);
}

TEST_F(IdentificationTest, changesMadeForOneRelayNeverStayForAnother)
{
    ASSERT_EQ(identify(5).outcome, Outcome::Identified);
    timer.decodeMarks({0x0700, 0x0800, 0x0900, 0x0A00, 0x0B00});
    timer.decodeSwitches(0x1FF);
    grid.setText(5, ConfigGrid::Value, QStringLiteral("45"));
    grid.mark(5);
    flags.unwrittenChanges = true;

    // The same relay again keeps everything, and nobody is asked.
    ASSERT_EQ(identify(5).outcome, Outcome::Identified);
    EXPECT_TRUE(grid.isMarked(5));
    EXPECT_TRUE(op.shown().isEmpty());

    // Another relay: the changes go, and the operator is told whose they were.
    ASSERT_EQ(identify(0).outcome, Outcome::Identified);
    EXPECT_FALSE(grid.isMarked(5));
    EXPECT_EQ(grid.text(5, ConfigGrid::Value), QString());
    EXPECT_EQ(grid.text(5, ConfigGrid::Name), catalogue.record(5).name);
    EXPECT_FALSE(timer.hasBeenRead()) << "the schedule of relay 6 is never written to relay 1";
    EXPECT_FALSE(flags.unwrittenChanges);
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::changesDropped.arg(6).arg(1006)});

    // Without changes, another relay is taken silently.
    op.clearShown();
    ASSERT_EQ(identify(5).outcome, Outcome::Identified);
    EXPECT_TRUE(op.shown().isEmpty());
}

TEST_F(IdentificationTest, anAddressThatDoesNotAnswerSaysSoAndLeavesNothingOfTheRelayBefore)
{
    ASSERT_EQ(identify(5).outcome, Outcome::Identified);
    flags.editingLocked = false;
    grid.setText(5, ConfigGrid::Value, QStringLiteral("45"));
    grid.mark(5);
    flags.unwrittenChanges = true;
    const IdentificationResult result = identify(2);
    EXPECT_EQ(result.outcome, Outcome::Silent);
    EXPECT_EQ(result.memo, QStringList{QStringLiteral("Связи с устройством №3 нет")});
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::changesDropped.arg(6).arg(1006)});
    EXPECT_EQ(device.networkAddress, 0);
    EXPECT_EQ(device.typeCode, 0) << "the pages of relay 6, its timer tab, go with it";
    EXPECT_TRUE(device.deviceName.isEmpty());
    EXPECT_TRUE(flags.editingLocked) << "relay 6's password opens nothing any more";
    EXPECT_FALSE(session.valuesOwner) << "a file loaded now is for no relay";
    EXPECT_FALSE(grid.isMarked(5));
    EXPECT_EQ(grid.text(5, ConfigGrid::Value), QString());
    EXPECT_FALSE(flags.unwrittenChanges);
    // Only the status query was sent to address 3, with the patient wait.
    ASSERT_FALSE(line.requests().isEmpty());
    EXPECT_EQ(quint8(line.requests().last()[0]), 3);
    EXPECT_EQ(quint8(line.requests().last()[1]), 0x07);
}

TEST_F(IdentificationTest, noSelectedLineAsksNothing)
{
    device.networkAddress = 6;
    const IdentificationResult result = identify(-1);
    EXPECT_EQ(result.outcome, Outcome::NoSelection);
    EXPECT_EQ(device.networkAddress, 0);
    EXPECT_EQ(line.requestCount(), 0);
}

TEST_F(IdentificationTest, aNameWithoutATypeDigitIsNotConnectedAndForgetsThePreviousRelay)
{
    ASSERT_EQ(identify(5).outcome, Outcome::Identified);
    QStringEncoder toCp1251("windows-1251");
    setName(1, toCp1251.encode(QStringLiteral("МИВ-0X")));
    const IdentificationResult result = identify(0);
    EXPECT_EQ(result.outcome, Outcome::NotConnected);
    EXPECT_TRUE(result.memo.isEmpty());
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::deviceNotConnected});
    EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Error);
    EXPECT_EQ(device.typeCode, 0);
    EXPECT_TRUE(device.deviceName.isEmpty());
    EXPECT_EQ(device.networkAddress, 0);
}

TEST_F(IdentificationTest, aRelaySilentAfterTheStatusQueryIsNotConnected)
{
    RelayLine::Faults faults;
    faults.answerRequests = 1;
    line.setFaults(1, faults);
    const IdentificationResult result = identify(0);
    EXPECT_EQ(result.outcome, Outcome::NotConnected);
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::deviceNotConnected});
    EXPECT_TRUE(device.deviceName.isEmpty());
}

TEST_F(IdentificationTest, aSecondReadWithoutDataLeavesZerosAsTheRelaySaid)
{
    RelayLine::Faults faults;
    faults.answerRequests = 2;
    line.setFaults(6, faults);
    const IdentificationResult result = identify(5);
    ASSERT_EQ(result.outcome, Outcome::Identified);
    EXPECT_EQ(device.configuredAddress, 0);
    EXPECT_EQ(device.interfaceWord, 0);
    EXPECT_EQ(device.password, QString(4, QChar(0)));
    EXPECT_EQ(result.memo.mid(4), (QStringList{"", "", "", ""}));
}

TEST_F(IdentificationTest, aFailingStatusQueryResetsThePortAndGoesOn)
{
    port.close();
    const IdentificationResult result = identify(0);
    EXPECT_EQ(reopens, 1);
    EXPECT_EQ(result.outcome, Outcome::Identified);
}

TEST_F(IdentificationTest, aPortThatStaysGoneIsToldAsLostNeverACrash)
{
    port.vanish();
    const IdentificationResult result = identify(0);
    EXPECT_EQ(result.outcome, Outcome::NotConnected);
    ASSERT_EQ(op.shownTexts().size(), 1);
    EXPECT_TRUE(op.shownTexts()[0].startsWith(QStringLiteral("Связь с портом потеряна")))
            << "the port is lost, not the relay";
}

} // namespace
