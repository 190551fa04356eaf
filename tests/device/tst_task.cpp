// The worker driven on the test's own thread: its decoders called directly,
// its polls over a real pseudo-terminal whose master end plays the module.

#include "firmware.h"
#include "moduleframes.h"
#include "ptypair.h"
#include "sampletext.h"
#include "task.h"
#include "uarttask.h"

#include <QSerialPort>
#include <QtTest>

#include <functional>

#include <csignal>
#include <sys/resource.h>

using Action = std::function<void(Task &)>;
Q_DECLARE_METATYPE(Action)
using frames::bytes;
using frames::hex;

class TestTask : public QObject
{
    Q_OBJECT

    PtyPair *pty = nullptr;
    Task *task = nullptr;

    QString sensor(const QByteArray &frame, int times = 1)
    {
        QString text;
        for (int length; times-- > 0;)
            text = task->parseSensorFrame(bytes(frame), 0, length = zel::sensorPayloadLength,
                QDate(2026, 3, 4), QTime(5, 6, 7, 89));
        return text;
    }

    // Writes bytes as the module and, once the port holds them all, polls once.
    void deliver(const QByteArray &bytes, PtyPair *module = nullptr)
    {
        QVERIFY((module ? module : pty)->write(bytes));
        const auto *serial = task->port()->findChild<QSerialPort *>();
        QTRY_COMPARE_WITH_TIMEOUT(serial->bytesAvailable(), qint64(bytes.size()), 10000);
        task->pollSerialPort();
    }

    // Checks what the worker writes in that many polls: a marker written
    // behind them through the same port shows where that ends.
    void expectSent(int polls, const QByteArray &expected)
    {
        while (polls-- > 0)
            task->pollSerialPort();
        task->port()->write("~", 1);
        QCOMPARE(pty->readExactly(expected.size() + 1).toHex(' '), (expected + '~').toHex(' '));
    }

private slots:
    void init()
    {
        pty = new PtyPair;
        QVERIFY(pty->isValid());
        task = new Task(nullptr);
        // The test polls by hand; no polling loop may start behind its back.
        disconnect(task, &Task::startRun, task, &Task::run);
        QCOMPARE(task->port()->serial_connect(pty->slavePath(), 115200), 0);
    }

    void cleanup()
    {
        delete task;
        delete pty;
    }

    void sensorFrameReachesEverySignalWithItsValue()
    {
        QSignalSpy angleAxis(task, &Task::sendAngleAxis), acc(task, &Task::sendAcc),
            mag(task, &Task::sendMag), gyr(task, &Task::sendGyr), eul(task, &Task::sendEul),
            good(task, &Task::sendAlertGoodQuality), polls(task, &Task::sendSamples);
        deliver(frames::distinctSensorFrame);
        // The poll's samples, which the window takes, in the frame's order.
        const auto samples = polls.value(0).value(0).value<zel::SensorSamples>();
        QCOMPARE(samples.size(), 1);
        const zel::SensorSample &got = samples[0];
        QList<float> fields { got.timestamp };
        for (const float *group : { got.acc.data(), got.mag.data(), got.gyr.data() })
            fields << group[0] << group[1] << group[2];
        fields << got.quat[0] << got.quat[1] << got.quat[2] << got.quat[3] << got.euler[0]
               << got.euler[1] << got.euler[2];
        fields << got.angleAxis[0] << got.angleAxis[1] << got.angleAxis[2] << got.angleAxis[3];
        QCOMPARE(fields,
            QList<float>({ 1234.5f, 1.5f, -2.5f, 3.5f, 4.5f, 5.5f, -6.5f, 7.5f, 8.5f, 9.5f, 10.5f,
                -11.5f, 12.5f, 13.5f, 14.5f, 15.5f, -16.5f, 17.5f, 18.5f, 19.5f, -20.5f }));
        QVERIFY(zel::isGoodQuality(got.qualityStatus));
        // The per-frame signals, each with its own quantity.
        QCOMPARE(acc.value(0), QVariantList({ 1.5f, -2.5f, 3.5f }));
        QCOMPARE(mag.value(0), QVariantList({ 4.5f, 5.5f, -6.5f }));
        QCOMPARE(gyr.value(0), QVariantList({ 7.5f, 8.5f, 9.5f }));
        QCOMPARE(eul.value(0), QVariantList({ 14.5f, 15.5f, -16.5f }));
        QCOMPARE(angleAxis.value(0), QVariantList({ 17.5f, 18.5f, 19.5f, -20.5f }));
        QCOMPARE(good.count(), 1);
        const QString text = sensor(frames::distinctSensorFrame);
        const QString stamp = QStringLiteral("2026/03/04 05:06:07.089");
        QCOMPARE(text,
            stamp
                + " Sensors 1.500000, -2.500000, 3.500000, 4.500000, 5.500000, -6.500000, "
                  "7.500000, 8.500000, 9.500000\n"
                + stamp + " Quaternions 10.500000, -11.500000, 12.500000, 13.500000\n" + stamp
                + " Euler Angles 14.500000, 15.500000, -16.500000\n");
    }

    void dataCtrlReplySetsModeAndPoorQualityLimit()
    {
        QSignalSpy reply(task, &Task::sendDataCtrl), isAhrs(task, &Task::sendIsAHRS),
            poor(task, &Task::sendAlertPoorQuality);
        const QByteArray poorFrame = frames::sensorFrame({}, 1);
        deliver(frames::dataCtrlReply("010001000001")); // AHRS at 25 Hz: the limit is 750
        QCOMPARE(reply.value(0), QVariantList({ hex("010001000001"), 45.55f }));
        sensor(poorFrame, 750);
        sensor(frames::sensorFrame({}, 2)); // a good sample starts the count again
        sensor(poorFrame, 750);
        QCOMPARE(poor.count(), 0);
        sensor(poorFrame);
        QCOMPARE(poor.count(), 1);
        sensor(poorFrame, 2000);
        QCOMPARE(poor.count(), 1); // silent until armed again
        task->rebootDevice();
        deliver(frames::dataCtrlReply("010101000001")); // IMU mode does not count
        deliver(frames::dataCtrlReply("010201000001")); // an unknown mode changes nothing
        sensor(poorFrame, 2000);
        QCOMPARE(poor.count(), 1);
        deliver(frames::dataCtrlReply("010001000001"));
        sensor(poorFrame, 751);
        QCOMPARE(poor.count(), 2);
        QCOMPARE(
            QList<QVariantList>(isAhrs), QList<QVariantList>({ { true }, { false }, { true } }));
        QCOMPARE(reply.count(), 4);
    }

    void recordingAppendsOneRowPerFrame()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.csv");
        QVERIFY(writeFile(path, "header\n"));
        task->startSaveLog(path);
        sensor(frames::sensorFrame({ 1 }));
        sensor(frames::sensorFrame({ 2 }));
        task->stopSaveLog();
        sensor(frames::sensorFrame({ 3 }));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = file.readAll().split('\n');
        QCOMPARE(rows.size(), 4); // nothing after the last line feed
        QVERIFY(rows[0] == "header" && rows[1].startsWith("1,") && rows[2].startsWith("2,"));

        // A disk that fills up half-way through a row: the row is cut back,
        // and the recording ends at once with its reason.
        QSignalSpy ended(task, &Task::sendRecordingEnded);
        const QByteArray whole = "header\n1" + QByteArray(",0.000000").repeated(16) + '\n';
        QVERIFY(writeFile(path, whole));
        task->startSaveLog(path);
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit;
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlim_t unlimited = limit.rlim_cur;
        limit.rlim_cur = whole.size() + 54;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        sensor(frames::sensorFrame({ 4 }), 2);
        limit.rlim_cur = unlimited;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), whole);
        QCOMPARE(
            ended, QList<QVariantList>({ { "cannot write " + path + ": File too large", true } }));
    }

    void commandsAreByteExactOnTheWire_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("reset") << Action(&Task::resetDevice) << frames::resetCommand;
        QTest::newRow("reboot") << Action(&Task::rebootDevice) << frames::rebootCommand;
        QTest::newRow("identify") << Action(&Task::identifyDevice) << frames::identifyCommand;
        QTest::newRow("calibrate") << Action(&Task::calibrateDevice) << frames::calibrateCommand;
        QTest::newRow("configuration write")
            << Action([](Task &t) { t.setDataCtrl(hex("0300010100010707"), 45.55f); })
            << hex("20040c000300010100010000333336420d0a");
        QTest::newRow("short record sends nothing")
            << Action([](Task &t) { t.setDataCtrl(hex("0300010100"), 45.55f); }) << QByteArray();
    }

    void commandsAreByteExactOnTheWire()
    {
        QFETCH(Action, action);
        QFETCH(QByteArray, wire);
        QCOMPARE(task->setBaudRate(921600, false), 0);
        action(*task);
        expectSent(0, wire);
        // A reset returns the module to 115200 baud, and the port follows. A
        // close leaves the line at its rate, for the tail of the last command.
        task->port()->closePort();
        QCOMPARE(pty->hostBaudRate(),
            QTest::currentDataTag() == QLatin1String("reset") ? 115200 : 921600);
    }

    void versionThenDataCtrlAreRequestedEveryTenthPoll()
    {
        expectSent(9, QByteArray());
        expectSent(1, frames::versionRequest);
        expectSent(10, frames::versionRequest);
        QSignalSpy version(task, &Task::sendVersion);
        deliver(frames::shortVersionReply);
        QCOMPARE(version.value(0), QVariantList { "1.2.3" });
        expectSent(10, frames::dataCtrlRequest);
        deliver(frames::defaultDataCtrlReply);
        // Every read starts the silence count again: more than 100 polls in
        // all, but never 100 silent ones in a row, so no re-open (which would
        // ask for the version again) comes in between.
        expectSent(70, QByteArray());
        task->resetDevice(); // the module is back at its defaults: read them
        expectSent(10, frames::resetCommand + frames::dataCtrlRequest);
        deliver(frames::defaultDataCtrlReply);
        // A write is read back. The reply to a request sent before it tells
        // the record as it was, and is not taken for the new one.
        QSignalSpy reply(task, &Task::sendDataCtrl);
        task->getDataCtrl();
        expectSent(10, frames::dataCtrlRequest);
        task->setDataCtrl(hex("020001000001"), 45.55f);
        expectSent(10, hex("20040c000200010000010000333336420d0a") + frames::dataCtrlRequest);
        deliver(frames::dataCtrlReply("020001000000") + frames::dataCtrlReply("020001000001"));
        QCOMPARE(reply.count(), 1);
        QCOMPARE(reply.value(0).value(0), hex("020001000001"));
    }

    void unreadBytesWaitForTheNextRead()
    {
        // Behind long junk only the newest bytes stay, the frame's start among
        // them; a BLE notice stops the scan and the frame behind it waits.
        QSignalSpy log(task, &Task::signalLogMessage), acc(task, &Task::sendAcc),
            ble(task, &Task::sendAlertDisconnectByBLE), polls(task, &Task::sendSamples);
        const QByteArray frame = frames::distinctSensorFrame;
        deliver(QByteArray(1200, 'j') + frame.left(50));
        QCOMPARE(log.value(0), QVariantList { QString() });
        deliver(frame.mid(50) + frames::bleNotice + frame);
        QVERIFY(acc.count() == 1 && ble.count() == 1);
        deliver(frame);
        QVERIFY(acc.count() == 3 && ble.count() == 1);
        const QString text = log.value(2).value(0).toString();
        QVERIFY2(text.count('\n') == 5 && text.endsWith("-16.500000"), qPrintable(text));
        const auto samples = polls.value(1).value(0).value<zel::SensorSamples>();
        QVERIFY(polls.count() == 2 && samples.size() == 2 && samples[1].euler[2] == -16.5f);
    }

    void silentPortIsReopenedUnlessOutputIsOff()
    {
        QSignalSpy version(task, &Task::sendVersion), shown(task, &Task::sendShowSerialdis);
        for (int empty = 1; empty <= 101; ++empty) {
            task->pollSerialPort();
            QCOMPARE(shown.count(), empty <= 100 ? 0 : 1);
        }
        QCOMPARE(version.value(0), QVariantList { "Not Connected" });
        task->setDataCtrl(hex("020001000000"), 45.55f);
        for (int i = 0; i < 300; ++i)
            task->pollSerialPort();
        QCOMPARE(shown.count(), 1);

        // A port that went away during the silence is looked for, as one
        // that hung up would be, and the recording is not ended.
        QTemporaryDir dir;
        QVERIFY(QFile::link(pty->slavePath(), dir.filePath("ttyZEL")));
        task->serialInit(dir.filePath("ttyZEL"), 115200);
        task->setDataCtrl(hex("020001000001"), 45.55f);
        task->startSaveLog(dir.filePath("log.csv"));
        QVERIFY(QFile::remove(dir.filePath("ttyZEL")));
        QSignalSpy waiting(task, &Task::sendAwaitingPort), ended(task, &Task::sendRecordingEnded);
        for (int i = 0; i < 101 + Task::closedCyclesBeforeReport; ++i)
            task->run();
        QVERIFY(waiting.count() == 1 && ended.isEmpty());
    }

    void vanishedPortIsLookedForUntilTheUserDisconnects_data()
    {
        QTest::addColumn<bool>("userDisconnects");
        QTest::newRow("module plugged in again") << false;
        QTest::newRow("user disconnects meanwhile") << true;
    }

    void vanishedPortIsLookedForUntilTheUserDisconnects()
    {
        QFETCH(bool, userDisconnects);
        // A stable name, as under /dev/serial/by-id, for a port that hangs up
        // while the module's output is off, so that no silence rule notices.
        QTemporaryDir dir;
        const QString link = dir.filePath("ttyZEL"), log = dir.filePath("log.csv");
        QVERIFY(QFile::link(pty->slavePath(), link) && writeFile(log, {}));
        QVERIFY(writeFile(dir.filePath("busy"), {}));
        QCOMPARE(task->port()->serial_connect(link, 115200), 0);
        task->setDataCtrl(hex("020001000000"), 45.55f);
        task->startSaveLog(log);
        deliver(frames::sensorFrame({ 1 }));
        // What moves the window's link state, in the order it is sent.
        QStringList heard;
        connect(task, &Task::sendVersion, this, [&](const QString &version) { heard << version; });
        connect(task, &Task::sendAwaitingPort, this, [&] { heard << "waiting"; });
        connect(task, &Task::sendShowSerialdis, this, [&] { heard << "open"; });
        QSignalSpy ended(task, &Task::sendRecordingEnded);
        pty->hangUp();
        QTRY_VERIFY(!task->port()->isOpen());
        // The bridge is back under its name, but does not open yet.
        QVERIFY(QFile::remove(link) && QFile::link(dir.filePath("busy"), link));
        for (int cycle = 0; cycle < 300; ++cycle)
            task->run();
        QCOMPARE(heard, QStringList({ "Not Connected", "waiting" }));
        PtyPair pluggedIn;
        QVERIFY(QFile::remove(link) && QFile::link(pluggedIn.slavePath(), link));
        if (userDisconnects)
            task->closeSerialPort();
        for (int cycle = 0; cycle < 200; ++cycle)
            task->run();
        QCOMPARE(task->port()->isOpen(), !userDisconnects);
        if (userDisconnects) {
            QCOMPARE(heard.size(), 2);
            return;
        }
        QCOMPARE(heard, QStringList({ "Not Connected", "waiting", "open" }));
        // The recording went on through the gap, into the same file.
        deliver(frames::sensorFrame({ 2 }), &pluggedIn);
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly) && ended.isEmpty());
        const QByteArray zeros = QByteArray(",0.000000").repeated(16);
        QCOMPARE(file.readAll(), "1" + zeros + "\n2" + zeros + '\n');
    }

    void closedPortIsReportedOnce()
    {
        QSignalSpy version(task, &Task::sendVersion), counts(task, &Task::sendLinkCounts);
        task->closeSerialPort();
        for (int cycle = 1; cycle <= 400; ++cycle) {
            task->run();
            QCOMPARE(version.count(), cycle < 100 ? 0 : 1);
        }
        QCOMPARE(version.value(0), QVariantList { "Not Connected" });
        QCOMPARE(counts.count(), 0); // a closed port has no frame rate
    }
};

QTEST_GUILESS_MAIN(TestTask)
#include "tst_task.moc"
