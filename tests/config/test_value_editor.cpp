#include "QtPrinters.h"
#include "config/ValueEditor.h"
#include "core/ParameterCatalogue.h"

#include <gtest/gtest.h>

using namespace miv;

namespace {

Operator::ValueEditRequest request(const char *step, quint16 minimum, quint16 maximum,
                                   const char *text = "")
{
    Operator::ValueEditRequest r;
    r.caption = QStringLiteral("Кратность перегрузки");
    r.stepText = QString::fromUtf8(step);
    r.minimum = minimum;
    r.maximum = maximum;
    r.initialText = QString::fromUtf8(text);
    return r;
}

ValueEditor editor(const char *step, quint16 minimum, quint16 maximum)
{
    return ValueEditor(request(step, minimum, maximum), QChar(u','));
}

TEST(ValueEditor, rangeLineOfRowsOneAndTwoByRatio)
{
    const struct
    {
        int ratio;
        const char *range;
    } cases[] = {
            {2, "Диапазон значений [2,00..9,99] с шагом .01"},
            {1, "Диапазон значений [1,00..5,00] с шагом .01"},
            {20, "Диапазон значений [20,0..99,9] с шагом .1"},
            {3, "Диапазон значений [3,0..15,0] с шагом .1"},
            {200, "Диапазон значений [200..999] с шагом 1"},
            {21, "Диапазон значений [21..105] с шагом 1"},
    };
    for (const auto &c : cases) {
        const QString step = *resolutionForRatio(c.ratio);
        const RawLimits limits = ratioLimits(c.ratio, step);
        Operator::ValueEditRequest r;
        r.stepText = step;
        r.minimum = limits.minimum;
        r.maximum = limits.maximum;
        EXPECT_EQ(ValueEditor(r, QChar(u',')).rangeText(), QString::fromUtf8(c.range)) << c.ratio;
    }
    EXPECT_EQ(editor(".1", 2, 10).rangeText(),
              QStringLiteral("Диапазон значений [0,2..1,0] с шагом .1"));
}

TEST(ValueEditor, everyValueInsideAnyRowsLimitsFitsTheField)
{
    ParameterCatalogue catalogue;
    auto fits = [](const QString &step, RawLimits limits) {
        for (int raw = limits.minimum; raw <= limits.maximum; ++raw)
            if (formatValue(step, quint16(raw), QChar(u',')).size() > ValueEditor::fieldLength)
                return false;
        return true;
    };
    for (int row = 0; row <= ConfigRow::lastNumeric; ++row) {
        if (row != 1 && row != 2) {
            EXPECT_TRUE(fits(catalogue.step(row), *catalogue.storedLimits(row))) << row;
        }
    }
    for (int ratio = 1; ratio <= 200; ++ratio) {
        const QString step = *resolutionForRatio(ratio);
        EXPECT_TRUE(fits(step, ratioLimits(ratio, step))) << ratio;
    }
    // A longer text from outside the limits is never cut.
    EXPECT_EQ(ValueEditor(request(".01", 200, 999, "250,00"), QChar(u',')).maxLength(), 6);
}

TEST(ValueEditor, keyFilter)
{
    const ValueEditor tenths = editor(".1", 11, 60);
    const ValueEditor whole = editor("1", 1, 300);
    const struct
    {
        const ValueEditor *editor;
        QChar key;
        const char *field;
        std::optional<QChar> typed;
    } cases[] = {
            {&tenths, u'5', "", u'5'},
            {&tenths, u'0', "5,", u'0'},
            {&tenths, u'.', "5", u','}, // a full stop goes in as the comma
            {&tenths, u',', "5", u','},
            {&tenths, u',', "5,5", std::nullopt}, // a second comma
            {&tenths, u'.', "5,", std::nullopt},
            {&whole, u',', "5", std::nullopt},
            {&whole, u'.', "", std::nullopt},
            {&whole, u'-', "", std::nullopt},
            {&whole, u'e', "1", std::nullopt},
            {&whole, u' ', "1", std::nullopt},
            {&whole, QChar(0x0661), "", std::nullopt}, // an Arabic-Indic one is no digit here
            {&tenths, u'a', "", std::nullopt},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.editor->filterKey(c.key, QString::fromUtf8(c.field)), c.typed)
                << QString(c.key).toStdString() << " into " << c.field;
    }
}

TEST(ValueEditor, typingFiveStopFiveGivesFiveCommaFive)
{
    const ValueEditor tenths = editor(".1", 11, 60);
    QString field;
    for (QChar key : QStringLiteral("5.5,"))
        if (const auto typed = tenths.filterKey(key, field))
            field += *typed;
    EXPECT_EQ(field, QStringLiteral("5,5"));
}

TEST(ValueEditor, spinButtonsMoveOneStepAndSaturate)
{
    const ValueEditor tenths = editor(".1", 11, 60);
    const struct
    {
        const char *field;
        const char *down;
        const char *up;
    } cases[] = {
            {"2,5", "2,4", "2,6"},  {"1,1", "1,1", "1,2"}, // down from the minimum stays
            {"6,0", "5,9", "6,0"}, // up from the maximum stays
            {"0,5", "1,1", "1,1"}, // below: to the minimum
            {"9,9", "6,0", "6,0"}, // above: to the maximum, not maximum + 1
            {"9999", "6,0", "6,0"}, // beyond a register: above every limit
            {"2,55", "2,5", "2,7"}, // 2,55 reads as 26 (ties to even)
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tenths.spinDown(QString::fromUtf8(c.field)), QString::fromUtf8(c.down))
                << c.field;
        EXPECT_EQ(tenths.spinUp(QString::fromUtf8(c.field)), QString::fromUtf8(c.up)) << c.field;
    }
    EXPECT_EQ(tenths.spinUp(QString()), std::nullopt);
    EXPECT_EQ(tenths.spinDown(QStringLiteral(",")), std::nullopt);

    const ValueEditor hundredths = editor(".01", 200, 999);
    EXPECT_EQ(hundredths.spinUp(QStringLiteral("9,98")), QStringLiteral("9,99"));
    EXPECT_EQ(hundredths.spinUp(QStringLiteral("9,99")), QStringLiteral("9,99"));
    EXPECT_EQ(hundredths.spinDown(QStringLiteral("2,00")), QStringLiteral("2,00"));
}

TEST(ValueEditor, okClampsWithTheMessagesAndRefusesNoNumber)
{
    const ValueEditor tenths = editor(".1", 11, 60);
    const struct
    {
        const char *field;
        std::optional<quint16> value;
        const char *text;
        QStringList messages;
    } cases[] = {
            {"2,5", 25, "2,5", {}},
            {"3", 30, "3,0", {}},
            {"3,", 30, "3,0", {}},
            {",5", 11, "1,1", {ValueEditor::belowMinimum}},
            {"0", 11, "1,1", {ValueEditor::belowMinimum}},
            {"7", 60, "6,0", {ValueEditor::aboveMaximum}},
            {"9999", 60, "6,0", {ValueEditor::aboveMaximum}},
            {"", std::nullopt, "", {}},
            {",", std::nullopt, "", {}},
            {"1,2,", std::nullopt, "", {}},
            {"-5", std::nullopt, "", {}},
            {"abc", std::nullopt, "", {}},
    };
    for (const auto &c : cases) {
        const auto accepted = tenths.accept(QString::fromUtf8(c.field));
        ASSERT_EQ(accepted.has_value(), c.value.has_value()) << c.field;
        if (!accepted)
            continue;
        EXPECT_EQ(accepted->value, *c.value) << c.field;
        EXPECT_EQ(accepted->text, QString::fromUtf8(c.text)) << c.field;
        EXPECT_EQ(accepted->clampMessages, c.messages) << c.field;
    }
    EXPECT_EQ(ValueEditor::belowMinimum, QStringLiteral("Значение меньше минимально допустимого"));
    EXPECT_EQ(ValueEditor::aboveMaximum, QStringLiteral("Значение больше максимально допустимого"));
}

TEST(ValueEditor, aSystemThatWritesAFullStop)
{
    const ValueEditor tenths(request(".1", 11, 60), QChar(u'.'));
    EXPECT_EQ(tenths.filterKey(u',', QStringLiteral("5")), QChar(u'.'));
    EXPECT_EQ(tenths.accept(QStringLiteral("5.5"))->text, QStringLiteral("5.5"));
    EXPECT_EQ(tenths.rangeText(), QStringLiteral("Диапазон значений [1.1..6.0] с шагом .1"));
}

} // namespace
