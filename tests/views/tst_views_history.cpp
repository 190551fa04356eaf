#include "charthistory.h"
#include "timewindow.h"

#include <QtTest>

// Looking back through a chart's last minute: the ring that keeps it and
// saves it, the time window over it, the time axis's ticks and the
// reduction to pixels.
class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void ringKeepsTheNewestInOrderAcrossWrapAround();
    void windowZoomsAroundAPointWithinTheHistory_data();
    void windowZoomsAroundAPointWithinTheHistory();
    void ticksAreRoundAndLabelsNeverMeet_data();
    void ticksAreRoundAndLabelsNeverMeet();
    void spikeOfOneSampleSurvivesEveryZoom_data();
    void spikeOfOneSampleSurvivesEveryZoom();
};

void TestHistory::ringKeepsTheNewestInOrderAcrossWrapAround()
{
    // Room for three: of five samples the newest three stay, and those from
    // 1234.4 s on are saved as the data log writes them.
    zel::ChartHistory acc(3);
    zel::ChartHistory gyr(3);
    for (int k = 0; k < 5; ++k) {
        acc.append(1233 + k * 0.5f, -9.81f, k, 0.5f);
        gyr.append(1233 + k * 0.5f, k * 100, 0, -1);
    }
    QCOMPARE(acc.size(), 3);
    QCOMPARE(zel::historyCsv({ &acc, &gyr }, { "A", "B", "C", "D", "E", "F" }, 1234.4, 1240),
        QByteArray("Timestamp,A,B,C,D,E,F\n"
                   "1234.5,-9.810000,3.000000,0.500000,300.000000,0.000000,-1.000000\n"
                   "1235,-9.810000,4.000000,0.500000,400.000000,0.000000,-1.000000\n"));
    // The module's clock started again: what came before is dropped.
    acc.append(0.5f, 9, 9, 9);
    QCOMPARE(acc.size(), 1);
}

void TestHistory::windowZoomsAroundAPointWithinTheHistory_data()
{
    // History 0..60 s; the live view's width is 1 s, the narrowest 0.01 s.
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<double>("anchor");
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("expectedStart");
    QTest::addColumn<double>("expectedEnd");
    QTest::newRow("zoom in, the anchor stays") << 50.0 << 60.0 << 52.0 << 0.5 << 51.0 << 56.0;
    QTest::newRow("pan past the newest") << 59.5 << 60.5 << 60.0 << 1.0 << 59.0 << 60.0;
    QTest::newRow("pan past the oldest") << -0.25 << 0.75 << 0.0 << 1.0 << 0.0 << 1.0;
    QTest::newRow("no wider than the history") << 10.0 << 50.0 << 30.0 << 4.0 << 0.0 << 60.0;
    QTest::newRow("no narrower than the least") << 20.0 << 20.04 << 20.0 << 0.125 << 20.0 << 20.01;
}

void TestHistory::windowZoomsAroundAPointWithinTheHistory()
{
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(double, anchor);
    QFETCH(double, factor);
    QFETCH(double, expectedStart);
    QFETCH(double, expectedEnd);
    const zel::TimeWindow window
        = zel::withinHistory(zel::zoomedAround({ start, end }, anchor, factor), 0, 60, 0.01, 60);
    QVERIFY2(qAbs(window.start - expectedStart) < 1e-9 && qAbs(window.end - expectedEnd) < 1e-9,
        qPrintable(QString("%1..%2").arg(window.start).arg(window.end)));
}

void TestHistory::ticksAreRoundAndLabelsNeverMeet_data()
{
    // Labels 40 pixels wide need 52 between ticks.
    QTest::addColumn<double>("pixelsPerSecond");
    QTest::addColumn<double>("step");
    QTest::addColumn<QString>("label"); // of the tick five steps before the newest
    QTest::newRow("just wide enough for 0.5") << 104.0 << 0.5 << "-2.5 s";
    QTest::newRow("a pixel short of 0.5") << 103.9 << 1.0 << "-5 s";
    QTest::newRow("60 s on 700 pixels") << 700.0 / 60 << 5.0 << "-25 s";
    QTest::newRow("zoomed far in") << 40000.0 << 0.002 << "-0.010 s";
}

void TestHistory::ticksAreRoundAndLabelsNeverMeet()
{
    QFETCH(double, pixelsPerSecond);
    QFETCH(double, step);
    QFETCH(QString, label);
    QCOMPARE(zel::tickStep(pixelsPerSecond, [](double) { return 40.0; }), step);
    QCOMPARE(zel::tickLabel(-5 * step, step), label);
}

void TestHistory::spikeOfOneSampleSurvivesEveryZoom_data()
{
    QTest::addColumn<double>("columnsPerSecond");
    QTest::newRow("60 s on 100 pixels") << 100 / 60.0;
    QTest::newRow("60 s on 733 pixels") << 733 / 60.0;
    QTest::newRow("60 s on 3000 pixels") << 50.0;
}

void TestHistory::spikeOfOneSampleSurvivesEveryZoom()
{
    QFETCH(double, columnsPerSecond);
    // A minute at 500 Hz of the second trace: a noise of +-1 with one
    // sample of 90 and one of -80.
    zel::ChartHistory history(30000);
    for (int k = 0; k < 30000; ++k)
        history.append(k / 500.0f, 0, k == 12345 ? 90 : k == 777 ? -80 : (k % 2) * 2 - 1, 0);
    std::vector<zel::ColumnSpan> columns;
    zel::minMaxColumns(history, 1, 0, 30000, 0, columnsPerSecond, columns);
    QVERIFY(columns.size() <= std::size_t(std::ceil(60 * columnsPerSecond)));
    for (const zel::ColumnSpan &span : columns) {
        QCOMPARE(span.high, span.column == int(12345 / 500.0 * columnsPerSecond) ? 90.0f : 1.0f);
        QCOMPARE(span.low, span.column == int(777 / 500.0 * columnsPerSecond) ? -80.0f : -1.0f);
    }
}

QTEST_APPLESS_MAIN(TestHistory)
#include "tst_views_history.moc"
