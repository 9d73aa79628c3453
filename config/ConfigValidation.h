#pragma once

#include "core/ParameterCatalogue.h"
#include "core/ValueFormat.h"

#include <optional>
#include <QString>

namespace miv {

// The check every configuration value passes before it may reach a relay:
// when a settings file is loaded and again when the marked rows are written.
// A value the program itself formatted always passes.
namespace ConfigValidation {

enum class Verdict {
    Accepted, // the text is a valid value for the row
    Rejected, // not a number of the row's step, outside its limits, or no switch text
    LeaveAsIs, // row 31 on a relay without the tank algorithm: nothing to take
};

struct RowCheck
{
    Verdict verdict = Verdict::Rejected;
    std::optional<quint16> raw; // numeric rows: the register value
    QString text; // the value as the grid shows it (system separator)
};

// The ratio that rows 1 and 2 follow, from the text of row 0; nullopt when
// that text is no valid ratio.
std::optional<int> ratioFromText(const QString &text,
                                 QChar decimalSeparator = systemDecimalSeparator());

// Checks the value text of a row 0..31. Numeric rows take a plain decimal
// number (the system's separator or a full stop, no more decimals than the
// row's step, no sign, no exponent) within the row's limits; rows 1 and 2 take
// their resolution and limits from `ratio` and are rejected without one.
// Switch rows take "вкл." or "откл."; row 31 does so on a relay of type 6 and
// on any other relay leaves the row as it is for these texts and the disabled
// text. Rows 32 and 33 are never written and are always rejected.
RowCheck checkRow(const ParameterCatalogue &catalogue, int row, const QString &text,
                  std::optional<int> ratio, int deviceType,
                  QChar decimalSeparator = systemDecimalSeparator());

// The resolution rows 1 and 2 take at this ratio: the band's, or the
// catalogue's current one when the ratio leaves it unchanged.
QString stepOfCurrentRow(const ParameterCatalogue &catalogue, int row, std::optional<int> ratio);

} // namespace ConfigValidation

} // namespace miv
