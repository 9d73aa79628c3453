#include "link/BusStatisticsTable.h"

#include "link/LineHints.h"

#include <QStringList>
#include <array>

namespace miv::BusStatisticsTable {

namespace {

QString milliseconds(const std::optional<double> &ms, QChar decimalSeparator)
{
    if (!ms)
        return {};
    return QString::number(*ms, 'f', 1).replace(u'.', decimalSeparator);
}

QString refusals(const BusCounters &counters)
{
    QStringList parts;
    for (const auto &[code, count] : counters.exceptions)
        parts << QStringLiteral("%1:%2").arg(code).arg(count);
    return parts.join(u' ');
}

} // namespace

QString headerName(int column)
{
    static const std::array<const char *, ColumnCount> names{
            "ADDR",          "REQUESTS", "ANSWERS",     "NO_ANSWER", "CRC_ERRORS",
            "OTHER_ADDRESS", "LATE",     "NOISE_BYTES", "RETRIES",   "EXCEPTIONS",
            "MEDIAN_MS",     "P95_MS",   "MAX_MS",      "HINTS"};
    return column >= 0 && column < ColumnCount ? QLatin1String(names[std::size_t(column)])
                                               : QString();
}

QString cellText(quint8 address, const BusCounters &counters, int column, QChar decimalSeparator)
{
    const ResponseTimes &times = counters.responseTimes;
    switch (Column(column)) {
    case Address:
        return QString::number(address);
    case Requests:
        return QString::number(counters.requests);
    case Answers:
        return QString::number(counters.answers);
    case NoAnswers:
        return QString::number(counters.noAnswers);
    case CrcErrors:
        return QString::number(counters.crcErrors);
    case OtherAddress:
        return QString::number(counters.otherAddressReplies);
    case LateReplies:
        return QString::number(counters.lateReplies);
    case NoiseBytes:
        return QString::number(counters.noiseBytes);
    case Retries:
        return QString::number(counters.retries);
    case Exceptions:
        return refusals(counters);
    case MedianMs:
        return milliseconds(times.medianMs(), decimalSeparator);
    case Percentile95Ms:
        return milliseconds(times.percentile95Ms(), decimalSeparator);
    case LongestMs:
        return milliseconds(times.longestMs(), decimalSeparator);
    case Hints:
        return lineHints(counters).join(QStringLiteral("; "));
    case ColumnCount:
        break;
    }
    return {};
}

} // namespace miv::BusStatisticsTable
