#pragma once

#include "chartrange.h"
#include "charttraces.h"

#include <QFont>
#include <QMainWindow>
#include <QRect>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace Ui {
class ChartView;
}

class ChartPlot;

namespace zel {

// Where the parts of a chart go in its plot widget, worked out before any
// drawing so the traces' area is known between repaints.
struct ChartLayout
{
    QRect background; // the white panel inside the window's margin
    QRect legend;
    QRect plot; // the traces' area: half-span at the top edge, minus it at the bottom
    int labelWidth; // the widest vertical-axis label
    int labelHeight;
    int titleHeight; // one line of the axis title, set sideways
    int halfSpan;
};

// The layout of a plot widget of `size` whose labels use `font` (the axis
// title the bold of it), showing the range -halfSpan..halfSpan.
ChartLayout chartLayout(const QSize &size, const QFont &font, int halfSpan);

} // namespace zel

// One three-valued sensor quantity as three traces scrolling right to left,
// the newest sample at the right edge. The horizontal axis counts samples,
// not time: every sample moves the traces by one tick of the hidden axis.
// Samples are stored as they arrive; the plot is redrawn at screen rate
// while the window is visible, showing everything received since.
class ChartView : public QMainWindow
{
    Q_OBJECT

public:
    explicit ChartView(QWidget *parent = nullptr);
    ~ChartView() override;

    // Sets the limits of the vertical range and shows exactly those limits
    // until the first sample arrives.
    void setRangeLimits(double low, double high);

    // While paused the chart takes its samples without showing them; on
    // resuming it shows the latest at once.
    void setPaused(bool pause);

    void setTraceNames(const QStringList &names);
    void setAxisTitle(const QString &title);
    QStringList traceNames() const { return names; }
    QString axisTitle() const { return title; }

    // What the plot shows: the traces and the half-span r of the vertical
    // range -r..r (held still while paused).
    const zel::ChartTraces &shownTraces() const { return held ? *held : traces; }
    int shownHalfSpan() const { return held ? heldHalfSpan : range.halfSpan(); }

public slots:
    void receiveData(float axisValue1, float axisValue2, float axisValue3);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void repaintIfChanged();

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
};
