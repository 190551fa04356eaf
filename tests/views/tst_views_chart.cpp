#include "chartview.h"

#include <QtTest>

class TestChart : public QObject
{
    Q_OBJECT

private slots:
    void showsTheLast500SamplesFedBetweenTwoRepaints_data();
    void showsTheLast500SamplesFedBetweenTwoRepaints();
};

void TestChart::showsTheLast500SamplesFedBetweenTwoRepaints_data()
{
    QTest::addColumn<bool>("shown");
    QTest::newRow("shown") << true;
    // The main window keeps charts hidden until opened; they plot all the same.
    QTest::newRow("hidden") << false;
}

void TestChart::showsTheLast500SamplesFedBetweenTwoRepaints()
{
    QFETCH(bool, shown);
    ChartView view;
    view.setRangeLimits(-1000, 1000);
    QCOMPARE(view.shownHalfSpan(), 1000);
    if (shown) {
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
    // 1234 samples, k = 0..1233: the 999th makes 1000 points and drops 500.
    for (int k = 0; k < 1234; ++k)
        view.receiveData(k % 7, -(k % 5), -12.5f);

    const zel::ChartTraces &traces = view.shownTraces();
    QCOMPARE(traces.points(0).size(), 735);
    QCOMPARE(traces.firstVisible(), 235);
    // One step of 0.02 per sample from 10, the newest at the right edge,
    // 500 samples across.
    QVERIFY(qAbs(traces.visibleMax() - (10 + 1234 * 0.02)) < 1e-9);
    QVERIFY(qAbs(traces.visibleMax() - traces.visibleMin() - 10) < 1e-9);
    for (int i = 0; i < 500; ++i) {
        const int k = 734 + i;
        const QPointF point = traces.points(0).at(235 + i);
        QVERIFY(qAbs(point.x() - (traces.visibleMin() + (i + 1) * 0.02)) < 1e-9);
        QCOMPARE(point.y(), double(k % 7));
        QCOMPARE(traces.points(1).at(235 + i).y(), double(-(k % 5)));
        QCOMPARE(traces.points(2).at(235 + i).y(), -12.5);
    }
    // Values -12.5..6 with their margins fit -15..15.
    QCOMPARE(view.shownHalfSpan(), 15);
}

QTEST_MAIN(TestChart)
#include "tst_views_chart.moc"
