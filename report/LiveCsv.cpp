#include "report/LiveCsv.h"

#include "core/FileErrorReason.h"
#include "core/FileReplacement.h"
#include "core/LiveValues.h"
#include "core/RegisterMap.h"
#include "core/TrendSeries.h"
#include "report/CsvLine.h"

#include <QFile>

namespace miv::LiveCsv {

namespace {

#ifdef Q_OS_WIN
constexpr QByteArrayView lineEnd = "\r\n";
#else
constexpr QByteArrayView lineEnd = "\n";
#endif

} // namespace

QList<quint16> registers()
{
    QList<quint16> list;
    for (quint16 reg = RelayRegister::liveBlockA; reg <= RelayRegister::apparentPower; ++reg)
        list << reg;
    for (quint16 reg = RelayRegister::motorHours;
         reg < RelayRegister::clock + RelayRegister::clockCount; ++reg)
        list << reg;
    return list;
}

QByteArray headerLine()
{
    QStringList cells{QStringLiteral("time")};
    for (quint16 reg : registers())
        cells << QString::number(reg);
    return csvLine(cells, u',', lineEnd);
}

QByteArray rowLine(const QDateTime &time, const LiveValues &values)
{
    QStringList cells{time.toString(Qt::ISODate)};
    for (quint16 reg : registers())
        cells << QString::number(values.value(reg));
    return csvLine(cells, u',', lineEnd);
}

bool appendRow(const QString &path, const QDateTime &time, const LiveValues &values, QString *error)
{
    QFile file(path);
    const auto fail = [&] {
        *error = fileWriteError(path, fileErrorReason(file, lastSystemError()));
        return false;
    };
    if (!file.open(QIODevice::Append))
        return fail();
    QByteArray bytes = file.size() == 0 ? headerLine() : QByteArray();
    bytes += rowLine(time, values);
    if (file.write(bytes) != bytes.size() || !file.flush())
        return fail();
    return true;
}

bool writeSeries(const QString &path, const TrendSeries &series, QString *error)
{
    QByteArray bytes = headerLine();
    for (const TrendSeries::Point &point : series.points())
        bytes += rowLine(point.time(), point.values);
    return replaceFile(path, bytes, error);
}

} // namespace miv::LiveCsv
