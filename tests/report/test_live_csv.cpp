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

// `mivctl live --csv` appends the time, then registers 16 to 45 and 112 to
// 117 raw, under a header line of their numbers when the file is new.
TEST(LiveCsv, liveTrendRowsHoldTheRawRegisters)
{
    QStringList header{QStringLiteral("time")};
    for (int reg = 16; reg <= 45; ++reg)
        header << QString::number(reg);
    for (int reg = 112; reg <= 117; ++reg)
        header << QString::number(reg);

    const QDateTime start(QDate(2025, 3, 3), QTime(8, 0, 1));
    LiveValues values;
    values.blockA[0] = 55; // register 16
    values.blockA[29] = 123; // register 45
    values.blockA[30] = 999; // register 46: not a column
    values.blockB[5] = 0x1A0C; // register 117

    QTemporaryDir folder;
    const QString liveFile = folder.filePath(QStringLiteral("live.csv"));
    QString error;
    ASSERT_TRUE(LiveCsv::appendRow(liveFile, start, values, &error)) << error.toStdString();
    ASSERT_TRUE(LiveCsv::appendRow(liveFile, start.addSecs(1), values, &error));

    QFile live(liveFile);
    ASSERT_TRUE(live.open(QIODevice::ReadOnly));
    const QStringList rows = lines(live.readAll());
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].split(u','), header);
    const QStringList first = rows[1].split(u',');
    ASSERT_EQ(first.size(), header.size());
    EXPECT_EQ(first[0], QStringLiteral("2025-03-03T08:00:01"));
    EXPECT_EQ(first[1], QStringLiteral("55"));
    EXPECT_EQ(first[30], QStringLiteral("123"));
    EXPECT_EQ(first.last(), QString::number(0x1A0C));
}

// The trend chart's points go to a spreadsheet: the live page's names with
// their units, numbers as the page shows them (4,7 for register value 47),
// ";" between fields, a byte order mark, CR LF.
TEST(LiveCsv, theChartsPointsAreNamedWithTheirUnitsForASpreadsheet)
{
    LiveValues values;
    values.blockA[21 - 16] = 47; // Ia, tenths of A
    values.blockA[23 - 16] = 2305; // Ic
    values.blockA[24 - 16] = 220; // Ua
    values.blockA[28 - 16] = 0x0314; // the sensor on, 20 °C
    values.blockB[0] = 1; // motor hours, high word
    values.blockB[1] = 2; // low word
    TrendSeries series;
    const QDateTime start(QDate(2025, 3, 3), QTime(8, 0, 1));
    series.add(start, {1, 1001}, values);
    values.blockA[28 - 16] = 0x0014; // the sensor off
    series.add(start.addMSecs(500), {1, 1001}, values); // a refresh of 0,5 s

    const QByteArray text = LiveCsv::seriesText(series, u',');
    ASSERT_TRUE(text.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(text.count("\r\n"), 3);
    const QStringList rows = lines(text.mid(3));
    ASSERT_EQ(rows.size(), 3);
    const QStringList header = rows[0].split(u';');
    EXPECT_EQ(header.mid(0, 5),
              (QStringList{"Время", "Ток A, А", "Ток B, А", "Ток C, А", "Напряжение A, В"}));
    EXPECT_TRUE(header.contains(QStringLiteral("Температура двигателя, °C")));
    const QStringList first = rows[1].split(u';');
    ASSERT_EQ(first.size(), header.size());
    EXPECT_EQ(first[0], QStringLiteral("03.03.2025 08:00:01,000"));
    EXPECT_EQ(rows[2].split(u';')[0], QStringLiteral("03.03.2025 08:00:01,500"));
    EXPECT_EQ(first[1], QStringLiteral("4,7"));
    EXPECT_EQ(first[3], QStringLiteral("230,5"));
    EXPECT_EQ(first[4], QStringLiteral("220"));
    const qsizetype temperature = header.indexOf(QStringLiteral("Температура двигателя, °C"));
    EXPECT_EQ(first[temperature], QStringLiteral("20"));
    EXPECT_TRUE(rows[2].split(u';')[temperature].isEmpty()) << "no value while the sensor is off";
    EXPECT_EQ(first[header.indexOf(QStringLiteral("Моторесурс, ч"))], QString::number(65538));
}

} // namespace
