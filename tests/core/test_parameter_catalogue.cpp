#include "core/ParameterCatalogue.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>
#include <QSet>

using namespace miv;

namespace {

TEST(ParameterCatalogue, namesThatAreEasyToGetWrongAreExact)
{
    const ParameterCatalogue catalogue;
    // Latin C after the degree sign, a blank before the comma, the " 30" of row 21.
    EXPECT_EQ(catalogue.record(12).name.toUtf8(),
              QByteArray("Максимальная температура, \xC2\xB0"
                         "C"));
    EXPECT_EQ(catalogue.record(2).name, QStringLiteral("Номинальный ток 2-й ступени , А"));
    EXPECT_EQ(catalogue.record(21).max, QStringLiteral(" 30"));
    EXPECT_EQ(catalogue.record(22).max, QStringLiteral("30"));
    EXPECT_EQ(catalogue.record(31).name, QStringLiteral("Алгоритм накачки/выкачки резервуара"));
    EXPECT_EQ(catalogue.record(33).name, QStringLiteral("Пароль"));
}

TEST(ParameterCatalogue, registersOfTheBlocks)
{
    const ParameterCatalogue catalogue;
    for (int row = 0; row <= 11; ++row)
        EXPECT_EQ(catalogue.registerAddress(row), 0x50 + row) << row;
    for (int row = 12; row <= 22; ++row)
        EXPECT_EQ(catalogue.registerAddress(row), 0x60 + row - 12) << row;
    for (int row = 23; row <= 28; ++row)
        EXPECT_EQ(catalogue.registerAddress(row), 0x80) << row;
    for (int row = 29; row <= 31; ++row)
        EXPECT_EQ(catalogue.registerAddress(row), 0x81) << row;
    EXPECT_EQ(registerColumnText(catalogue.registerAddress(10)), QStringLiteral("005A"));
    EXPECT_EQ(catalogue.registerAddress(32), 0x70);
    EXPECT_EQ(catalogue.registerAddress(33), 0x42);
}

TEST(ParameterCatalogue, numericRowsHaveStepsAndLimitsOthersNone)
{
    const ParameterCatalogue catalogue;
    for (int row = 0; row < ConfigRow::count; ++row) {
        const bool numeric = row <= ConfigRow::lastNumeric;
        EXPECT_EQ(catalogue.isNumeric(row), numeric) << row;
        EXPECT_EQ(catalogue.storedLimits(row).has_value(), numeric) << row;
    }
    EXPECT_EQ(catalogue.storedLimits(21), (RawLimits{1, 30}));
    EXPECT_EQ(catalogue.storedLimits(3), (RawLimits{11, 60}));
    EXPECT_EQ(catalogue.step(3), QStringLiteral(".1"));
    EXPECT_EQ(catalogue.step(7), QStringLiteral(".1"));
    EXPECT_EQ(catalogue.step(18), QStringLiteral(".1"));
}

TEST(ParameterCatalogue, resolutionBandsOfRowsOneAndTwo)
{
    struct Case
    {
        int ratio;
        const char *expected;
    };
    // Each ratio is applied after the one before: 0 and 250 keep what was there.
    const Case cases[] = {{0, ".01"}, {2, ".01"}, {3, ".1"},  {0, ".1"},    {20, ".1"}, {21, "1"},
                          {250, "1"}, {200, "1"}, {1, ".01"}, {250, ".01"}, {-5, ".01"}};
    ParameterCatalogue catalogue;
    for (const Case &c : cases) {
        catalogue.applyRatio(c.ratio);
        EXPECT_EQ(catalogue.step(1), QString::fromLatin1(c.expected)) << c.ratio;
        EXPECT_EQ(catalogue.step(2), QString::fromLatin1(c.expected)) << c.ratio;
        EXPECT_EQ(catalogue.step(3), QStringLiteral(".1")) << "other rows never change";
    }
    // The constant table is not touched by one catalogue's state.
    EXPECT_EQ(ParameterCatalogue::defaults()[1].step, QStringLiteral(".01"));
    EXPECT_EQ(ParameterCatalogue().step(1), QStringLiteral(".01"));
}

TEST(ParameterCatalogue, ratioLimitsOfRowsOneAndTwo)
{
    EXPECT_EQ(ratioLimits(1, QStringLiteral(".01")), (RawLimits{100, 500}));
    EXPECT_EQ(ratioLimits(2, QStringLiteral(".01")), (RawLimits{200, 999})); // 1000 becomes 999
    EXPECT_EQ(ratioLimits(10, QStringLiteral(".1")), (RawLimits{100, 500}));
    EXPECT_EQ(ratioLimits(20, QStringLiteral(".1")), (RawLimits{200, 999}));
    EXPECT_EQ(ratioLimits(21, QStringLiteral("1")), (RawLimits{21, 105}));
    EXPECT_EQ(ratioLimits(200, QStringLiteral("1")), (RawLimits{200, 999}));
    EXPECT_EQ(ratioLimits(50, QStringLiteral("1")), (RawLimits{50, 250}));
    EXPECT_EQ(ratioLimits(65535, QStringLiteral(".01")), (RawLimits{65535, 65535}));
}

TEST(ParameterCatalogue, switchBitsOfRowsTwentyThreeToThirtyOne)
{
    const int expected[][3] = {{23, 0, 2}, {24, 0, 1}, {25, 0, 0}, {26, 0, 5}, {27, 0, 4},
                               {28, 0, 3}, {29, 1, 2}, {30, 1, 1}, {31, 1, 0}};
    for (const auto &e : expected) {
        const auto bit = switchBitOf(e[0]);
        ASSERT_TRUE(bit) << e[0];
        EXPECT_EQ(bit->word, e[1]) << e[0];
        EXPECT_EQ(bit->bit, e[2]) << e[0];
    }
    EXPECT_FALSE(switchBitOf(22));
    EXPECT_FALSE(switchBitOf(32));
    EXPECT_EQ(onOffTexts[0], QStringLiteral("откл."));
    EXPECT_EQ(onOffTexts[1], QStringLiteral("вкл."));
}

TEST(eventNameTable, codesNamesAndLookup)
{
    const auto &table = eventNameTable();
    QSet<int> codes;
    for (const EventName &entry : table) {
        EXPECT_EQ(entry.code.size(), 3);
        codes.insert(entry.code.toInt());
    }
    QSet<int> expected;
    for (int c = 1; c <= 16; ++c)
        expected.insert(c);
    for (int c = 30; c <= 45; ++c)
        expected.insert(c);
    for (int c = 60; c <= 62; ++c)
        expected.insert(c);
    EXPECT_EQ(codes, expected);

    ASSERT_NE(findEvent(1), nullptr);
    EXPECT_EQ(findEvent(1)->name, QStringLiteral("Включениие питания реле"));
    EXPECT_EQ(findEvent(10)->name, QStringLiteral("Разрешение по входу \"ПУСК\""));
    EXPECT_EQ(findEvent(62)->name, QStringLiteral("Сработал датчик \"Сухой ход\""));
    EXPECT_EQ(findEvent(30)->name, QStringLiteral("Превышения напряжения"));
    // Cyrillic phase letters А, В, С (U+0410, U+0412, U+0421).
    EXPECT_EQ(findEvent(33)->name.back().unicode(), 0x0410);
    EXPECT_EQ(findEvent(34)->name.back().unicode(), 0x0412);
    EXPECT_EQ(findEvent(35)->name.back().unicode(), 0x0421);
    EXPECT_EQ(findEvent(17), nullptr);
    EXPECT_EQ(findEvent(0), nullptr);
    EXPECT_EQ(findEvent(63), nullptr);
}

} // namespace
