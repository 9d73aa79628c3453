#include "core/ValueFormat.h"

#include <algorithm>

namespace miv {

std::optional<int> decimalsOfStep(const QString &step)
{
    if (step == QStringLiteral("1"))
        return 0;
    if (step == QStringLiteral(".1"))
        return 1;
    if (step == QStringLiteral(".01"))
        return 2;
    return std::nullopt;
}

QString formatValue(const QString &step, quint16 raw, QChar decimalSeparator)
{
    const auto decimals = decimalsOfStep(step);
    if (!decimals)
        return {};
    if (*decimals == 0)
        return QString::number(raw);
    // Integer arithmetic: a 16-bit value has at most five significant digits,
    // so the fixed-point text is always exact.
    const int divisor = *decimals == 1 ? 10 : 100;
    return QString::number(raw / divisor) + decimalSeparator
            + QStringLiteral("%1").arg(raw % divisor, *decimals, 10, QChar(u'0'));
}

namespace {

// A decimal number taken apart: its digits and where the point stands in them.
struct DecimalText
{
    bool negative = false;
    QString digits; // every digit, integer part then fraction
    qint64 pointAt = 0; // digits before the decimal point
};

std::optional<DecimalText> splitDecimal(const QString &input, QChar separator)
{
    const QString text = input.trimmed();
    DecimalText result;
    int i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        result.negative = text[i++] == u'-';
    int integerDigits = 0;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
        result.digits += text[i++];
        ++integerDigits;
    }
    if (i < text.size() && text[i] == separator) {
        ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128)
            result.digits += text[i++];
    }
    if (result.digits.isEmpty())
        return std::nullopt;
    qint64 exponent = 0;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            negativeExponent = text[i++] == u'-';
        int exponentDigits = 0;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
            exponent = std::min<qint64>(exponent * 10 + text[i++].digitValue(), 100000);
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != text.size())
        return std::nullopt;
    result.pointAt = integerDigits + exponent;
    return result;
}

bool allZero(QStringView digits)
{
    return std::all_of(digits.begin(), digits.end(), [](QChar c) { return c == u'0'; });
}

} // namespace

std::optional<quint16> parseValue(const QString &step, const QString &text, QChar decimalSeparator)
{
    const auto decimals = decimalsOfStep(step);
    if (!decimals)
        return std::nullopt;
    auto number = splitDecimal(text, decimalSeparator);
    if (!number)
        return std::nullopt;
    number->pointAt += *decimals; // scaled by 1, 10 or 100

    // Split into the integer part and the rest, exactly.
    QString digits = number->digits;
    if (number->pointAt <= 0) {
        digits = QString(qsizetype(std::min<qint64>(-number->pointAt, 1000)), u'0') + digits;
        number->pointAt = 0;
    }
    if (number->pointAt > digits.size()) {
        if (number->pointAt > 1000)
            return allZero(digits) ? std::optional<quint16>(0) : std::nullopt;
        digits += QString(qsizetype(number->pointAt - digits.size()), u'0');
    }
    QString integerPart = digits.left(qsizetype(number->pointAt));
    const QString fraction = digits.mid(qsizetype(number->pointAt));
    while (integerPart.size() > 1 && integerPart.front() == u'0')
        integerPart.remove(0, 1);
    if (integerPart.size() > 6)
        return std::nullopt;
    qint64 value = integerPart.isEmpty() ? 0 : integerPart.toLongLong();

    // Round to nearest, ties to even.
    if (!fraction.isEmpty()) {
        const int first = fraction.front().digitValue();
        const bool restZero = allZero(QStringView(fraction).mid(1));
        if (first > 5 || (first == 5 && !restZero) || (first == 5 && restZero && value % 2 == 1))
            ++value;
    }
    if (number->negative)
        value = -value;
    if (value < 0 || value > 65535)
        return std::nullopt;
    return quint16(value);
}

} // namespace miv
