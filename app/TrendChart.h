#pragma once

#include <array>
#include <QList>
#include <QPointF>
#include <QWidget>

class QChart;
class QCheckBox;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace miv {

class Operator;
class TrendSeries;
class TrendChartView;

// The trend chart of "Текущие значения": the phase currents of the
// identified relay over time, with the voltages and the motor temperature
// as series the operator switches on. The mouse wheel (or + and −) zooms the
// time axis around the pointer, dragging (or the arrow keys) pans it, and
// "Показать всё" shows the whole series again and follows the new points.
// "Сохранить PNG..." and "Сохранить CSV..." keep the picture and the points
// (LiveCsv::seriesText) where the operator chooses. Each line holds its
// value until the next point (a step, never a ramp that did not happen), a
// lone point is drawn as a marker, and a line reaches the edges of a zoomed
// view from the points beyond them.
//
// The window calls showNewPoints() after every refresh of the live values (a
// new relay's series starts a new chart). So that a point is drawn quickly
// with an hour of points shown, each line holds of the points of every three
// pixel columns only the first, the lowest, the highest and the last (the
// line looks the same, spikes included), and the time axis moves in whole
// minutes while it follows the new points.
class TrendChart : public QWidget
{
    Q_OBJECT
public:
    enum Line {
        CurrentA,
        CurrentB,
        CurrentC,
        VoltageA,
        VoltageB,
        VoltageC,
        Temperature,
        LineCount
    };

    // Numbers saved as CSV use `decimalSeparator`.
    TrendChart(const TrendSeries &series, Operator &op, QChar decimalSeparator,
               QWidget *parent = nullptr);
    ~TrendChart() override;

    void showNewPoints();

    // The voltages (all three) and the temperature, off at the start.
    void setVoltagesShown(bool shown);
    void setTemperatureShown(bool shown);

    // The time axis, in ms since the epoch. Zooming and panning stop the
    // chart from following new points until showWholeSeries().
    void zoomTime(double factor, double centreMs); // factor < 1 zooms in
    void panTime(double deltaMs);
    void showWholeSeries();
    std::pair<double, double> timeRange() const;
    bool followsNewPoints() const { return m_following; }
    int shownPointCount() const;

    // The save dialog, then the file; a failure is told to the operator.
    // False when nothing was written (cancelled or failed).
    bool savePicture();
    bool savePoints();

private:
    void fitValueAxes();
    void followTime();
    void setTimeRange(double startMs, double endMs);
    // Every line shown, from the points of the time shown.
    void drawLines();
    QList<QPointF> linePoints(int line, double startMs, double endMs, double bucketMs) const;
    // The points joined by steps: each value held until the next point's time.
    static QList<QPointF> steps(const QList<QPointF> &points);

    const TrendSeries &m_series;
    Operator &m_op;
    QChar m_decimalSeparator;
    QChart *m_chart = nullptr;
    TrendChartView *m_view = nullptr;
    std::array<QLineSeries *, LineCount> m_lines{};
    QDateTimeAxis *m_timeAxis = nullptr;
    QValueAxis *m_currentAxis = nullptr;
    QValueAxis *m_voltageAxis = nullptr;
    QValueAxis *m_temperatureAxis = nullptr;
    QCheckBox *m_voltages = nullptr;
    QCheckBox *m_temperature = nullptr;

    quint64 m_seriesNumber = ~quint64(0); // of the series shown
    QString m_relayCaption; // the relay of the series shown, the title's start
    bool m_following = true; // false once the operator zoomed or panned
};

} // namespace miv
