#include "chartview.h"

#include <QtTest>

QT_CHARTS_USE_NAMESPACE

class TestChart : public QObject
{
    Q_OBJECT

private slots:
    void scrollsOneStepPerSampleAndDropsBlocks_data();
    void scrollsOneStepPerSampleAndDropsBlocks();
};

void TestChart::scrollsOneStepPerSampleAndDropsBlocks_data()
{
    QTest::addColumn<bool>("shown");
    QTest::newRow("shown") << true;
    // The main window keeps charts hidden until opened; they plot all the same.
    QTest::newRow("hidden") << false;
}

void TestChart::scrollsOneStepPerSampleAndDropsBlocks()
{
    QFETCH(bool, shown);
    ChartView view;
    view.setRangeLimits(-1000, 1000);
    if (shown) {
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
    auto *axisX
        = qobject_cast<QValueAxis *>(view.series[0]->chart()->axes(Qt::Horizontal).value(0));
    QVERIFY(axisX);
    int sent = 0;
    auto feed = [&](int samples, int points) {
        for (int i = 0; i < samples; ++i, ++sent)
            view.receiveData(sent % 7, -(sent % 5), 2.5f);
        QTRY_COMPARE(view.series[2]->count(), points);
    };

    feed(1, 2);
    for (QLineSeries *line : view.series)
        QCOMPARE(line->at(1).x(), 10.02);
    QCOMPARE(view.series[2]->at(1).y(), 2.5);

    feed(997, 999);
    const double newest = 10 + 998 * 0.02;
    QVERIFY(qAbs(view.series[0]->at(998).x() - newest) < 1e-9);
    // The newest sample at the right edge, 500 samples across.
    QVERIFY(qAbs(axisX->max() - newest) < 1e-9);
    QVERIFY(qAbs(axisX->max() - axisX->min() - 500 * 0.02) < 1e-9);
    // Values -4..6 with their margins fit -10..10.
    QCOMPARE(view.axisY->min(), -10.0);
    QCOMPARE(view.axisY->max(), 10.0);

    // The 999th sample makes 1000 points: the oldest 500 go at once.
    feed(1, 500);
    for (QLineSeries *line : view.series)
        QVERIFY(qAbs(line->at(0).x() - 20) < 1e-9);
    // That sample was number 998 counted from 0: 998 % 7 and -(998 % 5).
    QCOMPARE(view.series[0]->at(499).y(), 4.0);
    QCOMPARE(view.series[1]->at(499).y(), -3.0);
}

QTEST_MAIN(TestChart)
#include "tst_views_chart.moc"
