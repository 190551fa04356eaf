// The worker on its own thread over a real pseudo-terminal: start, the
// watchdog counters, the silence rule and a clean stop.

#include "framebuilder.h"
#include "ptypair.h"
#include "task.h"
#include "uarttask.h"

#include <QtTest>

namespace {

// Lives on the test's thread, so the worker's signals reach it queued, as
// they reach the windows.
class Recorder : public QObject
{
public:
    explicit Recorder(Task *task)
    {
        connect(task, &Task::sendVersion, this, [this](const QString &v) { versions.append(v); });
        connect(task, &Task::sendShowSerialdis, this, [this] { ++shown; });
        connect(task, &Task::sendAcc, this, [this] { ++samples; });
        connect(task, &Task::sendDataCtrl, this, [this] { ++records; });
    }
    int notConnected() const { return versions.count(QStringLiteral("Not Connected")); }

    QStringList versions;
    int shown = 0;
    int samples = 0;
    int records = 0;
};

} // namespace

class TestWorker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void failedConnectReportsAndStaysHere();
    void connectMovesToTheThreadOnce();
    void closedPortIsReportedOnce();
    void silentPortIsReopened();
    void disabledOutputIsNotTakenForSilence();
    void requestsGoOutInOrder();
    void stopEndsTheThreadAndFreesThePort();

private:
    void connectWorker();
    void stopWorker();

    PtyPair *pty = nullptr;
    QThread *thread = nullptr;
    Task *task = nullptr;
    Recorder *recorder = nullptr;
};

void TestWorker::init()
{
    pty = new PtyPair;
    QVERIFY(pty->isValid());
    thread = new QThread;
    task = new Task(thread);
    recorder = new Recorder(task);
}

void TestWorker::cleanup()
{
    stopWorker();
    delete recorder;
    delete task;
    delete thread;
    delete pty;
    recorder = nullptr;
    task = nullptr;
    thread = nullptr;
    pty = nullptr;
}

void TestWorker::connectWorker()
{
    task->serialInit(pty->slavePath(), 115200, true);
    QVERIFY(thread->isRunning());
    QCOMPARE(task->thread(), thread);
}

void TestWorker::stopWorker()
{
    if (!task || !thread->isRunning())
        return;
    QMetaObject::invokeMethod(task, &Task::stop, Qt::QueuedConnection);
    QVERIFY(thread->wait(10000));
}

void TestWorker::failedConnectReportsAndStaysHere()
{
    task->serialInit(QStringLiteral("/nonexistent/tty"), 115200);
    // Before the first connect every call is direct, so the report is here.
    QCOMPARE(recorder->versions, QStringList({ "Not Connected" }));
    QCOMPARE(recorder->shown, 0);
    QVERIFY(!thread->isRunning());
    QCOMPARE(task->thread(), QThread::currentThread());
}

void TestWorker::connectMovesToTheThreadOnce()
{
    connectWorker();
    QCOMPARE(recorder->shown, 1);

    QMetaObject::invokeMethod(
        task, [this] { task->serialInit(pty->slavePath(), 115200); }, Qt::QueuedConnection);
    QTRY_COMPARE_WITH_TIMEOUT(recorder->shown, 2, 5000);
    QCOMPARE(task->thread(), thread);
    QVERIFY(thread->isRunning());

    // The loop still polls: a frame sent now is decoded.
    QVERIFY(pty->write(testframes::sensorFrame()));
    QTRY_COMPARE_WITH_TIMEOUT(recorder->samples, 1, 5000);
}

void TestWorker::closedPortIsReportedOnce()
{
    connectWorker();
    QCOMPARE(recorder->notConnected(), 1); // from serialInit itself
    QMetaObject::invokeMethod(task, &Task::closeSerialPort, Qt::QueuedConnection);
    QTRY_COMPARE_WITH_TIMEOUT(recorder->notConnected(), 2, 10000);

    // No second report: wait as long again as the first one took at most.
    QTest::qWait(1500);
    QCOMPARE(recorder->notConnected(), 2);
}

void TestWorker::silentPortIsReopened()
{
    connectWorker();
    // Output is taken as enabled until the module says otherwise; a silent
    // port is closed and opened again, which the window sees as a new
    // connection.
    QTRY_VERIFY_WITH_TIMEOUT(recorder->shown >= 2, 10000);
    QVERIFY(recorder->notConnected() >= 2);

    // Data arriving keeps it open.
    const int shownBefore = recorder->shown;
    for (int i = 0; i < 40; ++i) {
        QVERIFY(pty->write(testframes::sensorFrame()));
        QTest::qWait(25);
    }
    QVERIFY(recorder->samples > 0);
    QCOMPARE(recorder->shown, shownBefore);
}

void TestWorker::disabledOutputIsNotTakenForSilence()
{
    connectWorker();
    QVERIFY(pty->write(testframes::dataCtrlReply(QByteArray::fromHex("020001000000"))));
    QTRY_COMPARE_WITH_TIMEOUT(recorder->records, 1, 5000);
    const int shownBefore = recorder->shown;
    // Three times the silence threshold.
    QTest::qWait(1500);
    QCOMPARE(recorder->shown, shownBefore);
    QVERIFY(task->port()->isOpen());
}

void TestWorker::requestsGoOutInOrder()
{
    connectWorker();
    const QByteArray versionRequest = zel::versionRequestFrame();
    QCOMPARE(pty->readExactly(12, 5000), versionRequest + versionRequest);
    QVERIFY(pty->write(testframes::shortVersionReply()));
    QTRY_VERIFY_WITH_TIMEOUT(recorder->versions.contains("1.2.3"), 5000);
    // Whatever version requests were already on their way, the next request
    // is for the record, and it repeats until answered.
    QByteArray sent;
    QTRY_VERIFY_WITH_TIMEOUT(
        (sent += pty->readAvailable())
            .contains(zel::dataCtrlRequestFrame() + zel::dataCtrlRequestFrame()),
        5000);
    const int first = sent.indexOf(zel::dataCtrlRequestFrame());
    QVERIFY(!sent.mid(first).contains(versionRequest));
}

void TestWorker::stopEndsTheThreadAndFreesThePort()
{
    connectWorker();
    QMetaObject::invokeMethod(task, &Task::stop, Qt::QueuedConnection);
    QVERIFY(thread->wait(10000));
    QCOMPARE(task->thread(), QThread::currentThread());
    QVERIFY(!task->port()->isOpen());

    // The freed port can be opened by someone else, and the worker can be
    // connected again.
    UartTask other;
    QCOMPARE(other.serial_connect(pty->slavePath(), 921600), 0);
    other.closePort();
    connectWorker();
    QVERIFY(pty->write(testframes::sensorFrame()));
    QTRY_COMPARE_WITH_TIMEOUT(recorder->samples, 1, 5000);
}

QTEST_GUILESS_MAIN(TestWorker)
#include "tst_worker.moc"
