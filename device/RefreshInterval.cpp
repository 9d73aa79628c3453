#include "device/RefreshInterval.h"

#include "core/Operator.h"
#include "device/LiveRead.h"

namespace miv {

std::optional<int> askRefreshInterval(Operator &op, QChar decimalSeparator)
{
    const QString answer =
            op.askText(QStringLiteral("Интервал обновления"),
                       QStringLiteral("Введите время (1..60) сек"), QStringLiteral("1"))
                    .value_or(QStringLiteral("1"));
    return autoRefreshIntervalMs(answer, decimalSeparator);
}

} // namespace miv
