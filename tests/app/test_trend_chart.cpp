#include "app/LineOverviewPage.h"
#include "app/TrendChart.h"
#include "core/TrendSeries.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"
#include "support/ScriptedOperator.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

using namespace miv;

namespace {

const QDateTime start(QDate(2025, 3, 3), QTime(8, 0));

LiveValues reading(quint16 current, quint16 temperatureWord)
{
    LiveValues values;
    values.blockA[21 - 16] = current;
    values.blockA[24 - 16] = 220;
    values.blockA[28 - 16] = temperatureWord;
    return values;
}

QList<QPointF> linePoints(const TrendChart &chart, int line)
{
    const QChart *shown = chart.findChild<QChartView *>()->chart();
    return static_cast<const QLineSeries *>(shown->series().at(line))->points();
}

// The points of the series on the line of Ia (`temperature` false) or of the
// temperature (without those whose sensor is off).
QList<QPointF> seriesPoints(const TrendSeries &series, bool temperature)
{
    QList<QPointF> points;
    for (const TrendSeries::Point &point : series.points()) {
        const quint16 word = point.values.value(28);
        if (!temperature)
            points << QPointF(double(point.timeMs), point.values.value(21) / 10.0);
        else if (word & 0x0200)
            points << QPointF(double(point.timeMs), double(word & 0xFF));
    }
    return points;
}

// However many points share a pixel, a line shows only points of the series
// with their values, from the first to the newest, and its lowest and
// highest values; between them it holds each value until the next point's
// time (a step's corner, the only point the series does not hold).
void expectTheLineTellsTheSeries(const QList<QPointF> &stepped, const QList<QPointF> &points)
{
    ASSERT_FALSE(stepped.isEmpty());
    QList<QPointF> line;
    for (qsizetype k = 0; k < stepped.size(); ++k) {
        const bool corner = k > 0 && k + 1 < stepped.size() && stepped[k].x() == stepped[k + 1].x()
                && stepped[k].y() == stepped[k - 1].y();
        if (!corner)
            line << stepped[k];
        else
            ASSERT_NE(stepped[k].y(), stepped[k + 1].y()) << "a corner only where the value steps";
    }
    for (qsizetype k = 1; k < stepped.size(); ++k)
        ASSERT_TRUE(stepped[k].x() == stepped[k - 1].x() || stepped[k].y() == stepped[k - 1].y())
                << "no ramp between " << k - 1 << " and " << k;
    for (const QPointF &point : line)
        ASSERT_TRUE(points.contains(point)) << point.x() << " " << point.y();
    EXPECT_EQ(line.first(), points.first());
    EXPECT_EQ(line.last(), points.last());
    auto byValue = [](const QPointF &a, const QPointF &b) { return a.y() < b.y(); };
    EXPECT_EQ(std::max_element(line.begin(), line.end(), byValue)->y(),
              std::max_element(points.begin(), points.end(), byValue)->y());
    EXPECT_EQ(std::min_element(line.begin(), line.end(), byValue)->y(),
              std::min_element(points.begin(), points.end(), byValue)->y());
}

TEST(TrendChart, theLinesTellTheSeriesAsItGrowsAndDropsItsOldestPoints)
{
    TrendSeries series;
    ScriptedOperator op;
    TrendChart chart(series, op, u',');
    chart.resize(1000, 600);
    chart.setTemperatureShown(true);
    const RelayIdentity relay{1, 1001};
    qint64 ms = 0;
    auto refresh = [&](quint16 current, quint16 temperatureWord) {
        series.add(start.addMSecs(ms), relay, reading(current, temperatureWord));
        chart.showNewPoints();
        SCOPED_TRACE(ms);
        expectTheLineTellsTheSeries(linePoints(chart, TrendChart::CurrentA),
                                    seriesPoints(series, false));
        expectTheLineTellsTheSeries(linePoints(chart, TrendChart::Temperature),
                                    seriesPoints(series, true));
    };
    for (; ms < 10000; ms += 1000)
        refresh(0, 0x0314);
    refresh(225, 0x0315); // the motor starts: a step
    ms += 100;
    refresh(230, 0x0100); // within the slot: replaces the latest, the sensor now off
    ms += 1000;
    for (; ms < TrendSeries::keptMs; ms += 400)
        series.add(start.addMSecs(ms), relay, reading(quint16(220 + ms / 400 % 7), 0x0316));
    ms += 400;
    refresh(480, 0x0317); // a spike among an hour of points
    ms += 400;
    refresh(231, 0x0317); // the first points go
    EXPECT_LT(chart.shownPointCount(), int(series.points().size()) / 2);

    series.add(start.addMSecs(ms + 1000), RelayIdentity{6, 1006}, reading(5, 0x0314));
    chart.showNewPoints();
    EXPECT_EQ(chart.shownPointCount(), 1) << "another relay starts a new chart";
}

TEST(TrendChart, zoomAndPanStopFollowingUntilTheWholeSeriesIsShown)
{
    TrendSeries series;
    ScriptedOperator op;
    TrendChart chart(series, op, u',');
    for (int second = 0; second <= 600; second += 10)
        series.add(start.addSecs(second), {1, 1001}, reading(10, 0x0314));
    chart.showNewPoints();
    const double first = double(start.toMSecsSinceEpoch());
    EXPECT_EQ(chart.timeRange(), (std::pair{first, first + 600000}));

    chart.zoomTime(0.5, first + 300000);
    EXPECT_EQ(chart.timeRange(), (std::pair{first + 150000, first + 450000}));
    chart.panTime(60000);
    EXPECT_FALSE(chart.followsNewPoints());
    series.add(start.addSecs(610), {1, 1001}, reading(10, 0x0314));
    chart.showNewPoints();
    EXPECT_EQ(chart.timeRange(), (std::pair{first + 210000, first + 510000}));

    chart.showWholeSeries();
    EXPECT_TRUE(chart.followsNewPoints());
    EXPECT_EQ(chart.timeRange(), (std::pair{first, first + 660000})) << "on whole minutes";
}

// Two readings ten minutes apart, zoomed into the time between them: the
// line crosses the view from the point before it to the point after it,
// holding the first value until the second came; a lone reading is a marker.
TEST(TrendChart, aZoomedLineCrossesTheViewAsAStepAndALonePointIsAMarker)
{
    TrendSeries series;
    ScriptedOperator op;
    TrendChart chart(series, op, u',');
    chart.resize(800, 500);
    series.add(start, {1, 1001}, reading(100, 0x0314));
    chart.showNewPoints();
    const double first = double(start.toMSecsSinceEpoch());
    EXPECT_EQ(linePoints(chart, TrendChart::CurrentA), (QList<QPointF>{{first, 10.0}}));
    const auto *ia = static_cast<const QLineSeries *>(
            chart.findChild<QChartView *>()->chart()->series().at(TrendChart::CurrentA));
    EXPECT_TRUE(ia->pointsVisible()) << "one point is drawn as a marker";

    series.add(start.addSecs(600), {1, 1001}, reading(200, 0x0314));
    chart.showNewPoints();
    EXPECT_FALSE(ia->pointsVisible());
    chart.zoomTime(20000.0 / 660000, first + 300000);
    ASSERT_LT(chart.timeRange().second, first + 600000);
    EXPECT_EQ(linePoints(chart, TrendChart::CurrentA),
              (QList<QPointF>{{first, 10.0}, {first + 600000, 10.0}, {first + 600000, 20.0}}));
}

TEST(TrendChart, picturesAndPointsGoWhereTheOperatorChooses)
{
    TrendSeries series;
    series.add(start, {1, 1001}, reading(10, 0x0314));
    ScriptedOperator op;
    TrendChart chart(series, op, u',');
    chart.resize(640, 400);
    chart.showNewPoints();
    QTemporaryDir folder;
    const QString picture = folder.filePath(QStringLiteral("trend.png"));
    const QString points = folder.filePath(QStringLiteral("trend.csv"));
    op.answerFileName(picture);
    op.answerFileName(points);
    // The axis tells the time of day; the title the relay and the date.
    EXPECT_EQ(chart.findChild<QChartView *>()->chart()->title(),
              QStringLiteral("Устройство №1, заводской №1001, 03.03.2025 08:00 – 08:01"));
    EXPECT_TRUE(chart.savePicture());
    EXPECT_TRUE(chart.savePoints());
    EXPECT_FALSE(QImage(picture).isNull());
    EXPECT_TRUE(QFile::exists(points));

    op.answerFileName(folder.filePath(QStringLiteral("missing/trend.png")));
    EXPECT_FALSE(chart.savePicture());
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Error);
}

TEST(LineOverviewPage, aDoubleClickAsksToIdentifyThatRelay)
{
    RelayBus bus;
    RelaySession session(bus);
    ScriptedOperator op;
    LineOverviewPage page(session, op);
    page.start({1, 6, 17});
    page.stop();
    EXPECT_FALSE(page.isRunning());
    QSignalSpy identify(&page, &LineOverviewPage::identifyRequested);
    Q_EMIT page.table()->doubleClicked(page.model().index(1, LineOverviewModel::State));
    ASSERT_EQ(identify.size(), 1);
    EXPECT_EQ(identify[0][0].value<quint8>(), 6);
}

} // namespace
