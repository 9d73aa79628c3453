#include "sim/RequestLog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>

namespace miv::sim {

bool RequestLog::open(const QString &path)
{
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
}

QByteArray RequestLog::line(double timeMs, const QByteArray &request,
                            const std::optional<QByteArray> &reply, const QString &fault)
{
    QJsonObject object;
    object.insert(QStringLiteral("t"), std::round(timeMs * 1000.0) / 1000.0);
    object.insert(QStringLiteral("address"), request.isEmpty() ? 0 : quint8(request[0]));
    object.insert(QStringLiteral("function"), request.size() < 2 ? 0 : quint8(request[1]));
    object.insert(QStringLiteral("request"), QString::fromLatin1(request.toHex().toUpper()));
    object.insert(QStringLiteral("reply"),
                  reply ? QJsonValue(QString::fromLatin1(reply->toHex().toUpper()))
                        : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("fault"),
                  fault.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(fault));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void RequestLog::record(double timeMs, const QByteArray &request,
                        const std::optional<QByteArray> &reply, const QString &fault)
{
    if (!m_file.isOpen())
        return;
    m_file.write(line(timeMs, request, reply, fault) + '\n');
    m_file.flush();
}

} // namespace miv::sim
