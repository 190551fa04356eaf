#include "chartrange.h"

#include <QtTest>

// The vertical range of a chart: zero-centred, a multiple of five on each
// side, widened with a margin by new extremes, held within the chart's limits
// and narrowed again as old values are trimmed.
class TestRange : public QObject
{
    Q_OBJECT

private slots:
    void halfSpanRoundsUpWithinLimits_data();
    void halfSpanRoundsUpWithinLimits();
    void rangeFollowsSamples_data();
    void rangeFollowsSamples();
    void trimCountFollowsLastDigit_data();
    void trimCountFollowsLastDigit();
    void droppedSpikeNarrowsInTwoTrims();
};

void TestRange::halfSpanRoundsUpWithinLimits_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("limit");
    QTest::addColumn<int>("expected");
    QTest::newRow("exact multiple stays") << -10.0 << 10.0 << 50.0 << 10;
    QTest::newRow("just above a multiple") << -6.0 << 10.0001 << 50.0 << 15;
    QTest::newRow("low side larger") << -22.0 << 3.0 << 50.0 << 25;
    QTest::newRow("both beyond the low limit") << -2000.0 << -1500.0 << 1000.0 << 1000;
}

void TestRange::halfSpanRoundsUpWithinLimits()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, limit);
    QFETCH(int, expected);
    QCOMPARE(zel::zeroCentredHalfSpan(low, high, -limit, limit), expected);
}

void TestRange::rangeFollowsSamples_data()
{
    QTest::addColumn<double>("limit");
    QTest::addColumn<QVector<float>>("samples"); // three values per sample
    QTest::addColumn<int>("expected");
    QTest::newRow("limits before any sample") << 1600.0 << QVector<float>() << 1600;
    // Extremes -0.2 and 9.8: margins give -1.7 and 11.3.
    QTest::newRow("first sample") << 50.0 << QVector<float> { 0.1f, -0.2f, 9.8f } << 15;
    QTest::newRow("within the extremes")
        << 50.0 << QVector<float> { 0.1f, -0.2f, 9.8f, 1, 0, 9.8f, -0.2f, 5, 2 } << 15;
    // -1.91 and 15.71.
    QTest::newRow("new maximum grows")
        << 50.0 << QVector<float> { 0.1f, -0.2f, 9.8f, 0, 0, 14 } << 20;
    // -34.6 and 2.6.
    QTest::newRow("new minimum grows") << 50.0 << QVector<float> { 0, 0, 0, -32, 0, 0 } << 35;
    // -13.5 and 263.5, clamped.
    QTest::newRow("held at the limit") << 180.0 << QVector<float> { 250, 0, 0 } << 180;
}

void TestRange::rangeFollowsSamples()
{
    QFETCH(double, limit);
    QFETCH(QVector<float>, samples);
    QFETCH(int, expected);
    zel::ChartRange range(500);
    range.setRangeLimits(-limit, limit);
    for (int i = 0; i + 2 < samples.size(); i += 3)
        range.trackExtremes(samples[i], samples[i + 1], samples[i + 2]);
    QCOMPARE(range.halfSpan(), expected);
}

void TestRange::trimCountFollowsLastDigit_data()
{
    QTest::addColumn<float>("firstValue");
    QTest::addColumn<int>("expected");
    QTest::newRow("d=0") << 0.4f << 25;
    QTest::newRow("d=3, negative") << -3.2f << 40;
    QTest::newRow("d=5 in single precision") << 15.7f << 49;
    QTest::newRow("d=9") << 1239.99f << 70;
}

void TestRange::trimCountFollowsLastDigit()
{
    QFETCH(float, firstValue);
    QFETCH(int, expected);
    QCOMPARE(zel::trimCount(firstValue, 500), expected);
}

void TestRange::droppedSpikeNarrowsInTwoTrims()
{
    // Gyroscope values between -5 and 5 with one spike of 100. Trims of 25
    // come once the windows hold more than 525 values.
    zel::ChartRange range(500);
    range.setRangeLimits(-1000, 1000);
    QVector<int> trimmedAt;
    QVector<int> spans;
    int held = 0;
    for (int sample = 0; trimmedAt.size() < 3 && sample < 2000; ++sample) {
        range.trackExtremes(0, sample == 30 ? 100 : 5, -5);
        if (range.windowSize() < held)
            trimmedAt.append(sample);
        if (range.windowSize() < held || sample == 30)
            spans.append(range.halfSpan());
        held = range.windowSize();
    }
    QCOMPARE(trimmedAt, QVector<int>({ 526, 551, 576 }));
    // The spike, a trim that keeps it, the blend of -5 and 52.5, then -5..5.
    QCOMPARE(spans, QVector<int>({ 110, 110, 60, 10 }));
}

QTEST_APPLESS_MAIN(TestRange)
#include "tst_views_range.moc"
