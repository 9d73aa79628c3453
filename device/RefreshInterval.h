#pragma once

#include <optional>
#include <QChar>

namespace miv {

class Operator;

// Asks the interval of a refresh that repeats by itself, as automatic
// refresh of the live values asks it: the input box "Интервал обновления",
// "Введите время (1..60) сек" with "1" written in; a cancelled box counts as
// "1". The answer is read by autoRefreshIntervalMs (device/LiveRead.h):
// milliseconds, or nullopt for an answer that is no interval.
std::optional<int> askRefreshInterval(Operator &op, QChar decimalSeparator);

} // namespace miv
