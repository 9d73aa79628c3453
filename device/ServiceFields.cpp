#include "device/ServiceFields.h"

#include "core/Texts.h"

#include <limits>

namespace miv {

std::optional<quint32> parseServiceNumber(const QString &text)
{
    if (text.isEmpty() || text.size() > serviceFieldDigits)
        return std::nullopt;
    quint64 value = 0;
    for (const QChar character : text) {
        if (character < u'0' || character > u'9')
            return std::nullopt;
        value = value * 10 + quint64(character.unicode() - u'0');
    }
    if (value > std::numeric_limits<quint32>::max())
        return std::nullopt;
    return quint32(value);
}

std::optional<ServiceFieldValues> parseServiceFields(const QString &hours, const QString &minutes,
                                                     const QString &serialNumber, QString *error)
{
    ServiceFieldValues values;
    const std::pair<const QString &, quint32 &> fields[] = {
            {hours, values.hours}, {minutes, values.minutes}, {serialNumber, values.serialNumber}};
    for (const auto &[text, value] : fields) {
        const std::optional<quint32> number = parseServiceNumber(text);
        if (!number) {
            if (error)
                *error = Texts::notAWholeNumber.arg(text);
            return std::nullopt;
        }
        value = *number;
    }
    return values;
}

} // namespace miv
