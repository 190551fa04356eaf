#include "chartview.h"
#include "ui_chartview.h"

#include "sampletext.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QHideEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPolygonF>
#include <QShowEvent>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {
// Samples across the visible width, and the width in axis units.
constexpr int visibleTicks = 500;
constexpr double visibleSpan = 10.0;
// Screen rate: often enough to look smooth, rarely enough to leave the GUI
// thread idle most of the time at 500 samples a second.
constexpr int repaintIntervalMs = 33;
constexpr int verticalTicks = 5;
// A minute of samples at the module's highest output rate, 500 a second;
// without a timestamp a sample is taken to be one such step after the last.
constexpr int historySamples = 60 * 500;
constexpr float sampleStep = 1.0f / 500;
// One notch of the wheel, or one press of + or -, shows this much of the
// width; the arrow keys move by a tenth of it.
constexpr double zoomStep = 0.8;
constexpr double panStep = 0.1;

const QColor traceColours[3] = { QColor(0x209fdf), QColor(0x99ca53), QColor(0xf6a625) };
const QColor textColour(0x404044);
const QColor lineColour(0xd6d6d6);
const QColor gridColour(0xe6e6e6);

// One decimal more than the grid's step needs: the live view's 1000.0,
// 2.5, and values zoomed in on read to a tenth of the step.
QString valueLabel(double value, double step)
{
    return QString::number(value, 'f', zel::decimalsFor(step) + 1);
}
} // namespace

namespace zel {

ChartLayout chartLayout(const QSize &size, const QFont &font, double low, double high)
{
    ChartLayout layout;
    layout.low = low;
    layout.high = high;
    layout.background = QRect(QPoint(0, 0), size).adjusted(9, 9, -9, -9);
    const QRect &background = layout.background;
    layout.legend
        = QRect(background.left() + 20, background.top() + 20, background.width() - 40, 43);
    const QFontMetrics metrics(font);
    layout.labelHeight = metrics.height();
    layout.labelWidth = 0;
    const double step = (high - low) / (verticalTicks - 1);
    for (int i = 0; i < verticalTicks; ++i) {
        layout.labelWidth
            = qMax(layout.labelWidth, metrics.horizontalAdvance(valueLabel(low + step * i, step)));
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
// and the three traces over the visible samples; while the chart is paused,
// its history on a time axis, with the pointer's sample read out. Takes its
// data from the window; it keeps only the layout it last painted, buffers
// for the points it maps to pixels, and where the pointer is.
class ChartPlot : public QWidget
{
public:
    explicit ChartPlot(ChartView *view)
        : chart(view)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
    }

    // Between samples only the traces move: unless the range changed, only
    // the plot area is painted again (and copied to the screen).
    void updateTraces()
    {
        if (painted && chart->shownHalfSpan() == painted->high)
            update(painted->plot.adjusted(-2, -2, 2, 2));
        else
            update();
    }

    void forgetPointer() { pointer.reset(); }

protected:
    void paintEvent(QPaintEvent *) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void drawLegend(QPainter &painter, const QRect &area);
    void drawAxis(QPainter &painter, const zel::ChartLayout &layout);
    void drawTraces(QPainter &painter, const zel::ChartLayout &layout);
    void drawTimeAxis(QPainter &painter, const zel::ChartLayout &layout);
    void drawHistory(QPainter &painter, const zel::ChartLayout &layout);
    void drawCursor(QPainter &painter, const zel::ChartLayout &layout);
    bool inspecting() const { return chart->held && painted; }
    double secondsPerPixel() const
    {
        return chart->window.width() / qMax(1, painted->plot.width());
    }
    double valuesPerPixel() const
    {
        return (chart->valueHigh - chart->valueLow) / qMax(1, painted->plot.height());
    }
    double timeAt(double x) const
    {
        return chart->window.start + (x - painted->plot.left()) * secondsPerPixel();
    }

    ChartView *chart;
    QPolygonF polyline;
    std::vector<zel::ColumnSpan> columns;
    std::optional<zel::ChartLayout> painted;
    std::optional<QPoint> pointer;
    std::optional<QPoint> dragFrom;
};

void ChartPlot::paintEvent(QPaintEvent *)
{
    if (chart->held)
        painted = zel::chartLayout(size(), font(), chart->valueLow, chart->valueHigh);
    else
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
    if (!chart->held) {
        drawTraces(painter, layout);
        return;
    }
    drawTimeAxis(painter, layout);
    drawHistory(painter, layout);
    drawCursor(painter, layout);
}

void ChartPlot::drawAxis(QPainter &painter, const zel::ChartLayout &layout)
{
    const QRect &plot = layout.plot;

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
    const double step = (layout.high - layout.low) / (verticalTicks - 1);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < verticalTicks; ++i) {
        const int y = plot.top() + plot.height() * i / (verticalTicks - 1);
        painter.setPen(gridColour);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(lineColour);
        painter.drawLine(plot.left() - 5, y, plot.left(), y);
        painter.setPen(textColour);
        painter.drawText(QRect(plot.left() - 7 - layout.labelWidth, y - labelHeight / 2,
                             layout.labelWidth, labelHeight),
            Qt::AlignRight | Qt::AlignVCenter, valueLabel(layout.high - step * i, step));
    }
    painter.setPen(lineColour);
    painter.drawLine(plot.left(), plot.top(), plot.left(), plot.bottom());
}

// From the point at the left edge to the newest sample at the right edge.
void ChartPlot::drawTraces(QPainter &painter, const zel::ChartLayout &layout)
{
    const QRect &plot = layout.plot;
    const double half = layout.high;
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

// Seconds before the newest sample at the pause, at round steps far enough
// apart for their labels.
void ChartPlot::drawTimeAxis(QPainter &painter, const zel::ChartLayout &layout)
{
    const QRect &plot = layout.plot;
    const zel::TimeWindow &window = chart->window;
    const double from = window.start - chart->pausedAt;
    const double to = window.end - chart->pausedAt;
    const double pixelsPerSecond = plot.width() / window.width();
    const QFontMetrics metrics(font());
    const auto widest = [&](double step) {
        // Any label of the window is no longer than one of its ends, taken
        // with the widest digit in every place.
        int width = 0;
        for (const double end : { from, to }) {
            QString label = zel::tickLabel(end, step);
            for (QChar &c : label) {
                if (c.isDigit())
                    c = QLatin1Char('8');
            }
            width = qMax(width, metrics.horizontalAdvance(label));
        }
        return double(width);
    };
    const double step = zel::tickStep(pixelsPerSecond, widest);
    const int labelWidth = int(widest(step)) + 2;
    for (double k = std::ceil(from / step); k * step <= to; ++k) {
        const int x = plot.left() + int(std::lround((k * step - from) * pixelsPerSecond));
        painter.setPen(gridColour);
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(lineColour);
        painter.drawLine(x, plot.bottom(), x, plot.bottom() + 5);
        painter.setPen(textColour);
        painter.drawText(
            QRect(x - labelWidth / 2, plot.bottom() + 9, labelWidth, layout.labelHeight),
            Qt::AlignCenter, zel::tickLabel(k * step, step));
    }
    painter.setPen(lineColour);
    painter.drawLine(plot.left(), plot.bottom(), plot.right(), plot.bottom());
}

// Each sample in view as a point of the trace while there are few enough;
// beyond two a pixel column, the lowest and highest of each column.
void ChartPlot::drawHistory(QPainter &painter, const zel::ChartLayout &layout)
{
    const QRect &plot = layout.plot;
    const zel::ChartHistory &history = chart->pastSamples;
    const zel::TimeWindow &window = chart->window;
    // One sample beyond each edge, so the traces run to the edges.
    const int first = qMax(0, history.lowerBound(window.start) - 1);
    const int last = qMin(history.size(), history.lowerBound(window.end) + 1);
    const double pixelsPerSecond = plot.width() / window.width();
    const double yScale = plot.height() / (layout.high - layout.low);
    const auto yOf = [&](float value) { return plot.top() + (layout.high - value) * yScale; };
    const bool reduce = last - first > 2 * plot.width();
    painter.save();
    painter.setClipRect(plot.adjusted(0, -1, 1, 1));
    painter.setRenderHint(QPainter::Antialiasing);
    for (int t = 0; t < 3; ++t) {
        polyline.clear();
        if (reduce) {
            zel::minMaxColumns(history, t, first, last, window.start, pixelsPerSecond, columns);
            for (const zel::ColumnSpan &span : columns) {
                const double x = plot.left() + span.column + 0.5;
                // Enter each column at the end nearer the line coming in.
                const bool downwards = !polyline.isEmpty()
                    && polyline.last().y() < (yOf(span.low) + yOf(span.high)) / 2;
                polyline << QPointF(x, yOf(downwards ? span.high : span.low))
                         << QPointF(x, yOf(downwards ? span.low : span.high));
            }
        } else {
            for (int i = first; i < last; ++i) {
                const zel::HistorySample &sample = history.at(i);
                polyline << QPointF(plot.left() + (sample.time - window.start) * pixelsPerSecond,
                    yOf(sample.values[std::size_t(t)]));
            }
        }
        painter.setPen(QPen(traceColours[t], 1));
        painter.drawPolyline(polyline);
        polyline.translate(0.5, 0.85);
        painter.drawPolyline(polyline);
    }
    painter.restore();
}

// A line through the sample nearest the pointer, its time and its values.
void ChartPlot::drawCursor(QPainter &painter, const zel::ChartLayout &layout)
{
    const QRect &plot = layout.plot;
    const zel::ChartHistory &history = chart->pastSamples;
    if (!pointer || !plot.contains(*pointer) || history.size() == 0)
        return;
    const double time = timeAt(pointer->x());
    int nearest = qMin(history.lowerBound(time), history.size() - 1);
    if (nearest > 0 && time - history.at(nearest - 1).time < history.at(nearest).time - time)
        --nearest;
    const zel::HistorySample &sample = history.at(nearest);
    const double x
        = plot.left() + (sample.time - chart->window.start) / chart->window.width() * plot.width();
    if (x < plot.left() || x > plot.right() + 1)
        return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(textColour);
    painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));

    QStringList lines { QStringLiteral("%1 s (%2 s)")
                            .arg(zel::timestampText(sample.time))
                            .arg(sample.time - chart->pausedAt, 0, 'f', 3) };
    const QStringList names = chart->traceNames();
    for (int i = 0; i < 3; ++i)
        lines << names.value(i) + QLatin1Char(' ') + zel::valueText(sample.values[std::size_t(i)]);
    const QFontMetrics metrics(font());
    int width = 0;
    for (const QString &line : lines)
        width = qMax(width, metrics.horizontalAdvance(line));
    QRect box(0, plot.top() + 6, width + 12, lines.size() * metrics.height() + 8);
    box.moveLeft(x + 8 + box.width() <= plot.right() ? int(x) + 8 : int(x) - 8 - box.width());
    painter.setPen(lineColour);
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawRect(box);
    for (int i = 0; i < lines.size(); ++i) {
        painter.setPen(i == 0 ? textColour : traceColours[i - 1]);
        painter.drawText(
            QRect(box.left() + 6, box.top() + 4 + i * metrics.height(), width, metrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
    }
}

void ChartPlot::wheelEvent(QWheelEvent *event)
{
    if (!inspecting())
        return QWidget::wheelEvent(event);
    const double factor = std::pow(zoomStep, event->angleDelta().y() / 120.0);
    const QPointF at = event->position();
    if (event->modifiers() & Qt::ControlModifier)
        chart->zoomValues(
            chart->valueHigh - (at.y() - painted->plot.top()) * valuesPerPixel(), factor);
    else
        chart->moveTimeWindow(zel::zoomedAround(chart->window, timeAt(at.x()), factor));
}

void ChartPlot::mousePressEvent(QMouseEvent *event)
{
    if (inspecting() && event->button() == Qt::LeftButton)
        dragFrom = event->pos();
    QWidget::mousePressEvent(event);
}

void ChartPlot::mouseMoveEvent(QMouseEvent *event)
{
    pointer = event->pos();
    if (inspecting() && dragFrom) {
        // The samples follow the pointer: dragging right shows earlier ones.
        const QPoint moved = event->pos() - *dragFrom;
        dragFrom = event->pos();
        const double seconds = -moved.x() * secondsPerPixel();
        chart->valueLow += moved.y() * valuesPerPixel();
        chart->valueHigh += moved.y() * valuesPerPixel();
        chart->moveTimeWindow({ chart->window.start + seconds, chart->window.end + seconds });
    }
    if (chart->held)
        update();
}

void ChartPlot::mouseReleaseEvent(QMouseEvent *event)
{
    dragFrom.reset();
    QWidget::mouseReleaseEvent(event);
}

void ChartPlot::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (chart->held)
        chart->fitToLiveView();
    QWidget::mouseDoubleClickEvent(event);
}

void ChartPlot::leaveEvent(QEvent *event)
{
    pointer.reset();
    if (chart->held)
        update();
    QWidget::leaveEvent(event);
}

void ChartPlot::keyPressEvent(QKeyEvent *event)
{
    if (!inspecting())
        return QWidget::keyPressEvent(event);
    const zel::TimeWindow &window = chart->window;
    const double middle = (window.start + window.end) / 2;
    const double pan = window.width() * panStep;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        chart->moveTimeWindow(zel::zoomedAround(window, middle, zoomStep));
        break;
    case Qt::Key_Minus:
        chart->moveTimeWindow(zel::zoomedAround(window, middle, 1 / zoomStep));
        break;
    case Qt::Key_Left:
        chart->moveTimeWindow({ window.start - pan, window.end - pan });
        break;
    case Qt::Key_Right:
        chart->moveTimeWindow({ window.start + pan, window.end + pan });
        break;
    case Qt::Key_Home:
        chart->fitToLiveView();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void ChartPlot::contextMenuEvent(QContextMenuEvent *event)
{
    if (!chart->held)
        return QWidget::contextMenuEvent(event);
    QMenu menu(this);
    menu.addAction(ChartView::tr("Save Chart as PNG..."), chart, &ChartView::saveVisiblePicture);
    menu.addAction(
        ChartView::tr("Save Visible Samples as CSV..."), chart, &ChartView::saveVisibleSamples);
    menu.exec(event->globalPos());
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

namespace zel {

class ChartGroup
{
public:
    std::vector<ChartView *> charts;
};

void linkCharts(const std::vector<ChartView *> &charts)
{
    auto group = std::make_shared<ChartGroup>();
    group->charts = charts;
    for (ChartView *chart : charts)
        chart->group = group;
}

} // namespace zel

ChartView::ChartView(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::ChartView)
    , traces(visibleTicks, visibleSpan)
    , range(visibleTicks)
    , pastSamples(historySamples)
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
    if (group) {
        auto &linked = group->charts;
        linked.erase(std::remove(linked.begin(), linked.end(), this), linked.end());
    }
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
        // The live view's width in time: 500 steps of the recent mean
        // interval, or of the highest output rate before there are two.
        const int size = pastSamples.size();
        pausedAt = size > 0 ? pastSamples.at(size - 1).time : 0;
        const int recent = qMin(size, visibleTicks + 1);
        const double interval
            = recent > 1 ? (pausedAt - pastSamples.at(size - recent).time) / (recent - 1) : 0;
        liveWidth = visibleTicks * (interval > 0 ? interval : double(sampleStep));
        fitToLiveView();
    } else if (!pause && held) {
        held.reset();
        plot->forgetPointer();
        plot->update();
    }
}

void ChartView::clearSamples()
{
    traces = zel::ChartTraces(visibleTicks, visibleSpan);
    range.clear();
    pastSamples.clear();
    changed = true;
}

void ChartView::fitToLiveView()
{
    valueLow = -heldHalfSpan;
    valueHigh = heldHalfSpan;
    window = { pausedAt - liveWidth, pausedAt };
    plot->update();
}

void ChartView::showTimeWindow(const zel::TimeWindow &shown)
{
    window = shown;
    plot->update();
}

void ChartView::moveTimeWindow(const zel::TimeWindow &wanted)
{
    const int size = pastSamples.size();
    const double oldest = size > 0 ? pastSamples.at(0).time : pausedAt;
    const double newest = size > 0 ? pastSamples.at(size - 1).time : pausedAt;
    // Down to a hundredth of the live view: five samples at an even rate.
    const zel::TimeWindow shown = zel::withinHistory(
        wanted, oldest, newest, liveWidth / 100, qMax(newest - oldest, liveWidth));
    if (!group) {
        showTimeWindow(shown);
        return;
    }
    for (ChartView *chart : group->charts) {
        if (chart->held)
            chart->showTimeWindow(shown);
    }
}

void ChartView::zoomValues(double anchor, double factor)
{
    // No narrower than a thousandth of the range the pause began with.
    const double least = 2.0 * qMax(1, heldHalfSpan) / 1000;
    if ((valueHigh - valueLow) * factor < least)
        factor = least / (valueHigh - valueLow);
    valueLow = anchor - (anchor - valueLow) * factor;
    valueHigh = anchor + (valueHigh - anchor) * factor;
    plot->update();
}

void ChartView::saveVisiblePicture()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save Chart as PNG"), QStringLiteral("chart.png"), tr("PNG image (*.png)"));
    if (fileName.isEmpty())
        return;
    plot->forgetPointer();
    if (!plot->grab().save(fileName, "PNG"))
        QMessageBox::warning(this, windowTitle(), tr("Cannot write %1").arg(fileName));
}

void ChartView::saveVisibleSamples()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save Visible Samples as CSV"), QStringLiteral("samples.csv"), tr("csv (*.csv)"));
    if (fileName.isEmpty())
        return;
    const std::vector<ChartView *> charts
        = group ? group->charts : std::vector<ChartView *> { this };
    std::vector<const zel::ChartHistory *> histories;
    QStringList columns;
    for (const ChartView *chart : charts) {
        histories.push_back(&chart->pastSamples);
        columns << chart->traceNames().mid(0, 3);
    }
    // Linked as the data log orders them, the charts save under its names:
    // all but the quaternion's.
    if (charts.size() == 4) {
        const QString log = QString::fromLatin1(zel::csvHeader()).trimmed();
        columns = log.split(QLatin1Char(',')).mid(1, 9) + log.split(QLatin1Char(',')).mid(14, 3);
    }
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(zel::historyCsv(histories, columns, window.start, window.end)) < 0)
        QMessageBox::warning(this, windowTitle(), tr("Cannot write %1").arg(fileName));
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
    const int size = pastSamples.size();
    const float time = size > 0 ? pastSamples.at(size - 1).time + sampleStep : 0;
    receiveSample(time, axisValue1, axisValue2, axisValue3);
}

void ChartView::receiveSample(float timestamp, float axisValue1, float axisValue2, float axisValue3)
{
    pastSamples.append(timestamp, axisValue1, axisValue2, axisValue3);
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
