#include "core/TrendSeries.h"
#include "report/LiveCsv.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace miv;

namespace {

QStringList lines(const QByteArray &bytes)
{
    QStringList list = QString::fromUtf8(bytes).split(u'\n', Qt::SkipEmptyParts);
    for (QString &line : list)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return list;
}

// The trend chart's points and `mivctl live --csv` share one layout: the
// time, then registers 16 to 45 and 112 to 117 raw.
TEST(LiveCsv, theChartsPointsHaveTheColumnsOfTheLiveTrendRows)
{
    QStringList header{QStringLiteral("time")};
    for (int reg = 16; reg <= 45; ++reg)
        header << QString::number(reg);
    for (int reg = 112; reg <= 117; ++reg)
        header << QString::number(reg);

    const QDateTime start(QDate(2025, 3, 3), QTime(8, 0, 1));
    TrendSeries series;
    LiveValues values;
    values.blockA[0] = 55; // register 16
    values.blockA[29] = 123; // register 45
    values.blockA[30] = 999; // register 46: not a column
    values.blockB[5] = 0x1A0C; // register 117
    series.add(start, {1, 1001}, values);
    series.add(start.addSecs(1), {1, 1001}, values);

    QTemporaryDir folder;
    const QString chartFile = folder.filePath(QStringLiteral("chart.csv"));
    const QString liveFile = folder.filePath(QStringLiteral("live.csv"));
    QString error;
    ASSERT_TRUE(LiveCsv::writeSeries(chartFile, series, &error)) << error.toStdString();
    ASSERT_TRUE(LiveCsv::appendRow(liveFile, start, values, &error)) << error.toStdString();
    ASSERT_TRUE(LiveCsv::appendRow(liveFile, start.addSecs(1), values, &error));

    QFile chart(chartFile), live(liveFile);
    ASSERT_TRUE(chart.open(QIODevice::ReadOnly) && live.open(QIODevice::ReadOnly));
    const QByteArray chartBytes = chart.readAll();
    EXPECT_EQ(chartBytes, live.readAll());
    const QStringList rows = lines(chartBytes);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].split(u','), header);
    const QStringList first = rows[1].split(u',');
    ASSERT_EQ(first.size(), header.size());
    EXPECT_EQ(first[0], QStringLiteral("2025-03-03T08:00:01"));
    EXPECT_EQ(first[1], QStringLiteral("55"));
    EXPECT_EQ(first[30], QStringLiteral("123"));
    EXPECT_EQ(first.last(), QString::number(0x1A0C));
}

} // namespace
