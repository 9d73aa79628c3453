#include "report/LiveCsv.h"

#include "core/FileErrorReason.h"
#include "core/FileReplacement.h"
#include "core/LiveValues.h"
#include "core/RegisterMap.h"
#include "core/TrendSeries.h"
#include "device/LiveDisplay.h"
#include "device/LiveQuantities.h"
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

namespace {

// A column of the chart's points: the live page's caption (by its label
// slot) with the unit.
struct SeriesColumn
{
    int slot;
    QString unit;
};

const QList<SeriesColumn> &seriesColumns()
{
    static const QList<SeriesColumn> columns{
            {0, QStringLiteral("А")},    {1, QStringLiteral("А")},
            {2, QStringLiteral("А")},    {3, QStringLiteral("В")},
            {4, QStringLiteral("В")},    {5, QStringLiteral("В")},
            {6, QStringLiteral("кВт")},  {7, QStringLiteral("кВАр")},
            {8, QStringLiteral("кВА")},  {9, QString()},
            {10, QStringLiteral("Гц")},  {11, QStringLiteral("°C")},
            {12, QStringLiteral("%")},   {13, QStringLiteral("%")},
            {14, QStringLiteral("МОм")}, {16, QStringLiteral("ч")},
            {17, QStringLiteral("мин")},
    };
    return columns;
}

QString decimal(int scaled, int decimals, QChar separator)
{
    int divisor = 1;
    for (int k = 0; k < decimals; ++k)
        divisor *= 10;
    return QString::number(double(scaled) / divisor, 'f', decimals).replace(u'.', separator);
}

QStringList seriesRow(const TrendSeries::Point &point, QChar separator)
{
    const LiveQuantities q = liveQuantities(point.values);
    // The milliseconds too: refreshes half a second apart stay apart.
    const QDateTime time = point.time();
    QStringList cells{time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) + separator
                      + time.toString(QStringLiteral("zzz"))};
    for (int tenths : q.currentTenths)
        cells << decimal(tenths, 1, separator);
    for (int volts : q.voltages)
        cells << QString::number(volts);
    cells << decimal(q.activePowerTenths, 1, separator)
          << decimal(q.reactivePowerTenths, 1, separator)
          << decimal(q.apparentPowerTenths, 1, separator)
          << decimal(q.cosPhiHundredths, 2, separator) << QString::number(q.frequencyHz)
          << (q.temperature ? QString::number(*q.temperature) : QString())
          << QString::number(q.asymmetryPercent) << QString::number(q.leakagePercent)
          << decimal(q.insulationTenths, 1, separator) << QString::number(q.motorHours)
          << QString::number(q.motorMinutes);
    return cells;
}

} // namespace

QByteArray seriesText(const TrendSeries &series, QChar decimalSeparator)
{
    QStringList header{liveLabelCaption(19)}; // "Время"
    for (const SeriesColumn &column : seriesColumns())
        header << (column.unit.isEmpty()
                           ? liveLabelCaption(column.slot)
                           : liveLabelCaption(column.slot) + QStringLiteral(", ") + column.unit);
    QByteArray bytes("\xEF\xBB\xBF");
    bytes += csvLine(header, u';');
    for (const TrendSeries::Point &point : series.points())
        bytes += csvLine(seriesRow(point, decimalSeparator), u';');
    return bytes;
}

bool writeSeries(const QString &path, const TrendSeries &series, QChar decimalSeparator,
                 QString *error)
{
    return replaceFile(path, seriesText(series, decimalSeparator), error);
}

} // namespace miv::LiveCsv
