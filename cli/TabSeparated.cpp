#include "cli/TabSeparated.h"

namespace miv::cli {

QString tabSeparatedLine(const QStringList &fields)
{
    QStringList escaped;
    escaped.reserve(fields.size());
    for (QString field : fields)
        escaped << field.replace(u'\\', QStringLiteral("\\\\"))
                           .replace(u'\t', QStringLiteral("\\t"))
                           .replace(u'\n', QStringLiteral("\\n"))
                           .replace(u'\r', QStringLiteral("\\r"));
    return escaped.join(u'\t');
}

} // namespace miv::cli
