#include "config/ValueEditor.h"

#include <algorithm>

namespace miv {

const QString ValueEditor::belowMinimum = QStringLiteral("Значение меньше минимально допустимого");
const QString ValueEditor::aboveMaximum = QStringLiteral("Значение больше максимально допустимого");

ValueEditor::ValueEditor(const Operator::ValueEditRequest &request, QChar decimalSeparator)
    : m_request(request), m_separator(decimalSeparator)
{ }

int ValueEditor::maxLength() const
{
    return std::max<int>(fieldLength, int(m_request.initialText.size()));
}

QString ValueEditor::format(quint16 raw) const
{
    return formatValue(m_request.stepText, raw, m_separator);
}

QString ValueEditor::rangeText() const
{
    return QStringLiteral("Диапазон значений [") + format(m_request.minimum) + QStringLiteral("..")
            + format(m_request.maximum) + QStringLiteral("] с шагом ") + m_request.stepText;
}

std::optional<QChar> ValueEditor::filterKey(QChar typed, const QString &remaining) const
{
    if (typed >= u'0' && typed <= u'9')
        return typed;
    const bool decimalKey = typed == u',' || typed == u'.';
    if (!decimalKey || decimalsOfStep(m_request.stepText).value_or(0) == 0)
        return std::nullopt;
    if (remaining.contains(m_separator))
        return std::nullopt;
    return m_separator;
}

std::optional<quint16> ValueEditor::fieldValue(const QString &field) const
{
    QString text = field.trimmed();
    text.replace(u'.', m_separator);
    int separators = 0;
    int digits = 0;
    for (QChar c : std::as_const(text)) {
        if (c == m_separator)
            ++separators;
        else if (c >= u'0' && c <= u'9')
            ++digits;
        else
            return std::nullopt;
    }
    if (digits == 0 || separators > 1)
        return std::nullopt;
    // A well-formed number that does not fit a register lies above every limit.
    return parseValue(m_request.stepText, text, m_separator).value_or(quint16(65535));
}

std::optional<QString> ValueEditor::spinDown(const QString &field) const
{
    const auto value = fieldValue(field);
    if (!value)
        return std::nullopt;
    quint16 next = *value;
    if (next > m_request.maximum)
        next = m_request.maximum;
    else if (next <= m_request.minimum)
        next = m_request.minimum;
    else
        --next;
    return format(next);
}

std::optional<QString> ValueEditor::spinUp(const QString &field) const
{
    const auto value = fieldValue(field);
    if (!value)
        return std::nullopt;
    quint16 next = *value;
    if (next < m_request.minimum)
        next = m_request.minimum;
    else if (next >= m_request.maximum)
        next = m_request.maximum;
    else
        ++next;
    return format(next);
}

std::optional<ValueEditor::Accepted> ValueEditor::accept(const QString &field) const
{
    const auto value = fieldValue(field);
    if (!value)
        return std::nullopt;
    Accepted accepted;
    accepted.value = *value;
    if (accepted.value < m_request.minimum) {
        accepted.clampMessages.append(belowMinimum);
        accepted.value = m_request.minimum;
    }
    if (accepted.value > m_request.maximum) {
        accepted.clampMessages.append(aboveMaximum);
        accepted.value = m_request.maximum;
    }
    accepted.text = format(accepted.value);
    return accepted;
}

} // namespace miv
