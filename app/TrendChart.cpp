#include "app/TrendChart.h"

#include "core/FileReplacement.h"
#include "core/Operator.h"
#include "core/RegisterMap.h"
#include "core/TrendSeries.h"
#include "device/LiveDisplay.h"
#include "report/LiveCsv.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineSeries>
#include <QPen>
#include <QPushButton>
#include <QSaveFile>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>

namespace miv {

namespace {

constexpr double shortestSpanMs = 10 * 1000;
constexpr double minuteMs = 60 * 1000;
constexpr double zoomStep = 0.8;
// The width of the time a line shows with up to four points.
constexpr double pixelsPerBucket = 3;

// A line's value at one point; nullopt where it has none (the temperature
// while its sensor is off).
std::optional<double> lineValue(int line, const LiveValues &values)
{
    namespace R = RelayRegister;
    switch (line) {
    case TrendChart::CurrentA:
    case TrendChart::CurrentB:
    case TrendChart::CurrentC:
        return values.value(quint16(R::phaseCurrent + line - TrendChart::CurrentA)) / 10.0;
    case TrendChart::VoltageA:
    case TrendChart::VoltageB:
    case TrendChart::VoltageC:
        return double(values.value(quint16(R::phaseVoltage + line - TrendChart::VoltageA)));
    default: {
        const TemperatureWord temperature = decodeTemperature(values.value(R::motorTemperature));
        if (!temperature.inUse)
            return std::nullopt;
        return double(temperature.celsius());
    }
    }
}

// A value axis from `lowest` to `highest` on round numbers: the step 1, 2 or
// 5 times a power of ten that gives at most six intervals, and room above
// the highest value.
void fitValueAxis(QValueAxis *axis, double lowest, double highest)
{
    const double span = std::max(highest - lowest, 1.0);
    double step = std::pow(10.0, std::floor(std::log10(span / 6)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (span / (step * factor) <= 6) {
            step *= factor;
            break;
        }
    }
    const double bottom = std::floor(lowest / step) * step;
    double top = std::ceil(highest / step) * step;
    if (top - highest < step / 10)
        top += step;
    // An axis whose range stays the same is left alone: a change redraws its lines.
    axis->setRange(bottom, top);
    const int ticks = int(std::lround((top - bottom) / step)) + 1;
    if (axis->tickCount() != ticks)
        axis->setTickCount(ticks);
    const QString format = step < 1 ? QStringLiteral("%.1f") : QStringLiteral("%.0f");
    if (axis->labelFormat() != format)
        axis->setLabelFormat(format);
}

// The phases in their usual colours (A yellow, B green, C red), the
// currents solid and the voltages dashed, the temperature purple. A
// one-pixel line is drawn without stroking its outline first.
QPen linePen(int line)
{
    static const QColor phaseColours[] = {QColor(0xC8, 0x96, 0x00), QColor(0x20, 0x90, 0x20),
                                          QColor(0xD0, 0x20, 0x20)};
    QPen pen(line == TrendChart::Temperature ? QColor(0x70, 0x30, 0xA0) : phaseColours[line % 3]);
    pen.setWidth(1);
    pen.setCosmetic(true);
    if (line >= TrendChart::VoltageA && line <= TrendChart::VoltageC)
        pen.setStyle(Qt::DashLine);
    return pen;
}

} // namespace

// The view under the mouse and the keys: the wheel and + − zoom the time
// axis, dragging and the arrow keys pan it, a double click shows everything.
class TrendChartView : public QChartView
{
public:
    TrendChartView(QChart *chart, TrendChart &owner) : QChartView(chart), m_owner(owner)
    {
        setRenderHint(QPainter::Antialiasing, false);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void wheelEvent(QWheelEvent *event) override
    {
        const double factor = event->angleDelta().y() > 0 ? zoomStep : 1 / zoomStep;
        m_owner.zoomTime(factor, timeAt(event->position()));
        event->accept();
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            m_dragFrom = event->position();
        event->accept();
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (!m_dragFrom)
            return;
        m_owner.panTime(timeAt(*m_dragFrom) - timeAt(event->position()));
        m_dragFrom = event->position();
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        m_dragFrom.reset();
        event->accept();
    }
    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        m_owner.showWholeSeries();
        event->accept();
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        const auto [start, end] = m_owner.timeRange();
        const double centre = (start + end) / 2;
        switch (event->key()) {
        case Qt::Key_Plus:
            m_owner.zoomTime(zoomStep, centre);
            break;
        case Qt::Key_Minus:
            m_owner.zoomTime(1 / zoomStep, centre);
            break;
        case Qt::Key_Left:
            m_owner.panTime(-(end - start) / 10);
            break;
        case Qt::Key_Right:
            m_owner.panTime((end - start) / 10);
            break;
        default:
            QChartView::keyPressEvent(event);
            return;
        }
        event->accept();
    }

private:
    double timeAt(QPointF position) const
    {
        return chart()->mapToValue(chart()->mapFromScene(mapToScene(position.toPoint()))).x();
    }

    TrendChart &m_owner;
    std::optional<QPointF> m_dragFrom;
};

TrendChart::TrendChart(const TrendSeries &series, Operator &op, QChar decimalSeparator,
                       QWidget *parent)
    : QWidget(parent), m_series(series), m_op(op), m_decimalSeparator(decimalSeparator)
{
    m_chart = new QChart;
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->setLocalizeNumbers(true); // the PC's decimal separator
    m_chart->legend()->setAlignment(Qt::AlignBottom);

    m_timeAxis = new QDateTimeAxis;
    m_timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
    m_timeAxis->setTickCount(7);
    m_currentAxis = new QValueAxis;
    m_currentAxis->setTitleText(QStringLiteral("Ток, А"));
    m_voltageAxis = new QValueAxis;
    m_voltageAxis->setTitleText(QStringLiteral("Напряжение, В"));
    m_temperatureAxis = new QValueAxis;
    m_temperatureAxis->setTitleText(QStringLiteral("Температура, °C"));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_currentAxis, Qt::AlignLeft);
    m_chart->addAxis(m_voltageAxis, Qt::AlignRight);
    m_chart->addAxis(m_temperatureAxis, Qt::AlignRight);

    const std::array<QString, LineCount> names{
            QStringLiteral("Ia"),          QStringLiteral("Ib"), QStringLiteral("Ic"),
            QStringLiteral("Ua"),          QStringLiteral("Ub"), QStringLiteral("Uc"),
            QStringLiteral("Температура"),
    };
    for (int line = 0; line < LineCount; ++line) {
        auto *lineSeries = new QLineSeries;
        lineSeries->setName(names[std::size_t(line)]);
        m_chart->addSeries(lineSeries);
        lineSeries->setPen(linePen(line));
        lineSeries->attachAxis(m_timeAxis);
        lineSeries->attachAxis(line <= CurrentC           ? m_currentAxis
                                       : line <= VoltageC ? m_voltageAxis
                                                          : m_temperatureAxis);
        m_lines[std::size_t(line)] = lineSeries;
    }

    m_view = new TrendChartView(m_chart, *this);
    m_voltages = new QCheckBox(QStringLiteral("Напряжения"));
    m_temperature = new QCheckBox(QStringLiteral("Температура"));
    auto *whole = new QPushButton(QStringLiteral("Показать всё"));
    auto *picture = new QPushButton(QStringLiteral("Сохранить PNG..."));
    auto *points = new QPushButton(QStringLiteral("Сохранить CSV..."));
    connect(m_voltages, &QCheckBox::toggled, this, &TrendChart::setVoltagesShown);
    connect(m_temperature, &QCheckBox::toggled, this, &TrendChart::setTemperatureShown);
    connect(whole, &QPushButton::clicked, this, &TrendChart::showWholeSeries);
    connect(picture, &QPushButton::clicked, this, &TrendChart::savePicture);
    connect(points, &QPushButton::clicked, this, &TrendChart::savePoints);

    auto *controls = new QHBoxLayout;
    controls->addWidget(m_voltages);
    controls->addWidget(m_temperature);
    controls->addStretch();
    controls->addWidget(whole);
    controls->addWidget(picture);
    controls->addWidget(points);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view, 1);
    layout->addLayout(controls);

    setVoltagesShown(false);
    setTemperatureShown(false);
    showNewPoints();
    // A wider or narrower plot takes more or fewer points per line.
    connect(m_chart, &QChart::plotAreaChanged, this, &TrendChart::drawLines);
}

TrendChart::~TrendChart() = default;

void TrendChart::setVoltagesShown(bool shown)
{
    for (int line = VoltageA; line <= VoltageC; ++line)
        m_lines[std::size_t(line)]->setVisible(shown);
    m_voltageAxis->setVisible(shown);
    if (m_voltages->isChecked() != shown)
        m_voltages->setChecked(shown);
    drawLines();
}

void TrendChart::setTemperatureShown(bool shown)
{
    m_lines[Temperature]->setVisible(shown);
    m_temperatureAxis->setVisible(shown);
    if (m_temperature->isChecked() != shown)
        m_temperature->setChecked(shown);
    drawLines();
}

int TrendChart::shownPointCount() const
{
    return int(m_lines[CurrentA]->count());
}

std::pair<double, double> TrendChart::timeRange() const
{
    return {double(m_timeAxis->min().toMSecsSinceEpoch()),
            double(m_timeAxis->max().toMSecsSinceEpoch())};
}

void TrendChart::showNewPoints()
{
    if (m_series.seriesNumber() != m_seriesNumber) {
        m_seriesNumber = m_series.seriesNumber();
        m_following = true;
        const std::optional<RelayIdentity> relay = m_series.relay();
        m_relayCaption = relay ? QStringLiteral("Устройство №%1, заводской №%2")
                                         .arg(relay->address)
                                         .arg(relay->factoryNumber)
                               : QString();
    }
    fitValueAxes();
    if (m_following)
        followTime();
    drawLines();
}

void TrendChart::fitValueAxes()
{
    double highestCurrent = 0, highestVoltage = 0, lowestTemperature = 0, highestTemperature = 0;
    for (const TrendSeries::Point &point : m_series.points()) {
        for (int line = CurrentA; line <= CurrentC; ++line)
            highestCurrent = std::max(highestCurrent, *lineValue(line, point.values));
        for (int line = VoltageA; line <= VoltageC; ++line)
            highestVoltage = std::max(highestVoltage, *lineValue(line, point.values));
        if (const std::optional<double> celsius = lineValue(Temperature, point.values)) {
            lowestTemperature = std::min(lowestTemperature, *celsius);
            highestTemperature = std::max(highestTemperature, *celsius);
        }
    }
    fitValueAxis(m_currentAxis, 0, std::max(highestCurrent, 1.0));
    fitValueAxis(m_voltageAxis, 0, std::max(highestVoltage, 10.0));
    fitValueAxis(m_temperatureAxis, lowestTemperature, std::max(highestTemperature, 10.0));
}

// The whole series on whole minutes, so that the axis moves once a minute
// rather than at every point.
void TrendChart::followTime()
{
    const std::deque<TrendSeries::Point> &points = m_series.points();
    const double newest = points.empty() ? double(QDateTime::currentMSecsSinceEpoch())
                                         : double(points.back().timeMs);
    const double first = points.empty() ? newest : double(points.front().timeMs);
    const double start = std::floor(first / minuteMs) * minuteMs;
    const double end = std::max(std::ceil(newest / minuteMs) * minuteMs, start + minuteMs);
    setTimeRange(start, end);
}

void TrendChart::setTimeRange(double startMs, double endMs)
{
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(qint64(startMs));
    const QDateTime end = QDateTime::fromMSecsSinceEpoch(qint64(endMs));
    m_timeAxis->setRange(start, end);
    // The axis shows the time of day only: the title carries the date, so
    // that a saved picture says when it was.
    const QString minute = QStringLiteral("HH:mm");
    const QString dated = QStringLiteral("dd.MM.yyyy HH:mm");
    const QString period = start.toString(dated) + QStringLiteral(" – ")
            + end.toString(start.date() == end.date() ? minute : dated);
    const QString title =
            m_relayCaption.isEmpty() ? period : m_relayCaption + QStringLiteral(", ") + period;
    if (m_chart->title() != title)
        m_chart->setTitle(title);
}

void TrendChart::drawLines()
{
    const auto [start, end] = timeRange();
    const double width = std::max(100.0, m_chart->plotArea().width());
    const double bucketMs = std::max(1.0, std::ceil((end - start) / (width / pixelsPerBucket)));
    for (int line = 0; line < LineCount; ++line) {
        QLineSeries *series = m_lines[std::size_t(line)];
        if (series->isVisible())
            series->replace(linePoints(line, start, end, bucketMs));
        else if (series->count() > 0)
            series->clear();
        // A line of one point draws nothing: that point is shown as a marker.
        series->setPointsVisible(series->count() == 1);
    }
}

// The points of the time shown, and beyond each end the nearest point with
// a value, so that a line reaches the edges from points outside the view. Of
// the points of a bucket (buckets counted from the epoch, so that they stay
// put while new points come) the first, the lowest, the highest and the last
// are kept, in the order of their times: the line looks as with every point,
// spikes and the newest value included. Each value holds until the next
// point, drawn as a step.
QList<QPointF> TrendChart::linePoints(int line, double startMs, double endMs, double bucketMs) const
{
    const std::deque<TrendSeries::Point> &points = m_series.points();
    auto point = std::lower_bound(
            points.begin(), points.end(), startMs,
            [](const TrendSeries::Point &p, double ms) { return double(p.timeMs) < ms; });
    while (point != points.begin()) {
        --point;
        if (lineValue(line, point->values))
            break;
    }
    QList<QPointF> shown;
    std::optional<qint64> bucket;
    std::array<QPointF, 4> kept; // first, lowest, highest, last
    auto close = [&] {
        if (!bucket)
            return;
        std::sort(kept.begin(), kept.end(),
                  [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
        for (std::size_t k = 0; k < kept.size(); ++k)
            if (k == 0 || kept[k] != kept[k - 1])
                shown << kept[k];
    };
    for (; point != points.end(); ++point) {
        const std::optional<double> value = lineValue(line, point->values);
        if (!value)
            continue;
        const QPointF here(double(point->timeMs), *value);
        const qint64 itsBucket = qint64(std::floor(here.x() / bucketMs));
        if (itsBucket != bucket) {
            close();
            bucket = itsBucket;
            kept.fill(here);
        } else {
            if (here.y() < kept[1].y())
                kept[1] = here;
            if (here.y() > kept[2].y())
                kept[2] = here;
            kept[3] = here;
        }
        if (here.x() > endMs)
            break; // the first point beyond the view ends the line
    }
    close();
    return steps(shown);
}

QList<QPointF> TrendChart::steps(const QList<QPointF> &points)
{
    QList<QPointF> stepped;
    stepped.reserve(points.size() * 2);
    for (qsizetype k = 0; k < points.size(); ++k) {
        if (k > 0 && points[k].y() != points[k - 1].y() && points[k].x() != points[k - 1].x())
            stepped << QPointF(points[k].x(), points[k - 1].y());
        stepped << points[k];
    }
    return stepped;
}

void TrendChart::zoomTime(double factor, double centreMs)
{
    const auto [start, end] = timeRange();
    const double span = end - start;
    const double newSpan =
            std::clamp(span * factor, shortestSpanMs, double(TrendSeries::keptMs) + minuteMs);
    const double centre = std::clamp(centreMs, start, end);
    const double share = span > 0 ? (centre - start) / span : 0.5;
    const double newStart = centre - share * newSpan;
    m_following = false;
    setTimeRange(newStart, newStart + newSpan);
    drawLines();
}

void TrendChart::panTime(double deltaMs)
{
    const auto [start, end] = timeRange();
    m_following = false;
    setTimeRange(start + deltaMs, end + deltaMs);
    drawLines();
}

void TrendChart::showWholeSeries()
{
    m_following = true;
    followTime();
    drawLines();
}

bool TrendChart::savePicture()
{
    const QString path =
            m_op.askSaveFileName(QStringLiteral("Рисунок PNG (*.png)"), QStringLiteral("png"));
    if (path.isEmpty())
        return false;
    // Written beside the chosen name first: a failure keeps the file that was there.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !m_view->grab().save(&file, "PNG") || !file.commit()) {
        m_op.message(Operator::Icon::Error, fileWriteError(path, file.errorString()));
        return false;
    }
    return true;
}

bool TrendChart::savePoints()
{
    const QString path = m_op.askSaveFileName(QStringLiteral("CSV (*.csv)"), QStringLiteral("csv"));
    if (path.isEmpty())
        return false;
    QString error;
    if (!LiveCsv::writeSeries(path, m_series, m_decimalSeparator, &error)) {
        m_op.message(Operator::Icon::Error, error);
        return false;
    }
    return true;
}

} // namespace miv
