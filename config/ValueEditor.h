#pragma once

#include "core/Operator.h"
#include "core/ValueFormat.h"

#include <optional>
#include <QChar>
#include <QString>
#include <QStringList>

namespace miv {

// The value editor of a numeric row, without its window: the range line, the
// key filter, the two spin buttons and the check on OK. It works on the
// field's text and on raw register values between the request's limits, at
// the request's resolution ("1", ".1", ".01").
class ValueEditor
{
public:
    // Texts the editor shows in a plain box when OK clamps the value.
    static const QString belowMinimum;
    static const QString aboveMaximum;

    // The field holds four characters: every value inside any row's limits
    // fits ("10,0", "99,9", "9,99", "999"). A longer initial text (a value
    // from outside the limits) widens the field so that it is never cut.
    static constexpr int fieldLength = 4;

    explicit ValueEditor(const Operator::ValueEditRequest &request,
                         QChar decimalSeparator = systemDecimalSeparator());

    const Operator::ValueEditRequest &request() const { return m_request; }
    QChar decimalSeparator() const { return m_separator; }
    int maxLength() const;

    // "Диапазон значений [2,00..9,99] с шагом .01": the limits at the
    // resolution, the step text as it is.
    QString rangeText() const;

    // The key filter for one typed character. `remaining` is the field text
    // that stays when the character goes in (the selection it replaces
    // removed). Digits pass as they are; a comma or a full stop becomes the
    // decimal separator when the resolution has decimals and `remaining`
    // holds none yet. Anything else is refused (nullopt). Backspace is
    // handled by the field itself and always passes.
    std::optional<QChar> filterKey(QChar typed, const QString &remaining) const;

    // The spin buttons: one step down or up, saturating at the limits; a value
    // outside the limits jumps to the nearer limit first. nullopt when the
    // field holds no number (the field is then left as it is).
    std::optional<QString> spinDown(const QString &field) const;
    std::optional<QString> spinUp(const QString &field) const;

    // What OK makes of the field.
    struct Accepted
    {
        quint16 value = 0; // raw, within the limits
        QString text; // the value formatted at the resolution
        QStringList clampMessages; // belowMinimum and/or aboveMaximum, in that order, when clamped
    };
    // nullopt when the field holds no number: OK is refused and the dialog
    // stays open, so that neither an empty nor an odd text reaches the grid.
    std::optional<Accepted> accept(const QString &field) const;

    // The field as a raw value: digits with at most one decimal separator.
    // A number too large for a register reads as 65535 (above every limit).
    std::optional<quint16> fieldValue(const QString &field) const;

    QString format(quint16 raw) const;

private:
    Operator::ValueEditRequest m_request;
    QChar m_separator;
};

} // namespace miv
