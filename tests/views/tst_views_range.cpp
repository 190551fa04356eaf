#include "chartrange.h"

#include <QtTest>

#include <cmath>
#include <limits>

using zel::ChartRange;

class TestRange : public QObject
{
    Q_OBJECT

private slots:
    void trimCountFollowsLastDigit_data();
    void trimCountFollowsLastDigit();
    void halfSpan_data();
    void halfSpan();
    void firstSample_data();
    void firstSample();
    void sampleWithinExtremesKeepsRange();
    void trimTiming_data();
    void trimTiming();
    void spikeNarrowsInTwoTrims();
    void nonFiniteSamples();
};

void TestRange::trimCountFollowsLastDigit_data()
{
    QTest::addColumn<float>("firstValue");
    QTest::addColumn<int>("expected");

    const int counts[10] = { 25, 30, 35, 40, 45, 49, 55, 60, 65, 70 };
    for (int d = 0; d < 10; ++d)
        QTest::addRow("d=%d", d) << float(d) << counts[d];
    QTest::newRow("15.7 (d=5)") << 15.7f << 49;
    QTest::newRow("-3.2 (d=3)") << -3.2f << 40;
    QTest::newRow("-0.9 truncates to 0") << -0.9f << 25;
    QTest::newRow("1239.99") << 1239.99f << 70;
    QTest::newRow("beyond int range") << 1.0e20f << 35;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << 25;
    QTest::newRow("infinity") << -std::numeric_limits<float>::infinity() << 25;
}

void TestRange::trimCountFollowsLastDigit()
{
    QFETCH(float, firstValue);
    QFETCH(int, expected);
    QCOMPARE(zel::trimCount(firstValue, 500), expected);
}

void TestRange::halfSpan_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("limit");
    QTest::addColumn<int>("expected");

    QTest::newRow("accelerometer first sample") << -1.7 << 11.3 << 50.0 << 15;
    QTest::newRow("Euler clamped") << -13.5 << 263.5 << 180.0 << 180;
    QTest::newRow("low side larger") << -22.0 << 3.0 << 50.0 << 25;
    QTest::newRow("exact multiple stays") << -10.0 << 10.0 << 50.0 << 10;
    QTest::newRow("just above a multiple") << -6.0 << 10.0001 << 50.0 << 15;
    QTest::newRow("both below the limit") << -2000.0 << -1500.0 << 1000.0 << 1000;
    QTest::newRow("nothing") << 0.0 << 0.0 << 50.0 << 0;
}

void TestRange::halfSpan()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, limit);
    QFETCH(int, expected);
    QCOMPARE(zel::zeroCentredHalfSpan(low, high, -limit, limit), expected);
}

void TestRange::firstSample_data()
{
    QTest::addColumn<double>("limit");
    QTest::addColumn<float>("v1");
    QTest::addColumn<float>("v2");
    QTest::addColumn<float>("v3");
    QTest::addColumn<float>("low");
    QTest::addColumn<float>("high");
    QTest::addColumn<int>("expected");

    // low and high are the margins the range is built from.
    QTest::newRow("accelerometer") << 50.0 << 0.1f << -0.2f << 9.8f << -1.7f << 11.3f << 15;
    QTest::newRow("Euler beyond the limit")
        << 180.0 << 250.0f << 0.0f << 0.0f << -13.5f << 263.5f << 180;
}

void TestRange::firstSample()
{
    QFETCH(double, limit);
    QFETCH(float, v1);
    QFETCH(float, v2);
    QFETCH(float, v3);
    QFETCH(float, low);
    QFETCH(float, high);
    QFETCH(int, expected);

    ChartRange range(500);
    range.setRangeLimits(-limit, limit);
    QVERIFY(range.trackExtremes(v1, v2, v3));
    QCOMPARE(range.minimum(), std::min({ v1, v2, v3 }));
    QCOMPARE(range.maximum(), std::max({ v1, v2, v3 }));
    const zel::FloatSpan span = zel::withMargin(range.minimum(), range.maximum());
    QCOMPARE(span.low, low);
    QCOMPARE(span.high, high);
    QCOMPARE(range.halfSpan(), expected);
}

void TestRange::sampleWithinExtremesKeepsRange()
{
    ChartRange range(500);
    range.setRangeLimits(-50, 50);
    range.trackExtremes(0.1f, -0.2f, 9.8f);
    QVERIFY(!range.trackExtremes(1.0f, 0.0f, 9.8f));
    QVERIFY(!range.trackExtremes(-0.2f, 5.0f, 2.0f));
    QCOMPARE(range.halfSpan(), 15);

    QVERIFY(range.trackExtremes(0.0f, 0.0f, 14.0f));
    QCOMPARE(range.halfSpan(), 20);
}

void TestRange::trimTiming_data()
{
    QTest::addColumn<float>("firstValue");
    QTest::addColumn<int>("heldBeforeTrim");
    QTest::addColumn<int>("trim");

    QTest::newRow("d=5") << 15.7f << 550 << 49;
    QTest::newRow("d=3") << -3.2f << 541 << 40;
}

void TestRange::trimTiming()
{
    QFETCH(float, firstValue);
    QFETCH(int, heldBeforeTrim);
    QFETCH(int, trim);

    ChartRange range(500);
    range.setRangeLimits(-50, 50);
    for (int i = 0; i < heldBeforeTrim; ++i)
        range.trackExtremes(firstValue, 1.0f, 2.0f);
    QCOMPARE(range.windowSize(), heldBeforeTrim);

    range.trackExtremes(firstValue, 1.0f, 2.0f);
    QCOMPARE(range.windowSize(), heldBeforeTrim - trim + 1);
}

void TestRange::spikeNarrowsInTwoTrims()
{
    // Gyroscope limits; values swing between -5 and 5, with one spike of
    // 100 placed after the first block the first trim drops.
    ChartRange range(500);
    range.setRangeLimits(-1000, 1000);
    range.trackExtremes(0, 5, -5);
    QCOMPARE(range.halfSpan(), 10);

    QVector<int> spanAtTrim;
    int held = range.windowSize();
    for (int sample = 1; spanAtTrim.size() < 3; ++sample) {
        const bool spike = sample == 30;
        const bool changed = range.trackExtremes(0, spike ? 100 : 5, -5);
        if (spike) {
            QVERIFY(changed);
            QCOMPARE(range.halfSpan(), 110);
        }
        const bool trimmed = range.windowSize() < held;
        held = range.windowSize();
        if (trimmed) {
            QVERIFY(changed);
            spanAtTrim.append(range.halfSpan());
        } else if (!spike) {
            QVERIFY2(!changed, qPrintable(QStringLiteral("range moved at sample %1").arg(sample)));
        }
        QVERIFY(sample < 2000);
    }
    // The first trim keeps the spike, the second drops it and shows the blend
    // of old and new extremes (-5 and 52.5), the third the new extremes.
    QCOMPARE(spanAtTrim, QVector<int>({ 110, 60, 10 }));
    QCOMPARE(range.maximum(), 5.0f);
}

void TestRange::nonFiniteSamples()
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    ChartRange range(500);
    range.setRangeLimits(-50, 50);
    QVERIFY(!range.trackExtremes(nan, nan, nan));
    QCOMPARE(range.halfSpan(), 50);

    range.trackExtremes(nan, 2.0f, -3.0f);
    QCOMPARE(range.minimum(), -3.0f);
    QCOMPARE(range.maximum(), 2.0f);
    QCOMPARE(range.halfSpan(), 5);

    range.trackExtremes(inf, 0.0f, 0.0f);
    QCOMPARE(range.halfSpan(), 50);

    // Without limits a wild value must still give a usable int range.
    ChartRange unlimited(500);
    unlimited.trackExtremes(-3.0e38f, 3.0e38f, 0.0f);
    QVERIFY(unlimited.halfSpan() > 0);
    QCOMPARE(unlimited.halfSpan() % 5, 0);
}

QTEST_APPLESS_MAIN(TestRange)
#include "tst_views_range.moc"
