#include "cli/DateBound.h"

#include <QRegularExpression>

namespace miv::cli {

namespace {

// How long the time of an ISO 8601 text lasts: to the next unit of its last field.
qint64 lengthMs(const QString &text)
{
    static const QRegularExpression fields(QStringLiteral(
            "[T ]\\d\\d(?<minute>:\\d\\d)?(?<second>:\\d\\d)?(?<fraction>[.,]\\d+)?"));
    const QRegularExpressionMatch match = fields.match(text);
    if (match.hasCaptured(u"fraction"))
        return 1;
    if (match.hasCaptured(u"second"))
        return 1000;
    if (match.hasCaptured(u"minute"))
        return 60 * 1000;
    return 3600 * 1000;
}

} // namespace

std::optional<QDateTime> parseDateBound(const QString &text, DateBound bound)
{
    const bool end = bound == DateBound::Until;
    for (const QString &format : {QStringLiteral("yyyy-MM-dd"), QStringLiteral("dd.MM.yyyy")}) {
        const QDate date = QDate::fromString(text, format);
        if (date.isValid())
            return (end ? date.addDays(1) : date).startOfDay();
    }
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid())
        return std::nullopt;
    return end ? time.addMSecs(lengthMs(text)) : time;
}

} // namespace miv::cli
