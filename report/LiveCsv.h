#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace miv {

struct LiveValues;
class TrendSeries;

// The trend rows of the live values, as `mivctl live --csv` appends them:
// the time (ISO 8601, the PC's local time, to the second), then the raw
// registers 16 to 45 and 112 to 117, one column each, headed by the
// register's number; UTF-8, lines ended as the system ends text lines.
//
// The trend chart saves its points for a spreadsheet instead: the values as
// the live page names them, with their units, as numbers with the PC's
// decimal separator (see seriesText).
namespace LiveCsv {

QList<quint16> registers();
QByteArray headerLine();
QByteArray rowLine(const QDateTime &time, const LiveValues &values);

// Appends one row to the file at `path`, the header first when the file is
// new or empty. False with `error` when it cannot be written.
bool appendRow(const QString &path, const QDateTime &time, const LiveValues &values,
               QString *error);

// The series for a spreadsheet, as the settings sheet's CSV is made (UTF-8
// with a byte order mark, fields separated by ";" since the values hold
// decimal commas, CR LF): a header of the live page's captions with their
// units ("Ток A, А"), then a row per point, oldest first: the time
// (dd.MM.yyyy HH:mm:ss,zzz, the milliseconds after the decimal separator), the currents in A with
// one decimal, the voltages in V, the powers, cos φ, frequency, temperature (empty while the sensor
// is off), asymmetry, leakage, insulation and the motor resource as the page shows them, without
// padding.
QByteArray seriesText(const TrendSeries &series, QChar decimalSeparator);
// The series as a file of its own, written beside `path` first so that a
// failed write keeps the file that was there. False with `error` naming the
// file and the reason.
bool writeSeries(const QString &path, const TrendSeries &series, QChar decimalSeparator,
                 QString *error);

} // namespace LiveCsv

} // namespace miv
