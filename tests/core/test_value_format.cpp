#include "core/ValueFormat.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace miv;

namespace {

const QChar comma(u',');
const QChar point(u'.');

TEST(FormatValue, byResolutionWithEitherSeparator)
{
    struct Case
    {
        const char *step;
        quint16 raw;
        const char *withComma;
        const char *withPoint;
    };
    const Case cases[] = {
            {"1", 0, "0", "0"},
            {"1", 220, "220", "220"},
            {"1", 65535, "65535", "65535"},
            {".1", 5, "0,5", "0.5"},
            {".1", 11, "1,1", "1.1"},
            {".1", 60, "6,0", "6.0"},
            {".1", 65535, "6553,5", "6553.5"},
            {".01", 999, "9,99", "9.99"},
            {".01", 5, "0,05", "0.05"},
            {".01", 100, "1,00", "1.00"},
            {".01", 65535, "655,35", "655.35"},
            {"", 5, "", ""},
            {"0.1", 5, "", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(formatValue(QString::fromLatin1(c.step), c.raw, comma),
                  QString::fromLatin1(c.withComma))
                << c.step << " " << c.raw;
        EXPECT_EQ(formatValue(QString::fromLatin1(c.step), c.raw, point),
                  QString::fromLatin1(c.withPoint))
                << c.step << " " << c.raw;
    }
}

TEST(ParseValue, byResolutionWithEitherSeparator)
{
    struct Case
    {
        const char *step;
        const char *text; // with "," as the separator; the point variant is derived
        std::optional<quint16> expected;
    };
    const Case cases[] = {
            {".1", "1,1", 11},
            {".01", "9,99", 999},
            {".1", "0,5", 5},
            {"1", "220", 220},
            {".1", "6", 60},
            {".01", "2", 200},
            {"1", " 30 ", 30},
            {".1", "+2,5", 25},
            {".1", ",5", 5},
            {".1", "5,", 50},
            {"1", "1e2", 100},
            {".1", "1,5E1", 150},
            {"1", "65535", 65535},
            {".1", "6553,5", 65535},
            {".01", "655,35", 65535},
            // Ties go to the even neighbour, computed in decimal, not in binary floating point.
            {"1", "2,5", 2},
            {"1", "3,5", 4},
            {".01", "2,675", 268},
            {".01", "2,665", 266},
            {".1", "0,05", 0},
            {".1", "0,15", 2},
            {"1", "0,5000001", 1},
            {"1", "-0,4", 0},
            // Out of 16 bits: refused, never wrapped.
            {"1", "70000", std::nullopt},
            {"1", "65536", std::nullopt},
            {".1", "6553,6", std::nullopt},
            {".01", "655,36", std::nullopt},
            {"1", "-1", std::nullopt},
            {"1", "1e100000", std::nullopt},
            {"1", "99999999999999999999", std::nullopt},
            // Not numbers.
            {"1", "", std::nullopt},
            {"1", "abc", std::nullopt},
            {"1", "1,2,3", std::nullopt},
            {"1", "12a", std::nullopt},
            {"1", "e5", std::nullopt},
            {"1", "1e", std::nullopt},
            {"1", ",", std::nullopt},
            {"1", "--1", std::nullopt},
            {"", "5", std::nullopt},
    };
    for (const Case &c : cases) {
        const QString withComma = QString::fromUtf8(c.text);
        QString withPoint = withComma;
        withPoint.replace(u',', u'.');
        const QString step = QString::fromLatin1(c.step);
        EXPECT_EQ(parseValue(step, withComma, comma), c.expected)
                << c.step << " '" << c.text << "'";
        EXPECT_EQ(parseValue(step, withPoint, point), c.expected)
                << c.step << " '" << c.text << "'";
    }
}

TEST(ParseValue, theOtherSeparatorIsNotANumber)
{
    EXPECT_EQ(parseValue(QStringLiteral(".1"), QStringLiteral("1.1"), comma), std::nullopt);
    EXPECT_EQ(parseValue(QStringLiteral(".1"), QStringLiteral("1,1"), point), std::nullopt);
}

TEST(ParseValue, everyFormattedValueReadsBack)
{
    for (const char *step : {"1", ".1", ".01"})
        for (int raw = 0; raw <= 65535; raw += 97)
            EXPECT_EQ(parseValue(QString::fromLatin1(step),
                                 formatValue(QString::fromLatin1(step), quint16(raw), comma),
                                 comma),
                      quint16(raw))
                    << step << " " << raw;
}

} // namespace
