#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace miv::cli {

// A DATE of --since or --until on the PC's local time: "yyyy-MM-dd",
// "dd.MM.yyyy" or "yyyy-MM-ddTHH:mm[:ss[.zzz]]" (ISO 8601, a zone allowed).
// --since begins where what DATE names begins; --until ends where it ends: a
// day alone at the midnight after it, a minute at the next minute, a second
// at the next second, so that `--until 2026-01-01T00:01` takes that minute's
// entries. nullopt when the text is no date.
enum class DateBound { Since, Until };
std::optional<QDateTime> parseDateBound(const QString &text, DateBound bound);

} // namespace miv::cli
