// The worker on a thread of its own, as the main window runs it: a failed
// connect leaves it where it is, the first good one moves it to its thread
// and it streams; a stop hands it back and ends the thread, so that the
// owner can wait for the thread and delete the worker.

#include "moduleframes.h"
#include "ptypair.h"
#include "task.h"
#include "uarttask.h"

#include <QtTest>

class TestWorker : public QObject
{
    Q_OBJECT

private slots:
    void connectStreamsOnTheWorkerThreadAndStopEndsIt()
    {
        PtyPair pty;
        QThread thread;
        Task task(&thread);
        task.serialInit(QStringLiteral("/nonexistent/tty"), 115200);
        QVERIFY(!thread.isRunning() && task.thread() == QThread::currentThread());

        // Received on this thread: the worker's signals arrive queued, as the windows get them.
        int samples = 0;
        connect(&task, &Task::sendAcc, this, [&] { ++samples; });
        task.serialInit(pty.slavePath(), 115200, true);
        QVERIFY(thread.isRunning() && task.thread() == &thread);
        // The module streams, a frame each wait, so the port never falls silent.
        QTRY_VERIFY_WITH_TIMEOUT((pty.write(frames::distinctSensorFrame), samples > 0), 10000);

        QMetaObject::invokeMethod(&task, &Task::stop, Qt::QueuedConnection);
        QVERIFY(thread.wait(10000));
        QCOMPARE(task.thread(), QThread::currentThread());
        QVERIFY(!task.port()->isOpen());
    }
};

QTEST_GUILESS_MAIN(TestWorker)
#include "tst_worker.moc"
