#include "report/CsvLine.h"

namespace miv {

namespace {

QString csvField(const QString &text, QChar separator)
{
    if (!text.contains(separator) && !text.contains(u'"') && !text.contains(u'\r')
        && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QByteArray csvLine(const QStringList &fields, QChar separator, QByteArrayView lineEnd)
{
    QStringList quoted;
    for (const QString &field : fields)
        quoted << csvField(field, separator);
    QByteArray line = quoted.join(separator).toUtf8();
    line += lineEnd;
    return line;
}

} // namespace miv
