#include "chartview.h"

#include <QtCharts/QChartView>
#include <QtTest>

QT_CHARTS_USE_NAMESPACE

namespace {

// Samples reach the series in bursts, handed over by a queued call: deliver
// it as the event loop would.
void deliverPosted(ChartView &view)
{
    QCoreApplication::sendPostedEvents(&view, QEvent::MetaCall);
}

QValueAxis *horizontalAxis(ChartView &view)
{
    auto *chartView = qobject_cast<QChartView *>(view.centralWidget());
    const auto axes = chartView->chart()->axes(Qt::Horizontal);
    return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis *>(axes.first());
}

} // namespace

class TestChart : public QObject
{
    Q_OBJECT

private slots:
    void newChart();
    void configuredRange_data();
    void configuredRange();
    void firstSample_data();
    void firstSample();
    void scrollingAndBlockRemoval_data();
    void scrollingAndBlockRemoval();
    void burstReachesTheSeriesAsOneChange();
};

void TestChart::newChart()
{
    ChartView view;
    QCOMPARE(view.objectName(), QStringLiteral("ChartView"));
    QVERIFY(qobject_cast<QChartView *>(view.centralWidget()));
    QCOMPARE(view.size(), QSize(800, 600));
    for (QLineSeries *line : view.series) {
        QCOMPARE(line->count(), 1);
        QCOMPARE(line->at(0), QPointF(10, 0));
        QVERIFY(line->useOpenGL());
    }
    QValueAxis *axisX = horizontalAxis(view);
    QVERIFY(axisX);
    QVERIFY(!axisX->isVisible());
    QCOMPARE(axisX->tickCount(), 500);
    QCOMPARE(axisX->min(), 0.0);
    QCOMPARE(axisX->max(), 10.0);
}

void TestChart::configuredRange_data()
{
    QTest::addColumn<double>("limit");
    QTest::newRow("accelerometer") << 50.0;
    QTest::newRow("magnetometer") << 1600.0;
    QTest::newRow("gyroscope") << 1000.0;
    QTest::newRow("Euler angles") << 180.0;
}

void TestChart::configuredRange()
{
    QFETCH(double, limit);
    ChartView view;
    view.setRangeLimits(-limit, limit);
    QCOMPARE(view.axisY->min(), -limit);
    QCOMPARE(view.axisY->max(), limit);
}

void TestChart::firstSample_data()
{
    QTest::addColumn<double>("limit");
    QTest::addColumn<float>("v1");
    QTest::addColumn<float>("v2");
    QTest::addColumn<float>("v3");
    QTest::addColumn<double>("halfSpan");

    QTest::newRow("accelerometer") << 50.0 << 0.1f << -0.2f << 9.8f << 15.0;
    QTest::newRow("Euler clamped") << 180.0 << 250.0f << 0.0f << 0.0f << 180.0;
}

void TestChart::firstSample()
{
    QFETCH(double, limit);
    QFETCH(float, v1);
    QFETCH(float, v2);
    QFETCH(float, v3);
    QFETCH(double, halfSpan);

    ChartView view;
    view.setRangeLimits(-limit, limit);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    view.receiveData(v1, v2, v3);
    deliverPosted(view);
    const float values[3] = { v1, v2, v3 };
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(view.series[i]->count(), 2);
        QCOMPARE(view.series[i]->at(1).x(), 10.02);
        QCOMPARE(view.series[i]->at(1).y(), double(values[i]));
    }
    QValueAxis *axisX = horizontalAxis(view);
    QVERIFY(qAbs(axisX->min() - 0.02) < 1e-9);
    QVERIFY(qAbs(axisX->max() - 10.02) < 1e-9);
    QCOMPARE(view.axisY->min(), -halfSpan);
    QCOMPARE(view.axisY->max(), halfSpan);
}

void TestChart::scrollingAndBlockRemoval_data()
{
    QTest::addColumn<bool>("shown");
    QTest::newRow("shown") << true;
    // A chart that was never opened keeps plotting, so it is current when
    // the user first opens it.
    QTest::newRow("never shown") << false;
}

void TestChart::scrollingAndBlockRemoval()
{
    QFETCH(bool, shown);

    ChartView view;
    view.setRangeLimits(-1000, 1000);
    if (shown) {
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
    QValueAxis *axisX = horizontalAxis(view);

    for (int sample = 1; sample <= 998; ++sample) {
        view.receiveData(sample % 7, -(sample % 5), 2.5f);
        if (sample % 100 == 0)
            QCoreApplication::processEvents();
    }
    deliverPosted(view);
    for (QLineSeries *line : view.series)
        QCOMPARE(line->count(), 999);

    // The 999th sample brings each series to 1000 points; the oldest 500 go.
    view.receiveData(1, 1, 1);
    deliverPosted(view);
    for (QLineSeries *line : view.series) {
        QCOMPARE(line->count(), 500);
        QVERIFY(qAbs(line->at(line->count() - 1).x() - (10 + 999 * 0.02)) < 1e-6);
    }

    // The newest sample sits at the right edge, a screen of 500 ticks wide.
    const double newest = view.series[0]->at(499).x();
    QVERIFY(qAbs(axisX->max() - newest) < 1e-6);
    QVERIFY(qAbs(axisX->max() - axisX->min() - 10) < 1e-6);

    // Values -4..6 stay inside -10..10 after the margins.
    QCOMPARE(view.axisY->max(), 10.0);
    QCOMPARE(view.axisY->min(), -10.0);
}

void TestChart::burstReachesTheSeriesAsOneChange()
{
    ChartView view;
    view.setRangeLimits(-50, 50);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy replaced(view.series[0], &QXYSeries::pointsReplaced);
    QSignalSpy added(view.series[0], &QXYSeries::pointAdded);
    for (int sample = 0; sample < 40; ++sample)
        view.receiveData(sample, -sample, 1);
    deliverPosted(view);
    QCOMPARE(replaced.count(), 1);
    QCOMPARE(added.count(), 0);
    QCOMPARE(view.series[0]->count(), 41);
    QCOMPARE(view.series[0]->at(40).y(), 39.0);
    QVERIFY(qAbs(horizontalAxis(view)->max() - (10 + 40 * 0.02)) < 1e-9);
}

QTEST_MAIN(TestChart)
#include "tst_views_chart.moc"
