#pragma once

#include "charthistory.h"
#include "chartrange.h"
#include "charttraces.h"
#include "timewindow.h"

#include <QFont>
#include <QMainWindow>
#include <QRect>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

namespace Ui {
class ChartView;
}

class ChartPlot;
class ChartView;

namespace zel {

class ChartGroup;

// Lets `charts` look back together: zooming or panning one of them while
// paused moves the others to the same time window, and each saves the
// samples of all of them. In the data log's order (accelerometer,
// magnetometer, gyroscope, Euler angles), the saved columns take the data
// log's names.
void linkCharts(const std::vector<ChartView *> &charts);

// Where the parts of a chart go in its plot widget, worked out before any
// drawing so the traces' area is known between repaints.
struct ChartLayout
{
    QRect background; // the white panel inside the window's margin
    QRect legend;
    QRect plot; // the traces' area: `high` at the top edge, `low` at the bottom
    int labelWidth; // the widest vertical-axis label
    int labelHeight;
    int titleHeight; // one line of the axis title, set sideways
    double low;
    double high;
};

// The layout of a plot widget of `size` whose labels use `font` (the axis
// title the bold of it), showing the values low..high.
ChartLayout chartLayout(const QSize &size, const QFont &font, double low, double high);
// The live view's: -halfSpan..halfSpan.
inline ChartLayout chartLayout(const QSize &size, const QFont &font, int halfSpan)
{
    return chartLayout(size, font, -halfSpan, halfSpan);
}

} // namespace zel

// One three-valued sensor quantity as three traces scrolling right to left,
// the newest sample at the right edge. The horizontal axis counts samples,
// not time: every sample moves the traces by one tick of the hidden axis.
// Samples are stored as they arrive; the plot is redrawn at screen rate
// while the window is visible, showing everything received since.
//
// The last minute of samples is also kept with the module's timestamps, and
// while paused the chart shows that history instead, on a time axis: the
// user zooms, pans, reads values under the pointer and saves what is in
// view. Resuming returns to the live picture.
class ChartView : public QMainWindow
{
    Q_OBJECT

public:
    explicit ChartView(QWidget *parent = nullptr);
    ~ChartView() override;

    // Sets the limits of the vertical range and shows exactly those limits
    // until the first sample arrives.
    void setRangeLimits(double low, double high);

    // While paused the chart takes its samples without showing them and
    // shows its history from the newest 500 samples back; on resuming it
    // shows the latest at once.
    void setPaused(bool pause);
    // Forgets every sample, as a chart that has received none.
    void clearSamples();

    void setTraceNames(const QStringList &names);
    void setAxisTitle(const QString &title);
    QStringList traceNames() const { return names; }
    QString axisTitle() const { return title; }

    // What the plot shows: the traces and the half-span r of the vertical
    // range -r..r (held still while paused).
    const zel::ChartTraces &shownTraces() const { return held ? *held : traces; }
    int shownHalfSpan() const { return held ? heldHalfSpan : range.halfSpan(); }

    // While paused: the module time in view (the newest sample at the pause
    // and the live view's width at first), and a way to set it.
    zel::TimeWindow timeWindow() const { return window; }
    void showTimeWindow(const zel::TimeWindow &shown);
    const zel::ChartHistory &history() const { return pastSamples; }

public slots:
    // One sample without a timestamp: it is taken to follow the newest one
    // by a step of the module's highest output rate.
    void receiveData(float axisValue1, float axisValue2, float axisValue3);
    // One sample with the module's timestamp in seconds.
    void receiveSample(float timestamp, float axisValue1, float axisValue2, float axisValue3);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    friend class ChartPlot;
    friend void zel::linkCharts(const std::vector<ChartView *> &charts);

    void repaintIfChanged();
    // The user's moves while paused; time moves reach every linked chart.
    void moveTimeWindow(const zel::TimeWindow &wanted);
    void zoomValues(double anchor, double factor);
    void fitToLiveView();
    void saveVisiblePicture();
    void saveVisibleSamples();

    Ui::ChartView *ui;
    ChartPlot *plot;
    QTimer repaintTimer;
    bool changed = false;
    QStringList names;
    QString title;
    zel::ChartTraces traces;
    zel::ChartRange range;
    std::unique_ptr<zel::ChartTraces> held;
    int heldHalfSpan = 0;
    zel::ChartHistory pastSamples;
    // While paused: the time window shown, the time that reads 0 on its
    // axis (the newest sample at the pause), the live view's width in
    // seconds, and the values shown.
    zel::TimeWindow window;
    double pausedAt = 0;
    double liveWidth = 0;
    double valueLow = 0;
    double valueHigh = 0;
    std::shared_ptr<zel::ChartGroup> group;
};
