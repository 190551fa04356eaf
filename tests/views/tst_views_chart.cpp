#include "chartview.h"

#include <QtTest>

class TestChart : public QObject
{
    Q_OBJECT

private slots:
    void showsTheLast500SamplesFedBetweenTwoRepaints();
    void drawsEachTraceAtItsValueNewestAtTheRight();
    void pausedChartsZoomAndPanTogetherAndResumeLive();
};

void TestChart::showsTheLast500SamplesFedBetweenTwoRepaints()
{
    // Hidden, as the main window keeps charts until opened: they plot all the same.
    ChartView view;
    view.setRangeLimits(-1000, 1000);
    QCOMPARE(view.shownHalfSpan(), 1000);
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

void TestChart::drawsEachTraceAtItsValueNewestAtTheRight()
{
    ChartView view;
    view.setRangeLimits(-1000, 1000);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    // X at 5 and, for its newest 50 samples, -2.5; Y at -5; Z at 0. With
    // their margins the extremes fit -10..10.
    for (int k = 0; k < 600; ++k)
        view.receiveData(k < 550 ? 5 : -2.5f, -5, 0);
    QCOMPARE(view.shownHalfSpan(), 10);
    QWidget *plotWidget = view.centralWidget();
    const QImage picture = plotWidget->grab().toImage();
    const QRect plot = zel::chartLayout(plotWidget->size(), plotWidget->font(), 10).plot;

    // Of -10..10, 5 lies a quarter of the plot's height above zero.
    const int zero = plot.center().y();
    const int quarter = plot.height() / 4;
    const struct
    {
        QRgb colour;
        int column;
        int row;
    } expected[] = {
        { 0x209fdf, plot.left() + 2, zero - quarter }, // X, older samples
        { 0x209fdf, plot.right() - 2, zero + quarter / 2 }, // X, the newest 50
        { 0x99ca53, plot.center().x(), zero + quarter }, // Y
        { 0xf6a625, plot.center().x(), zero }, // Z
    };
    for (const auto &trace : expected) {
        // The trace crosses the column where a pixel comes nearest its colour.
        int row = -1;
        int nearest = INT_MAX;
        for (int y = plot.top(); y <= plot.bottom(); ++y) {
            const QRgb pixel = picture.pixel(trace.column, y);
            const int distance = qAbs(qRed(pixel) - qRed(trace.colour))
                + qAbs(qGreen(pixel) - qGreen(trace.colour))
                + qAbs(qBlue(pixel) - qBlue(trace.colour));
            if (distance < nearest) {
                nearest = distance;
                row = y;
            }
        }
        QVERIFY2(qAbs(row - trace.row) <= 1,
            qPrintable(QString("%1 at row %2").arg(trace.colour, 0, 16).arg(row)));
    }
}

void TestChart::pausedChartsZoomAndPanTogetherAndResumeLive()
{
    ChartView view;
    ChartView other;
    zel::linkCharts({ &view, &other });
    QCursor::setPos(1900, 1000); // away from the chart: no read-out in the pictures
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    // Four seconds at 500 Hz, X at +-1 but for one sample of 4 (the range held at
    // the pause is -5..5).
    for (int k = 0; k < 2000; ++k) {
        view.receiveSample(k / 500.0f, k == 1234 ? 4 : (k % 2) * 2 - 1, 0, 0);
        other.receiveSample(k / 500.0f, 0, 0, 0);
    }
    QWidget *plot = view.centralWidget();
    const QImage live = plot->grab().toImage();
    view.setPaused(true);
    other.setPaused(true);
    // The newest 500 samples, as the live view showed them.
    const zel::TimeWindow fit = view.timeWindow();
    QVERIFY(qAbs(fit.end - 1999 / 500.0f) < 1e-9 && qAbs(fit.width() - 1) < 1e-6);

    const QRect area = zel::chartLayout(plot->size(), plot->font(), 5).plot;
    // A notch of the wheel at the right edge zooms in around the newest sample.
    const QPoint edge(area.left() + area.width(), area.center().y());
    QWheelEvent notch(edge, plot->mapToGlobal(edge), {}, { 0, 120 }, Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &notch);
    QVERIFY(qAbs(view.timeWindow().width() - 0.8) < 1e-6);
    QTest::keyClick(plot, Qt::Key_Left);
    QCOMPARE(other.timeWindow(), view.timeWindow());
    QVERIFY(qAbs(view.timeWindow().end - (fit.end - 0.08)) < 1e-9);

    // Out to the whole history, 2000 samples over fewer pixels: the spike
    // still reaches 4 in its column.
    for (int i = 0; i < 20; ++i)
        QTest::keyClick(plot, Qt::Key_Minus);
    QCOMPARE(view.timeWindow(), (zel::TimeWindow { 0, 1999 / 500.0f }));
    const QImage all = plot->grab().toImage();
    const int column = area.left() + int(1234 / 1999.0 * area.width());
    int top = area.top();
    while (
        top < area.bottom() && qBlue(all.pixel(column, top)) - qRed(all.pixel(column, top)) < 100)
        ++top;
    QVERIFY2(qAbs(top - (area.top() + area.height() / 10)) <= 2, qPrintable(QString::number(top)));

    QTest::keyClick(plot, Qt::Key_Home);
    QCOMPARE(view.timeWindow(), fit);
    view.setPaused(false);
    other.setPaused(false);
    QCOMPARE(plot->grab().toImage(), live);
}

QTEST_MAIN(TestChart)
#include "tst_views_chart.moc"
