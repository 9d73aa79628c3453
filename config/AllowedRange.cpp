#include "config/AllowedRange.h"

#include "config/ConfigValidation.h"

namespace miv {

namespace AllowedRange {

std::optional<RawLimits> of(const ParameterCatalogue &catalogue, int row, std::optional<int> ratio)
{
    if (row < 0 || row > ConfigRow::lastNumeric)
        return std::nullopt;
    if (row != ConfigRow::nominalCurrent && row != ConfigRow::secondStageCurrent)
        return catalogue.storedLimits(row);
    if (!ratio)
        return std::nullopt;
    return ratioLimits(*ratio, ConfigValidation::stepOfCurrentRow(catalogue, row, ratio));
}

QString text(const ParameterCatalogue &catalogue, int row, std::optional<int> ratio,
             QChar decimalSeparator)
{
    const std::optional<RawLimits> limits = of(catalogue, row, ratio);
    if (!limits)
        return {};
    const QString step = ConfigValidation::stepOfCurrentRow(catalogue, row, ratio);
    return formatValue(step, limits->minimum, decimalSeparator) + QStringLiteral(" … ")
            + formatValue(step, limits->maximum, decimalSeparator);
}

QString switchText()
{
    return onOffTexts[1] + QStringLiteral(" / ") + onOffTexts[0];
}

} // namespace AllowedRange

} // namespace miv
