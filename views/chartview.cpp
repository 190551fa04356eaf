#include "chartview.h"
#include "ui_chartview.h"

#include <QtCharts/QChartView>

QT_CHARTS_USE_NAMESPACE

namespace {
// Samples across the visible width, and the width in axis units.
constexpr int visibleTicks = 500;
constexpr double visibleSpan = 10.0;
} // namespace

ChartView::ChartView(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::ChartView)
    , range(visibleTicks)
{
    ui->setupUi(this);

    for (int i = 0; i < 3; ++i) {
        lastPoint[i] = QPointF(visibleSpan, 0);
        points[i].reserve(2 * visibleTicks);
        points[i].append(lastPoint[i]);
        series[i] = new QLineSeries;
        series[i]->append(lastPoint[i]);
    }

    chart = new QChart;
    chart->legend()->setVisible(true);
    chart->legend()->setBackgroundVisible(true);
    for (QLineSeries *line : series)
        chart->addSeries(line);

    axisX = new QValueAxis;
    axisY = new QValueAxis;
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    chart->setAnimationOptions(QChart::NoAnimation);
    // Hidden as a whole, not just its line, labels and grid: a visible axis
    // lays out all 500 tick labels again on every scroll, whether drawn or
    // not, which costs tens of milliseconds per sample.
    axisX->setVisible(false);

    for (QLineSeries *line : series) {
        line->attachAxis(axisX);
        line->attachAxis(axisY);
    }
    axisX->setTickCount(visibleTicks);
    visibleMin = 0;
    visibleMax = visibleSpan;
    axisX->setRange(visibleMin, visibleMax);

    // At 500 samples a second per chart the raster path cannot keep up.
    for (QLineSeries *line : series)
        line->setUseOpenGL(true);

    auto *view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    setCentralWidget(view);
    resize(800, 600);
}

ChartView::~ChartView()
{
    delete ui;
}

void ChartView::setRangeLimits(double low, double high)
{
    range.setRangeLimits(low, high);
    showHalfSpan();
}

void ChartView::setPaused(bool pause)
{
    paused = pause;
    flushSamples();
}

void ChartView::receiveData(float axisValue1, float axisValue2, float axisValue3)
{
    const double step = (visibleMax - visibleMin) / visibleTicks;
    const float values[3] = { axisValue1, axisValue2, axisValue3 };
    for (int i = 0; i < 3; ++i) {
        lastPoint[i].rx() += step;
        points[i].append(QPointF(lastPoint[i].x(), static_cast<double>(values[i])));
    }

    // Dropping a whole screen at once keeps removal off the per-sample path.
    if (points[0].size() >= 2 * visibleTicks) {
        for (QVector<QPointF> &line : points)
            line.remove(0, visibleTicks);
    }

    if (range.trackExtremes(axisValue1, axisValue2, axisValue3))
        halfSpanChanged = true;

    // Moving the axis by one step is what scrolling by a tick's width in
    // pixels amounts to, but it also works while the window has never been
    // laid out (a hidden chart has no plot area to scroll).
    visibleMin += step;
    visibleMax += step;

    // The samples of one burst reach the chart in one go: at 500 samples a
    // second, handing each point to the series on its own makes every
    // sample a change of the whole chart, and the window stops keeping up.
    if (!flushPosted) {
        flushPosted = true;
        QMetaObject::invokeMethod(this, &ChartView::flushSamples, Qt::QueuedConnection);
    }
}

void ChartView::flushSamples()
{
    flushPosted = false;
    if (paused)
        return;
    for (int i = 0; i < 3; ++i)
        series[i]->replace(points[i]);
    if (halfSpanChanged) {
        halfSpanChanged = false;
        showHalfSpan();
    }
    axisX->setRange(visibleMin, visibleMax);
}

void ChartView::showHalfSpan()
{
    axisY->setRange(-range.halfSpan(), range.halfSpan());
}
