#pragma once

#include <QString>

namespace miv {

// The program formats dates and times itself with these fixed patterns, so
// that what the operator sees does not change with the PC's regional settings
// (nor with later changes of them while the program runs).
namespace TextFormats {
inline constexpr char16_t dateSeparator = u'.';
inline constexpr char16_t timeSeparator = u':';
inline const QString shortDate = QStringLiteral("dd.MM.yyyy");
inline const QString shortTime = QStringLiteral("HH:mm:ss");
inline const QString longTime = shortTime;
} // namespace TextFormats

} // namespace miv
