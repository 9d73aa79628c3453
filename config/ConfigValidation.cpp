#include "config/ConfigValidation.h"

#include "core/CurrentDevice.h"
#include "core/Texts.h"

#include <QRegularExpression>

namespace miv {

namespace ConfigValidation {
namespace {

bool isRatioDependent(int row)
{
    return row == ConfigRow::nominalCurrent || row == ConfigRow::secondStageCurrent;
}

// The number as a register value at the given number of decimals, when the
// text is a plain decimal number with no more decimals than that.
std::optional<quint32> exactRaw(const QString &text, int decimals, QChar decimalSeparator)
{
    static const QRegularExpression plain(
            QStringLiteral("^\\s*(\\d{1,6})(?:[.,](\\d{1,6}))?\\s*$"));
    const QRegularExpressionMatch match = plain.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    // Only the system's separator or a full stop: "1,5" on a system that writes
    // "1.5" is taken too, since settings files travel between PCs.
    const qsizetype separatorAt = match.capturedStart(2) - 1;
    if (match.hasCaptured(2) && text[separatorAt] != decimalSeparator && text[separatorAt] != u'.'
        && text[separatorAt] != u',')
        return std::nullopt;
    QString fraction = match.captured(2);
    while (fraction.size() > decimals && fraction.endsWith(u'0'))
        fraction.chop(1);
    if (fraction.size() > decimals)
        return std::nullopt; // finer than the row's step
    fraction = fraction.leftJustified(decimals, u'0');
    quint32 scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    return match.captured(1).toUInt() * scale + (decimals ? fraction.toUInt() : 0);
}

RowCheck rejected()
{
    return {};
}

RowCheck checkSwitch(int row, const QString &text, int deviceType)
{
    const QString value = text.trimmed();
    const bool switchText = value == onOffTexts[0] || value == onOffTexts[1];
    if (row == ConfigRow::tankAlgorithm && !relayTypeHasTimer(deviceType)) {
        if (switchText || value == Texts::functionOff)
            return {Verdict::LeaveAsIs, std::nullopt, Texts::functionOff};
        return rejected();
    }
    if (!switchText)
        return rejected();
    return {Verdict::Accepted, std::nullopt, value};
}

} // namespace

std::optional<int> ratioFromText(const QString &text, QChar decimalSeparator)
{
    const auto raw = exactRaw(text, 0, decimalSeparator);
    if (!raw || *raw < 1 || *raw > 200)
        return std::nullopt;
    return int(*raw);
}

QString stepOfCurrentRow(const ParameterCatalogue &catalogue, int row, std::optional<int> ratio)
{
    if (isRatioDependent(row) && ratio)
        if (const auto step = resolutionForRatio(*ratio))
            return *step;
    return catalogue.step(row);
}

RowCheck checkRow(const ParameterCatalogue &catalogue, int row, const QString &text,
                  std::optional<int> ratio, int deviceType, QChar decimalSeparator)
{
    if (row < 0 || row > ConfigRow::lastSwitch)
        return rejected();
    if (catalogue.isSwitch(row))
        return checkSwitch(row, text, deviceType);

    const QString step = stepOfCurrentRow(catalogue, row, ratio);
    const auto decimals = decimalsOfStep(step);
    if (!decimals)
        return rejected();
    std::optional<RawLimits> limits;
    if (isRatioDependent(row)) {
        if (!ratio)
            return rejected();
        limits = ratioLimits(*ratio, step);
    } else {
        limits = catalogue.storedLimits(row);
    }
    const auto raw = exactRaw(text, *decimals, decimalSeparator);
    if (!limits || !raw || *raw < limits->minimum || *raw > limits->maximum)
        return rejected();
    return {Verdict::Accepted, quint16(*raw), formatValue(step, quint16(*raw), decimalSeparator)};
}

} // namespace ConfigValidation

} // namespace miv
