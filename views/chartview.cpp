#include "chartview.h"
#include "ui_chartview.h"

#include <QHideEvent>
#include <QPainter>
#include <QPolygonF>
#include <QShowEvent>

#include <optional>

namespace {
// Samples across the visible width, and the width in axis units.
constexpr int visibleTicks = 500;
constexpr double visibleSpan = 10.0;
// Screen rate: often enough to look smooth, rarely enough to leave the GUI
// thread idle most of the time at 500 samples a second.
constexpr int repaintIntervalMs = 33;
constexpr int verticalTicks = 5;

const QColor traceColours[3] = { QColor(0x209fdf), QColor(0x99ca53), QColor(0xf6a625) };
const QColor textColour(0x404044);
const QColor lineColour(0xd6d6d6);
const QColor gridColour(0xe6e6e6);
} // namespace

namespace zel {

ChartLayout chartLayout(const QSize &size, const QFont &font, int halfSpan)
{
    ChartLayout layout;
    layout.halfSpan = halfSpan;
    layout.background = QRect(QPoint(0, 0), size).adjusted(9, 9, -9, -9);
    const QRect &background = layout.background;
    layout.legend
        = QRect(background.left() + 20, background.top() + 20, background.width() - 40, 43);
    const QFontMetrics metrics(font);
    layout.labelHeight = metrics.height();
    layout.labelWidth = 0;
    for (int i = 0; i < verticalTicks; ++i) {
        const double value = -halfSpan + 2.0 * halfSpan * i / (verticalTicks - 1);
        layout.labelWidth
            = qMax(layout.labelWidth, metrics.horizontalAdvance(QString::number(value, 'f', 1)));
    }
    QFont titleFont = font;
    titleFont.setBold(true);
    layout.titleHeight = QFontMetrics(titleFont).height();
    layout.plot
        = QRect(QPoint(background.left() + 20 + layout.titleHeight + 6 + layout.labelWidth + 7,
                    layout.legend.bottom() + 10),
            QPoint(background.right() - 22, background.bottom() - 31));
    return layout;
}

} // namespace zel

// Draws the chart: legend, vertical axis with its title, grid and labels,
// and the three traces over the visible samples. Takes its data from the
// window; it keeps only the layout it last painted and a buffer for the
// points it maps to pixels.
class ChartPlot : public QWidget
{
public:
    explicit ChartPlot(const ChartView *view)
        : chart(view)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    // Between samples only the traces move: unless the range changed, only
    // the plot area is painted again (and copied to the screen).
    void updateTraces()
    {
        if (painted && chart->shownHalfSpan() == painted->halfSpan)
            update(painted->plot.adjusted(-2, -2, 2, 2));
        else
            update();
    }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    void drawLegend(QPainter &painter, const QRect &area);
    void drawAxis(QPainter &painter, const zel::ChartLayout &layout);
    void drawTraces(QPainter &painter, const zel::ChartLayout &layout);

    const ChartView *chart;
    QPolygonF polyline;
    std::optional<zel::ChartLayout> painted;
};

void ChartPlot::paintEvent(QPaintEvent *)
{
    painted = zel::chartLayout(size(), font(), chart->shownHalfSpan());
    const zel::ChartLayout &layout = *painted;
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(layout.background, 5, 5);
    drawLegend(painter, layout.legend);
    if (layout.plot.width() < 2 || layout.plot.height() < 2)
        return;
    drawAxis(painter, layout);
    drawTraces(painter, layout);
}

void ChartPlot::drawAxis(QPainter &painter, const zel::ChartLayout &layout)
{
    const QRect &plot = layout.plot;
    const int half = layout.halfSpan;

    // Axis title, turned to read upwards, centred beside the plot.
    painter.save();
    QFont titleFont = font();
    titleFont.setBold(true);
    painter.setFont(titleFont);
    painter.setPen(textColour);
    painter.translate(layout.background.left() + 20, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRect(-plot.height() / 2, 0, plot.height(), layout.titleHeight),
        Qt::AlignCenter, chart->axisTitle());
    painter.restore();

    // Grid lines with their labels and ticks, top to bottom.
    const int labelHeight = layout.labelHeight;
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < verticalTicks; ++i) {
        const int y = plot.top() + plot.height() * i / (verticalTicks - 1);
        const double value = half - 2.0 * half * i / (verticalTicks - 1);
        painter.setPen(gridColour);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(lineColour);
        painter.drawLine(plot.left() - 5, y, plot.left(), y);
        painter.setPen(textColour);
        painter.drawText(QRect(plot.left() - 7 - layout.labelWidth, y - labelHeight / 2,
                             layout.labelWidth, labelHeight),
            Qt::AlignRight | Qt::AlignVCenter, QString::number(value, 'f', 1));
    }
    painter.setPen(lineColour);
    painter.drawLine(plot.left(), plot.top(), plot.left(), plot.bottom());
}

// From the point at the left edge to the newest sample at the right edge.
void ChartPlot::drawTraces(QPainter &painter, const zel::ChartLayout &layout)
{
    const QRect &plot = layout.plot;
    const int half = layout.halfSpan;
    const zel::ChartTraces &traces = chart->shownTraces();
    const double xScale = plot.width() / (traces.visibleMax() - traces.visibleMin());
    const double yScale = half > 0 ? plot.height() / (2.0 * half) : 0;
    const int first = qMax(0, traces.firstVisible() - 1);
    painter.setClipRect(plot.adjusted(0, -1, 1, 1));
    painter.setRenderHint(QPainter::Antialiasing);
    for (int t = 0; t < 3; ++t) {
        const QVector<QPointF> &points = traces.points(t);
        polyline.resize(points.size() - first);
        for (int i = first; i < points.size(); ++i) {
            polyline[i - first]
                = QPointF(plot.left() + (points[i].x() - traces.visibleMin()) * xScale,
                    plot.center().y() - points[i].y() * yScale);
        }
        // The same one-pixel line again, half a pixel to the right and 0.85
        // of a pixel lower, reads as a trace about two pixels thick, and a
        // one-pixel pen is drawn by a much cheaper path than a wide one.
        painter.setPen(QPen(traceColours[t], 1));
        painter.drawPolyline(polyline);
        polyline.translate(0.5, 0.85);
        painter.drawPolyline(polyline);
    }
}

void ChartPlot::drawLegend(QPainter &painter, const QRect &area)
{
    painter.setPen(lineColour);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);

    const QFontMetrics metrics(font());
    const int marker = 9;
    const int gap = 5;
    const QStringList names = chart->traceNames();
    int width = 0;
    for (const QString &name : names)
        width += marker + gap + metrics.horizontalAdvance(name) + 2 * gap;
    int x = area.center().x() - width / 2;
    const int y = area.center().y();
    for (int i = 0; i < names.size() && i < 3; ++i) {
        painter.setPen(traceColours[i].darker(200));
        painter.setBrush(traceColours[i]);
        painter.drawRect(QRectF(x + 0.5, y - marker / 2 + 0.5, marker - 1, marker - 1));
        x += marker + gap;
        painter.setPen(textColour);
        const int textWidth = metrics.horizontalAdvance(names[i]);
        painter.drawText(QRect(x, y - metrics.height() / 2, textWidth, metrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter, names[i]);
        x += textWidth + 2 * gap;
    }
}

ChartView::ChartView(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::ChartView)
    , traces(visibleTicks, visibleSpan)
    , range(visibleTicks)
{
    ui->setupUi(this);
    plot = new ChartPlot(this);
    setCentralWidget(plot);
    resize(800, 600);
    repaintTimer.setInterval(repaintIntervalMs);
    connect(&repaintTimer, &QTimer::timeout, this, &ChartView::repaintIfChanged);
}

ChartView::~ChartView()
{
    delete ui;
}

void ChartView::setRangeLimits(double low, double high)
{
    range.setRangeLimits(low, high);
    changed = true;
}

void ChartView::setPaused(bool pause)
{
    if (pause && !held) {
        held = std::make_unique<zel::ChartTraces>(traces);
        heldHalfSpan = range.halfSpan();
    } else if (!pause && held) {
        held.reset();
        plot->update();
    }
}

void ChartView::setTraceNames(const QStringList &traceNames)
{
    names = traceNames;
    plot->update();
}

void ChartView::setAxisTitle(const QString &axisTitle)
{
    title = axisTitle;
    plot->update();
}

void ChartView::receiveData(float axisValue1, float axisValue2, float axisValue3)
{
    traces.append(axisValue1, axisValue2, axisValue3);
    range.trackExtremes(axisValue1, axisValue2, axisValue3);
    changed = true;
}

void ChartView::showEvent(QShowEvent *event)
{
    repaintTimer.start();
    QMainWindow::showEvent(event);
}

void ChartView::hideEvent(QHideEvent *event)
{
    repaintTimer.stop();
    QMainWindow::hideEvent(event);
}

void ChartView::repaintIfChanged()
{
    if (changed && !held) {
        changed = false;
        plot->updateTraces();
    }
}
