#pragma once

#include "chartrange.h"

#include <QMainWindow>
#include <QPointF>
#include <QVector>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <array>

namespace Ui {
class ChartView;
}

// One three-valued sensor quantity as three traces scrolling right to left,
// the newest sample at the right edge. The horizontal axis counts samples,
// not time: every sample moves the traces by one tick of the hidden axis.
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

    // The owner names the traces and titles the vertical axis through these;
    // the chart owns both.
    std::array<QtCharts::QLineSeries *, 3> series {};
    QtCharts::QValueAxis *axisY = nullptr;

public slots:
    void receiveData(float axisValue1, float axisValue2, float axisValue3);

private:
    void showHalfSpan();
    void flushSamples();

    Ui::ChartView *ui;
    QtCharts::QChart *chart = nullptr;
    QtCharts::QValueAxis *axisX = nullptr;
    std::array<QPointF, 3> lastPoint;
    // The points the series show, kept here so that a burst of samples
    // reaches the series as one change.
    std::array<QVector<QPointF>, 3> points;
    double visibleMin = 0;
    double visibleMax = 10;
    bool halfSpanChanged = false;
    bool flushPosted = false;
    bool paused = false;
    zel::ChartRange range;
};
