#pragma once

#include "link/BusCounters.h"

#include <QString>
#include <QStringList>

namespace miv {

// Plain hints for the operator where a relay's figures point at a cause on
// the line. A hint is given when its figure reaches `minimumCount` and
// `minimumShare` of the requests (noise: `minimumNoiseBytes` and
// `minimumNoiseShare` bytes per request), so that one glitch in a long run
// says nothing:
//   CRC errors          3, and 1 % of the requests
//   other address       3, and 1 % of the requests
//   late replies        3, and 1 % of the requests
//   noise bytes        16, and 10 % of the requests (bytes per request)
// A good RS-485 line shows none of them at all.
namespace LineHints {

inline constexpr quint64 minimumCount = 3;
inline constexpr double minimumShare = 0.01;
inline constexpr quint64 minimumNoiseBytes = 16;
inline constexpr double minimumNoiseShare = 0.1;

inline const QString crcErrors =
        QStringLiteral("много ошибок CRC: проверьте согласующий резистор и экран");
inline const QString otherAddress =
        QStringLiteral("ответы от другого адреса: два реле с одним адресом?");
inline const QString lateReplies = QStringLiteral(
        "ответ позже времени ожидания: увеличьте время ожидания или снизьте скорость");
// Bytes between frames while nobody sends: a line left floating when idle.
inline const QString noise =
        QStringLiteral("шум на линии между кадрами: проверьте резисторы смещения и экран");

} // namespace LineHints

// The hints the figures give, in the order above; empty when none.
QStringList lineHints(const BusCounters &counters);

} // namespace miv
