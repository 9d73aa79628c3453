#pragma once

#include <optional>
#include <QChar>
#include <QLocale>
#include <QString>
#include <QtGlobal>

namespace miv {

// Conversion between a raw register value and the text the grid shows, by a
// row's resolution ("1", ".1", ".01"). Numbers use the PC's decimal separator;
// tests pass their own.
inline QChar systemDecimalSeparator()
{
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.front();
}

// "1": the integer; ".1": raw/10 with one decimal; ".01": raw/100 with two.
// Any other resolution gives an empty text.
QString formatValue(const QString &step, quint16 raw,
                    QChar decimalSeparator = systemDecimalSeparator());

// The text as a decimal number (the given separator only, optional sign,
// surrounding blanks and an exponent allowed), scaled by the resolution and
// rounded to the nearest integer, ties to even, computed exactly in decimal.
// nullopt when the text is not such a number, when the resolution is none of
// the three, or when the result lies outside 0..65535 (never wrapped).
std::optional<quint16> parseValue(const QString &step, const QString &text,
                                  QChar decimalSeparator = systemDecimalSeparator());

// Decimal places of a resolution: 0, 1, 2; nullopt for anything else.
std::optional<int> decimalsOfStep(const QString &step);

} // namespace miv
