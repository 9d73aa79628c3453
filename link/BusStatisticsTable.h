#pragma once

#include "link/BusCounters.h"

#include <QChar>
#include <QString>

namespace miv {

// The table of the line's figures, one row per relay address, as mivctl
// prints it and a window may show it: the columns and the text of each cell.
namespace BusStatisticsTable {

enum Column {
    Address,
    Requests,
    Answers,
    NoAnswers,
    CrcErrors,
    OtherAddress,
    LateReplies,
    NoiseBytes,
    Retries,
    Exceptions,
    MedianMs,
    Percentile95Ms,
    LongestMs,
    Hints,
    ColumnCount
};

// The column's name in a header line: ADDR, REQUESTS, ... HINTS.
QString headerName(int column);
// A cell: counts as whole numbers; the refusals as CODE:COUNT by ascending
// code, separated by spaces; times in ms with one decimal (empty with no
// answer); the hints of lineHints() joined by "; ".
QString cellText(quint8 address, const BusCounters &counters, int column, QChar decimalSeparator);

} // namespace BusStatisticsTable

} // namespace miv
