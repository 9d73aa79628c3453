#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <optional>

namespace miv::sim {

// The simulator's request log: one JSON object per line and request,
//   {"t":12.345,"address":1,"function":3,"request":"0103...","reply":"0103..."|null,"fault":"..."|null}
// t is milliseconds since the simulator started. Each line is flushed at once,
// so that a test or a person can follow the file while the line runs.
class RequestLog
{
public:
    RequestLog() = default;

    // False (with the reason in errorString()) when the file cannot be written.
    bool open(const QString &path);
    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_file.errorString(); }

    void record(double timeMs, const QByteArray &request, const std::optional<QByteArray> &reply,
                const QString &fault);

    // The JSON line for one request, without the line end.
    static QByteArray line(double timeMs, const QByteArray &request,
                           const std::optional<QByteArray> &reply, const QString &fault);

private:
    QFile m_file;
};

} // namespace miv::sim
