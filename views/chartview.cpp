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
    axisX->setRange(0, visibleSpan);

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

void ChartView::receiveData(float axisValue1, float axisValue2, float axisValue3)
{
    const int n = axisX->tickCount();
    const double step = (axisX->max() - axisX->min()) / n;
    const float values[3] = { axisValue1, axisValue2, axisValue3 };
    for (int i = 0; i < 3; ++i) {
        lastPoint[i].rx() += step;
        series[i]->append(lastPoint[i].x(), static_cast<double>(values[i]));
    }

    // Dropping a whole screen at once keeps removal off the per-sample path.
    if (series[0]->count() >= 2 * n) {
        for (QLineSeries *line : series)
            line->removePoints(0, n);
    }

    if (range.trackExtremes(axisValue1, axisValue2, axisValue3))
        showHalfSpan();

    // Moving the axis by one step is what scrolling by a tick's width in
    // pixels amounts to, but it also works while the window has never been
    // laid out (a hidden chart has no plot area to scroll).
    axisX->setRange(axisX->min() + step, axisX->max() + step);
}

void ChartView::showHalfSpan()
{
    axisY->setRange(-range.halfSpan(), range.halfSpan());
}
