// The main window's console feed and status line on their own: what the
// console shows of the worker's texts, live and paused, and which link
// figures the status line shows.

#include "consolefeed.h"
#include "statusline.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <QtTest>

class TestWindowParts : public QObject
{
    Q_OBJECT

private slots:
    void consoleKeepsTheLast1000LinesInOrder_data();
    void consoleKeepsTheLast1000LinesInOrder();
    void statusShowsFiguresOnlyOfAnOpenPort();
};

void TestWindowParts::consoleKeepsTheLast1000LinesInOrder_data()
{
    QTest::addColumn<bool>("paused");
    QTest::newRow("live") << false;
    QTest::newRow("paused after the first poll") << true;
}

// 401 polls of three lines each, then an empty one: lines 204 to 1203 stay.
// Paused, the console stays empty past the append the first poll asked for.
void TestWindowParts::consoleKeepsTheLast1000LinesInOrder()
{
    QFETCH(bool, paused);
    QPlainTextEdit console;
    ConsoleFeed feed(&console, 1000);
    QSignalSpy appendDue(feed.findChild<QTimer *>(), &QTimer::timeout);
    for (int k = 1; k <= 401; ++k) {
        feed.add(QString("%1 a\n%1 b\n%1 c").arg(k));
        if (k == 1)
            feed.setPaused(paused);
    }
    feed.add(QString());
    QVERIFY(appendDue.wait());
    QCOMPARE(console.document()->isEmpty(), paused);
    feed.setPaused(false);
    const QTextDocument *document = console.document();
    QCOMPARE(document->blockCount(), 1000);
    QCOMPARE(document->firstBlock().text(), "68 c");
    QCOMPARE(document->findBlockByNumber(500).text(), "235 b");
    QCOMPARE(document->lastBlock().text(), "401 c");
}

// Counts keep coming while no port is open; a port whose name has a space is
// waited for by its whole name; each open starts its rate afresh.
void TestWindowParts::statusShowsFiguresOnlyOfAnOpenPort()
{
    QStatusBar bar;
    qint64 now = 0;
    StatusLine line(&bar, [&now] { return now; });
    const auto field = [&bar](const char *name) { return bar.findChild<QLabel *>(name)->text(); };
    now += 5000;
    line.addCounts(0, 0, 0);
    QCOMPARE(field("linkStatus") + '|' + field("rateStatus"), "Not connected|");

    line.setLinkState(LinkState::PortOpen);
    line.setPort("usb serial 0", 921600);
    now += 1000;
    line.addCounts(100, 8000, 0);
    QCOMPARE(field("linkStatus") + '|' + field("rateStatus"), "usb serial 0 @ 921600|100 frames/s");

    line.setLinkState(LinkState::AwaitingPort);
    now += 3000;
    line.addCounts(0, 0, 0);
    QCOMPARE(
        field("linkStatus") + '|' + field("rateStatus"), "Waiting for usb serial 0 to come back|");

    line.setLinkState(LinkState::PortOpen);
    now += 1000;
    line.addCounts(200, 16000, 0);
    QCOMPARE(field("rateStatus"), "200 frames/s");
}

QTEST_MAIN(TestWindowParts)
#include "tst_windowparts.moc"
