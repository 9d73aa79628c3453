#include "report/CsvLine.h"

namespace miv {

namespace {

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r')
        && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QByteArray csvLine(const QStringList &fields, QByteArrayView lineEnd)
{
    QStringList quoted;
    for (const QString &field : fields)
        quoted << csvField(field);
    QByteArray line = quoted.join(u',').toUtf8();
    line += lineEnd;
    return line;
}

} // namespace miv
