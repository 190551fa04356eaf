// The worker driven on the test's own thread over a real pseudo-terminal:
// the test holds the master end and plays the module.

#include "framebuilder.h"
#include "ptypair.h"
#include "sampletext.h"
#include "task.h"
#include "uarttask.h"

#include <QtTest>

namespace {

// Records the worker's signals by name, in the order they come.
class SignalLog : public QObject
{
public:
    explicit SignalLog(Task *task)
    {
        auto add = [this](const char *name) { return [this, name] { names.append(name); }; };
        connect(task, &Task::sendAngleAxis, this, add("angleAxis"));
        connect(task, &Task::sendAcc, this, add("acc"));
        connect(task, &Task::sendMag, this, add("mag"));
        connect(task, &Task::sendGyr, this, add("gyr"));
        connect(task, &Task::sendEul, this, add("eul"));
        connect(task, &Task::sendAlertGoodQuality, this, add("good"));
        connect(task, &Task::sendAlertPoorQuality, this, add("poor"));
        connect(task, &Task::sendAlertDisconnectByBLE, this, add("ble"));
        connect(task, &Task::sendIsAHRS, this, add("isAHRS"));
        connect(task, &Task::sendDataCtrl, this, add("dataCtrl"));
        connect(task, &Task::sendVersion, this, [this](const QString &v) { versions.append(v); });
        connect(task, &Task::signalLogMessage, this,
            [this](const QString &text) { consoleTexts.append(text); });
    }
    int count(const char *name) const { return names.count(QLatin1String(name)); }

    QStringList names;
    QStringList versions;
    QStringList consoleTexts;
};

} // namespace

class TestTask : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sensorFrameSignalsComeInOrder();
    void frameSplitOverTwoReadsIsDecodedOnce();
    void junkAndForeignFramesAreSkipped();
    void bleNoticeRaisesOneAlertAndKeepsWhatFollows();

    void poorQualityAlertFiresAfterTheLimitInAhrsMode();
    void poorQualityIsIgnoredInImuMode();
    void rateCodeZeroKeepsTheLimit();

    void versionIsRequestedUntilAnswered();
    void dataCtrlIsRequestedOnlyAfterTheVersion();
    void dataCtrlReplyDecodes();
    void dataCtrlReplyWithUnknownModeEmitsNoMode();

    void commandsAreByteExactOnTheWire_data();
    void commandsAreByteExactOnTheWire();
    void resetReopensAt115200();
    void setDataCtrlWritesTheRecord();
    void shortRecordSendsNothing();
    void setBaudRateResults();

    void recordingAppendsOneRowPerFrame();
    void unwritableLogLosesOnlyItsRows();

    void readLeavesBufferAloneWhenNothingWaits();
    void readZeroesTheDestinationFirst();
    void connectToMissingPortFails();
    void sameRateWithoutReopenKeepsThePort();

private:
    // Writes bytes as the module and polls until the worker has read them.
    void deliver(const QByteArray &bytes);
    QByteArray hostBytes() { return pty->readAvailable(); }

    PtyPair *pty = nullptr;
    Task *task = nullptr;
    SignalLog *log = nullptr;
};

void TestTask::init()
{
    pty = new PtyPair;
    QVERIFY(pty->isValid());
    // The worker thread is the test's own, so the worker stays here and the
    // test calls its poll directly.
    task = new Task(QThread::currentThread());
    log = new SignalLog(task);
    QCOMPARE(task->port()->serial_connect(pty->slavePath(), 115200), 0);
}

void TestTask::cleanup()
{
    delete log;
    delete task;
    delete pty;
    log = nullptr;
    task = nullptr;
    pty = nullptr;
}

void TestTask::deliver(const QByteArray &bytes)
{
    // Feed the pseudo-terminal no faster than the worker drains it, polling
    // as the worker's loop would, until every byte has been read and a poll
    // finds nothing more.
    qint64 written = 0;
    QElapsedTimer timer;
    timer.start();
    int idlePolls = 0;
    while (timer.elapsed() < 20000) {
        if (written < bytes.size()) {
            const qint64 n = pty->writeSome(bytes.constData() + written, bytes.size() - written);
            QVERIFY(n >= 0);
            written += n;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const int before = log->consoleTexts.size();
        task->pollSerialPort();
        if (log->consoleTexts.size() > before)
            idlePolls = 0;
        else if (written == bytes.size() && ++idlePolls > 5)
            return;
        QTest::qWait(1);
    }
    QFAIL("the worker did not take in the delivered bytes");
}

void TestTask::sensorFrameSignalsComeInOrder()
{
    deliver(testframes::sensorFrame(3));
    QCOMPARE(log->names, QStringList({ "angleAxis", "acc", "mag", "gyr", "eul", "good" }));
    QCOMPARE(log->consoleTexts.size(), 1);
    QVERIFY(!log->consoleTexts[0].endsWith('\n'));
    QCOMPARE(log->consoleTexts[0].count('\n'), 2);
    QVERIFY(log->consoleTexts[0].contains(" Sensors -9.810000, 1.000000, 0.250000"));
}

void TestTask::frameSplitOverTwoReadsIsDecodedOnce()
{
    const QByteArray frame = testframes::sensorFrame();
    deliver(frame.left(50));
    QCOMPARE(log->consoleTexts, QStringList({ QString() }));
    QCOMPARE(log->count("acc"), 0);
    deliver(frame.mid(50) + frame);
    QCOMPARE(log->count("acc"), 2);
    QCOMPARE(log->consoleTexts.last().count('\n'), 5);
}

void TestTask::junkAndForeignFramesAreSkipped()
{
    deliver(QByteArray("\xAA\x0D\x0A", 3) + testframes::frame(0x20, 0x02, QByteArray(12, '\0'))
        + testframes::shortVersionReply() + testframes::sensorFrame());
    QCOMPARE(log->versions, QStringList({ "1.2.3" }));
    QCOMPARE(log->count("acc"), 1);
}

void TestTask::bleNoticeRaisesOneAlertAndKeepsWhatFollows()
{
    deliver(testframes::bleNotice() + testframes::sensorFrame());
    QCOMPARE(log->count("ble"), 1);
    // The frame behind the notice stays for the next poll that reads data.
    QCOMPARE(log->count("acc"), 0);
    deliver(testframes::sensorFrame());
    QCOMPARE(log->count("ble"), 1);
    QCOMPARE(log->count("acc"), 2);
}

void TestTask::poorQualityAlertFiresAfterTheLimitInAhrsMode()
{
    // AHRS at 25 Hz: the limit is 750 samples.
    deliver(testframes::dataCtrlReply(QByteArray::fromHex("010001000001")));
    QCOMPARE(log->count("isAHRS"), 1);

    const QByteArray poor = testframes::sensorFrame(1);
    QByteArray burst;
    for (int i = 0; i < 700; ++i)
        burst += poor;
    deliver(burst);
    // A good sample starts the count again.
    deliver(testframes::sensorFrame(2));
    burst.clear();
    for (int i = 0; i < 750; ++i)
        burst += poor;
    deliver(burst);
    QCOMPARE(log->count("poor"), 0);
    deliver(poor);
    QCOMPARE(log->count("poor"), 1);

    // Once fired, it stays silent until armed again.
    burst.clear();
    for (int i = 0; i < 800; ++i)
        burst += poor;
    deliver(burst);
    QCOMPARE(log->count("poor"), 1);

    // A reboot arms it again.
    task->rebootDevice();
    burst += poor;
    deliver(burst);
    QCOMPARE(log->count("poor"), 2);
}

void TestTask::poorQualityIsIgnoredInImuMode()
{
    deliver(testframes::dataCtrlReply(QByteArray::fromHex("010101000001")));
    QByteArray burst;
    for (int i = 0; i < 1600; ++i)
        burst += testframes::sensorFrame(0);
    deliver(burst);
    QCOMPARE(log->count("acc"), 1600);
    QCOMPARE(log->count("poor"), 0);
}

void TestTask::rateCodeZeroKeepsTheLimit()
{
    // 25 Hz sets 750; a later 10 Hz record leaves it there.
    deliver(testframes::dataCtrlReply(QByteArray::fromHex("010001000001")));
    deliver(testframes::dataCtrlReply(QByteArray::fromHex("000001000001")));
    QByteArray burst;
    for (int i = 0; i < 751; ++i)
        burst += testframes::sensorFrame(1);
    deliver(burst);
    QCOMPARE(log->count("poor"), 1);
}

void TestTask::versionIsRequestedUntilAnswered()
{
    for (int i = 0; i < 30; ++i)
        task->pollSerialPort();
    const QByteArray request = zel::versionRequestFrame();
    QCOMPARE(pty->readExactly(3 * request.size()), request + request + request);

    deliver(testframes::shortVersionReply());
    for (int i = 0; i < 30; ++i)
        task->pollSerialPort();
    QVERIFY(!hostBytes().contains(request));
}

void TestTask::dataCtrlIsRequestedOnlyAfterTheVersion()
{
    for (int i = 0; i < 20; ++i)
        task->pollSerialPort();
    QVERIFY(!pty->readExactly(12).contains(zel::dataCtrlRequestFrame()));

    deliver(testframes::versionReply(QByteArray::fromHex("301200000A1B2C3D4E5F0105")));
    QCOMPARE(log->versions.last(), "1.2.3\nDev Id: 0A:1B:2C:3D:4E:5F\nProduct Id: QZ0105");
    hostBytes();
    for (int i = 0; i < 10; ++i)
        task->pollSerialPort();
    QCOMPARE(pty->readExactly(6), zel::dataCtrlRequestFrame());

    // Answered, it is not asked again until getDataCtrl.
    deliver(testframes::dataCtrlReply(QByteArray::fromHex("020001000001")));
    for (int i = 0; i < 20; ++i)
        task->pollSerialPort();
    QVERIFY(hostBytes().isEmpty());
    task->getDataCtrl();
    for (int i = 0; i < 10; ++i)
        task->pollSerialPort();
    QCOMPARE(pty->readExactly(6), zel::dataCtrlRequestFrame());
}

void TestTask::dataCtrlReplyDecodes()
{
    QSignalSpy spy(task, &Task::sendDataCtrl);
    QSignalSpy mode(task, &Task::sendIsAHRS);
    deliver(testframes::dataCtrlReply(QByteArray::fromHex("030101010001"), 47.89f));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toByteArray(), QByteArray::fromHex("030101010001"));
    QCOMPARE(spy[0][1].toFloat(), 47.89f);
    QCOMPARE(mode.count(), 1);
    QCOMPARE(mode[0][0].toBool(), false);
}

void TestTask::dataCtrlReplyWithUnknownModeEmitsNoMode()
{
    deliver(testframes::dataCtrlReply(QByteArray::fromHex("030201010001")));
    QCOMPARE(log->count("isAHRS"), 0);
    QCOMPARE(log->count("dataCtrl"), 1);
}

void TestTask::commandsAreByteExactOnTheWire_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("identify") << "identify" << QByteArray::fromHex("1002020000010D0A");
    QTest::newRow("reboot") << "reboot" << QByteArray::fromHex("1002020001000D0A");
    QTest::newRow("calibrate") << "calibrate" << QByteArray::fromHex("1002020003000D0A");
}

void TestTask::commandsAreByteExactOnTheWire()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, bytes);
    if (command == "identify")
        task->identifyDevice();
    else if (command == "reboot")
        task->rebootDevice();
    else
        task->calibrateDevice();
    QCOMPARE(pty->readExactly(bytes.size() + 1, 500).toHex(' '), bytes.toHex(' '));
}

void TestTask::resetReopensAt115200()
{
    QCOMPARE(task->setBaudRate(921600, false), 0);
    QCOMPARE(pty->hostBaudRate(), 921600);
    task->resetDevice();
    QCOMPARE(pty->readExactly(8), QByteArray::fromHex("1002020002000D0A"));
    QCOMPARE(pty->hostBaudRate(), 115200);
    QVERIFY(task->port()->isOpen());
    QCOMPARE(task->port()->currentBaudRate(), 115200);
}

void TestTask::setDataCtrlWritesTheRecord()
{
    task->setDataCtrl(QByteArray::fromHex("030001010001"), 48.53f);
    const QByteArray expected
        = zel::dataCtrlWriteFrame(QByteArray::fromHex("030001010001"), 48.53f);
    QCOMPARE(pty->readExactly(18).toHex(' '), expected.toHex(' '));
    // A read-back follows with the next tenth poll once the version is in.
    deliver(testframes::shortVersionReply());
    hostBytes();
    for (int i = 0; i < 10; ++i)
        task->pollSerialPort();
    QCOMPARE(pty->readExactly(6), zel::dataCtrlRequestFrame());
}

void TestTask::shortRecordSendsNothing()
{
    task->setDataCtrl(QByteArray::fromHex("0300010100"), 45.55f);
    task->identifyDevice();
    // Only the identify command reaches the wire.
    QCOMPARE(pty->readExactly(30, 500), QByteArray::fromHex("1002020000010D0A"));
}

void TestTask::setBaudRateResults()
{
    QCOMPARE(task->setBaudRate(57600, true), -1);
    QCOMPARE(pty->hostBaudRate(), 115200);
    QCOMPARE(task->setBaudRate(38400, false), 0);
    QCOMPARE(pty->hostBaudRate(), 38400);
    QCOMPARE(task->setBaudRate(921600, true), 0);
    QCOMPARE(pty->hostBaudRate(), 921600);

    // A port that has gone away cannot be re-opened.
    task->port()->serial_connect(QStringLiteral("/nonexistent/tty"), 921600);
    QCOMPARE(task->setBaudRate(115200, true), -2);
    QVERIFY(!task->port()->isOpen());
}

void TestTask::recordingAppendsOneRowPerFrame()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    {
        QFile header(path);
        QVERIFY(header.open(QIODevice::WriteOnly));
        header.write(zel::csvHeader());
    }
    task->startSaveLog(path);
    deliver(testframes::sensorFrame()
        + testframes::sensorFrame(zel::SensorSample(testframes::sample(5.0f))));
    task->stopSaveLog();
    deliver(testframes::sensorFrame());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 4); // header, two rows, the empty text after the last line feed
    QCOMPARE(lines[0] + '\n', zel::csvHeader());
    QVERIFY(lines[1].startsWith("1234.5,-9.810000,1.000000,"));
    QVERIFY(lines[2].startsWith("1234.5,-9.810000,5.000000,"));
    QCOMPARE(lines[3], QByteArray());
}

void TestTask::unwritableLogLosesOnlyItsRows()
{
    QTemporaryDir dir;
    task->startSaveLog(dir.filePath("missing-folder/log.csv"));
    QTest::ignoreMessage(QtInfoMsg, "open log file fail in thread.cpp");
    deliver(testframes::sensorFrame());
    // Decoding goes on, and a path that becomes writable gets the next rows.
    QCOMPARE(log->count("acc"), 1);
    QVERIFY(QDir(dir.path()).mkdir("missing-folder"));
    deliver(testframes::sensorFrame());
    QFile file(dir.filePath("missing-folder/log.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count('\n'), 1);
}

void TestTask::readLeavesBufferAloneWhenNothingWaits()
{
    char buffer[8];
    std::fill(buffer, buffer + 8, 'q');
    QCOMPARE(task->port()->read(buffer, 8), 0);
    QCOMPARE(QByteArray(buffer, 8), QByteArray(8, 'q'));
}

namespace {

// Reads through the port object until something arrives (the port fills its
// buffer from the event loop) or the limit passes.
qint64 readWhenAvailable(UartTask *port, char *buffer, qint64 capacity, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    qint64 got = 0;
    while (got == 0 && timer.elapsed() < timeoutMs) {
        QTest::qWait(5);
        got = port->read(buffer, capacity);
    }
    return got;
}

} // namespace

void TestTask::readZeroesTheDestinationFirst()
{
    QVERIFY(pty->write("0123456789"));
    char buffer[8];
    std::fill(buffer, buffer + 8, 'q');
    QCOMPARE(readWhenAvailable(task->port(), buffer, 4), 4);
    QCOMPARE(QByteArray(buffer, 8), QByteArray("0123qqqq"));
}

void TestTask::connectToMissingPortFails()
{
    UartTask port;
    QCOMPARE(port.serial_connect(QStringLiteral("/nonexistent/tty"), 115200), -1);
    QVERIFY(!port.isOpen());
    QCOMPARE(port.currentPortName(), "/nonexistent/tty");
}

void TestTask::sameRateWithoutReopenKeepsThePort()
{
    // Bytes waiting in the port survive: a re-open would clear them.
    QVERIFY(pty->write("abc"));
    char buffer[3];
    QCOMPARE(readWhenAvailable(task->port(), buffer, 1), 1);
    QCOMPARE(task->port()->setBaudRate(115200, false), 0);
    QCOMPARE(task->port()->read(buffer, 3), 2);

    // Asked to re-open, it does, and what was waiting is gone.
    QVERIFY(pty->write("def"));
    QCOMPARE(readWhenAvailable(task->port(), buffer, 1), 1);
    QCOMPARE(task->port()->setBaudRate(115200, true), 0);
    QVERIFY(task->port()->isOpen());
    QCOMPARE(task->port()->read(buffer, 3), 0);
}

QTEST_GUILESS_MAIN(TestTask)
#include "tst_task.moc"
