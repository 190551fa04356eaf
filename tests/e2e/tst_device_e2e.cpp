// The worker on its thread against the module simulator over a
// pseudo-terminal: the start-up exchange, recording, and a configuration
// write that moves both ends to another baud rate.

#include "recordcheck.h"
#include "simprocess.h"
#include "task.h"

#include <QtTest>

namespace {

class Recorder : public QObject
{
public:
    explicit Recorder(Task *task)
    {
        connect(task, &Task::sendVersion, this, [this](const QString &v) { versions.append(v); });
        connect(task, &Task::sendAcc, this, [this] { ++samples; });
        connect(task, &Task::sendDataCtrl, this, [this](const QByteArray &record, float field) {
            records.append(record);
            magField = field;
        });
    }
    QStringList versions;
    QList<QByteArray> records;
    float magField = 0;
    int samples = 0;
};

} // namespace

class TestDeviceE2E : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpAsksVersionThenRecordThenStreams();
    void recordingHasOneRowPerFrameSent();
    void configurationWriteMovesBothEndsTo921600();

private:
    SimProcess sim;
    QThread *thread = nullptr;
    Task *task = nullptr;
    Recorder *recorder = nullptr;
    QTemporaryDir dir;
};

void TestDeviceE2E::init()
{
    thread = new QThread;
    task = new Task(thread);
    recorder = new Recorder(task);
}

void TestDeviceE2E::cleanup()
{
    if (thread->isRunning()) {
        QMetaObject::invokeMethod(task, &Task::stop, Qt::QueuedConnection);
        QVERIFY(thread->wait(10000));
    }
    delete recorder;
    delete task;
    delete thread;
    sim.stop();
}

void TestDeviceE2E::startUpAsksVersionThenRecordThenStreams()
{
    QVERIFY(sim.start({ "--odr", "3" }));
    task->serialInit(sim.portPath(), 115200, true);
    QTRY_VERIFY_WITH_TIMEOUT(recorder->samples > 50, 15000);
    QVERIFY(recorder->versions.contains("1.2.3\nDev Id: 5A:31:C4:07:9E:12\nProduct Id: QZ0105"));
    QCOMPARE(recorder->records.size(), 1);
    QCOMPARE(recorder->records[0], QByteArray::fromHex("030001000001"));
    QCOMPARE(recorder->magField, 45.55f);

    const QStringList events = sim.events();
    const int version = events.indexOf("version-request");
    const int record = events.indexOf("datactrl-request");
    QVERIFY(version >= 0);
    QVERIFY(record > version);
}

void TestDeviceE2E::recordingHasOneRowPerFrameSent()
{
    const QString simRecord = dir.filePath("sent.bin");
    const QString log = dir.filePath("log.csv");
    QVERIFY(sim.start({ "--odr", "4", "--baud", "921600", "--record", simRecord }));
    {
        QFile file(log);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(zel::csvHeader());
    }
    task->serialInit(sim.portPath(), 921600, true);
    QTRY_VERIFY_WITH_TIMEOUT(recorder->samples > 0, 15000);

    QMetaObject::invokeMethod(task, [this, log] { task->startSaveLog(log); });
    const int startSamples = recorder->samples;
    QTRY_VERIFY_WITH_TIMEOUT(recorder->samples > startSamples + 1000, 30000);
    QMetaObject::invokeMethod(task, &Task::stopSaveLog);
    QMetaObject::invokeMethod(task, &Task::stop, Qt::QueuedConnection);
    QVERIFY(thread->wait(10000));
    sim.stop();

    const recordcheck::LogContents contents = recordcheck::readLog(log);
    QCOMPARE(contents.header, zel::csvHeader());
    QVERIFY(contents.endsWithLineFeed);
    QVERIFY2(contents.rows.size() > 900, qPrintable(QString::number(contents.rows.size())));
    for (const QByteArray &row : contents.rows)
        QCOMPARE(row.count(','), 16);
    const QList<QByteArray> sent = recordcheck::expectedRows(simRecord);
    QVERIFY(recordcheck::runStart(sent, contents.rows) >= 0);
}

void TestDeviceE2E::configurationWriteMovesBothEndsTo921600()
{
    QVERIFY(sim.start({ "--odr", "1" }));
    task->serialInit(sim.portPath(), 115200, true);
    QTRY_COMPARE_WITH_TIMEOUT(recorder->records.size(), 1, 15000);

    // As the configuration window does: the record, then the host's rate.
    const QByteArray record = QByteArray::fromHex("030001010001");
    QMetaObject::invokeMethod(task, [this, record] {
        task->setDataCtrl(record, 48.53f);
        task->setBaudRate(921600, false);
    });
    QVERIFY(!sim.waitForEvent("baud 921600", 10000).isEmpty());
    // The read-back comes at the new rate and reports the new record.
    QTRY_COMPARE_WITH_TIMEOUT(recorder->records.size(), 2, 10000);
    QCOMPARE(recorder->records[1], record);
    QCOMPARE(recorder->magField, 48.53f);

    const int before = recorder->samples;
    QTRY_VERIFY_WITH_TIMEOUT(recorder->samples > before + 200, 15000);
}

QTEST_GUILESS_MAIN(TestDeviceE2E)
#include "tst_device_e2e.moc"
