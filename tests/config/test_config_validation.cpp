#include "QtPrinters.h"
#include "config/ConfigValidation.h"
#include "core/Texts.h"

#include <gtest/gtest.h>

using namespace miv;

namespace {

using ConfigValidation::Verdict;

struct Case
{
    int row;
    const char *text;
    std::optional<int> ratio;
    int type;
    Verdict verdict;
    std::optional<quint16> raw;
    const char *shown;
};

TEST(ConfigValidation, valuesThatMayReachARelay)
{
    // Held for the whole table: a temporary's bytes would be gone before the loop.
    const QByteArray functionOff = Texts::functionOff.toUtf8();
    const Case cases[] = {
            // numeric rows at their steps
            {5, "30", 10, 4, Verdict::Accepted, 30, "30"},
            {3, "2,5", 10, 4, Verdict::Accepted, 25, "2,5"},
            {3, "2.5", 10, 4, Verdict::Accepted, 25, "2,5"}, // a file from a PC with a full stop
            {3, "2,50", 10, 4, Verdict::Accepted, 25, "2,5"},
            {3, "2,55", 10, 4, Verdict::Rejected, {}, ""}, // finer than the step
            {3, "6,1", 10, 4, Verdict::Rejected, {}, ""}, // above 60 raw
            {3, "1", 10, 4, Verdict::Rejected, {}, ""}, // below 11 raw
            {5, "70000", 10, 4, Verdict::Rejected, {}, ""}, // never wrapped into 4464
            {5, "4464", 10, 4, Verdict::Rejected, {}, ""},
            {5, "-30", 10, 4, Verdict::Rejected, {}, ""},
            {5, "3e1", 10, 4, Verdict::Rejected, {}, ""},
            {5, "", 10, 4, Verdict::Rejected, {}, ""},
            {5, "abc", 10, 4, Verdict::Rejected, {}, ""},
            {5, functionOff.constData(), 10, 4, Verdict::Rejected, {}, ""},
            {8, "220", 10, 4, Verdict::Accepted, 220, "220"},
            {8, "230", 10, 4, Verdict::Rejected, {}, ""},
            {21, "30", 10, 4, Verdict::Accepted, 30, "30"}, // the " 30" maximum reads as 30
            {21, "31", 10, 4, Verdict::Rejected, {}, ""},
            {0, "200", 200, 4, Verdict::Accepted, 200, "200"},
            {0, "201", 201, 4, Verdict::Rejected, {}, ""},
            // rows 1 and 2 follow the ratio
            {1, "4,75", 2, 4, Verdict::Accepted, 475, "4,75"},
            {1, "10,00", 2, 4, Verdict::Rejected, {}, ""}, // 1000 becomes 999
            {1, "9,99", 2, 4, Verdict::Accepted, 999, "9,99"},
            {1, "1,99", 2, 4, Verdict::Rejected, {}, ""},
            {2, "50,0", 10, 4, Verdict::Accepted, 500, "50,0"},
            {2, "50,05", 10, 4, Verdict::Rejected, {}, ""},
            {1, "150", 50, 4, Verdict::Accepted, 150, "150"},
            {1, "150", std::nullopt, 4, Verdict::Rejected, {}, ""}, // no ratio, no limits
            // switches
            {24, "вкл.", 10, 4, Verdict::Accepted, {}, "вкл."},
            {24, " откл. ", 10, 4, Verdict::Accepted, {}, "откл."},
            {24, "вкл", 10, 4, Verdict::Rejected, {}, ""},
            {24, "1", 10, 4, Verdict::Rejected, {}, ""},
            {31, "вкл.", 10, 6, Verdict::Accepted, {}, "вкл."},
            {31, functionOff.constData(), 10, 6, Verdict::Rejected, {}, ""},
            {31, functionOff.constData(), 10, 4, Verdict::LeaveAsIs, {}, ""},
            {31, "вкл.", 10, 4, Verdict::LeaveAsIs, {}, ""},
            {31, "что-то", 10, 4, Verdict::Rejected, {}, ""},
            {32, "0", 10, 4, Verdict::Rejected, {}, ""},
    };
    const ParameterCatalogue catalogue;
    for (const Case &c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const auto check =
                ConfigValidation::checkRow(catalogue, c.row, text, c.ratio, c.type, u',');
        EXPECT_EQ(check.verdict, c.verdict) << "row " << c.row << " text " << c.text;
        EXPECT_EQ(check.raw, c.raw) << "row " << c.row << " text " << c.text;
        if (c.verdict == Verdict::Accepted) {
            EXPECT_EQ(check.text, QString::fromUtf8(c.shown)) << "row " << c.row;
        }
    }
}

TEST(ConfigValidation, everyValueTheProgramFormatsPasses)
{
    const ParameterCatalogue catalogue;
    for (int row = 0; row <= ConfigRow::lastNumeric; ++row) {
        if (row == ConfigRow::nominalCurrent || row == ConfigRow::secondStageCurrent)
            continue;
        const RawLimits limits = *catalogue.storedLimits(row);
        for (const quint16 raw : {limits.minimum, limits.maximum}) {
            for (const QChar separator : {QChar(u','), QChar(u'.')}) {
                const QString text = formatValue(catalogue.step(row), raw, separator);
                const auto check =
                        ConfigValidation::checkRow(catalogue, row, text, 10, 4, separator);
                EXPECT_EQ(check.verdict, Verdict::Accepted)
                        << "row " << row << " " << text.toStdString();
                EXPECT_EQ(check.raw, raw);
            }
        }
    }
    for (int ratio : {1, 2, 3, 20, 21, 200}) {
        const QString step = *resolutionForRatio(ratio);
        const RawLimits limits = ratioLimits(ratio, step);
        for (const quint16 raw : {limits.minimum, limits.maximum}) {
            const auto check = ConfigValidation::checkRow(
                    catalogue, 1, formatValue(step, raw, u','), ratio, 4, u',');
            EXPECT_EQ(check.verdict, Verdict::Accepted) << "ratio " << ratio << " raw " << raw;
        }
    }
}

TEST(ConfigValidation, ratioText)
{
    EXPECT_EQ(ConfigValidation::ratioFromText(QStringLiteral("10"), u','), 10);
    EXPECT_EQ(ConfigValidation::ratioFromText(QStringLiteral(" 200 "), u','), 200);
    EXPECT_EQ(ConfigValidation::ratioFromText(QStringLiteral("0"), u','), std::nullopt);
    EXPECT_EQ(ConfigValidation::ratioFromText(QStringLiteral("201"), u','), std::nullopt);
    EXPECT_EQ(ConfigValidation::ratioFromText(QStringLiteral("1,5"), u','), std::nullopt);
    EXPECT_EQ(ConfigValidation::ratioFromText(Texts::functionOff, u','), std::nullopt);
}

} // namespace
