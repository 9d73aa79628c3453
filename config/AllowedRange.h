#pragma once

#include "core/ParameterCatalogue.h"
#include "core/ValueFormat.h"

#include <optional>
#include <QString>

namespace miv {

// What a numeric row may hold, as the value editor offers it: the catalogue's
// limits, or for rows 1 and 2 those the transformation ratio gives.
namespace AllowedRange {

// The raw limits of a row 0..22 at `ratio` (rows 1 and 2 have none without a
// ratio); nullopt for the other rows.
std::optional<RawLimits> of(const ParameterCatalogue &catalogue, int row, std::optional<int> ratio);

// "1 … 200", "2,00 … 9,99": the limits at the row's resolution at `ratio`;
// empty for a row without limits.
QString text(const ParameterCatalogue &catalogue, int row, std::optional<int> ratio,
             QChar decimalSeparator = systemDecimalSeparator());

// "вкл. / откл.": what a switch row takes.
QString switchText();

} // namespace AllowedRange

} // namespace miv
