#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace miv {

struct LiveValues;
class TrendSeries;

// The trend rows of the live values, as `mivctl live --csv` appends them and
// the trend chart saves its points: the time (ISO 8601, the PC's local time,
// to the second), then the raw registers 16 to 45 and 112 to 117, one column
// each, headed by the register's number; UTF-8, lines ended as the system
// ends text lines.
namespace LiveCsv {

QList<quint16> registers();
QByteArray headerLine();
QByteArray rowLine(const QDateTime &time, const LiveValues &values);

// Appends one row to the file at `path`, the header first when the file is
// new or empty. False with `error` when it cannot be written.
bool appendRow(const QString &path, const QDateTime &time, const LiveValues &values,
               QString *error);

// The series as a file of its own: the header and a row per point, oldest
// first, written beside `path` first so that a failed write keeps the file
// that was there. False with `error` naming the file and the reason.
bool writeSeries(const QString &path, const TrendSeries &series, QString *error);

} // namespace LiveCsv

} // namespace miv
