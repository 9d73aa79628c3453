#pragma once

#include <optional>
#include <QString>

namespace miv {

// The numbers of the service page's fields (the motor resource's hours and
// minutes, the serial number) and of `mivctl command motor-resource|serial`,
// as typed. Each is a whole number of 0 to 4294967295, the motor resource
// counter's whole range: what the operator sees is what is written, never a
// number cut to a field's width. The relay's own limits (minutes above 59 are
// written as 59, a serial number above 65535 as 65535) are the commands'.
struct ServiceFieldValues
{
    quint32 hours = 0;
    quint32 minutes = 0;
    quint32 serialNumber = 0;
};

// One field's number; nullopt for an empty text, a sign, anything but the
// digits 0 to 9, or a number past the range.
std::optional<quint32> parseServiceNumber(const QString &text);

// All three fields, as "Установить мр" and "Установить сн" take them: either
// button needs all three to be numbers. On failure nothing is to be written
// and `error` says which text is no number.
std::optional<ServiceFieldValues> parseServiceFields(const QString &hours, const QString &minutes,
                                                     const QString &serialNumber, QString *error);

// The widest field text: the counter's largest value has 10 digits.
inline constexpr int serviceFieldDigits = 10;

} // namespace miv
