// Faults of the serial link, end to end: the real tool against the module
// simulator while it streams and records. The port vanishes, garbage comes
// between frames, the module talks at another baud rate, falls silent, or
// reports another host over BLE. Whatever happens, nothing crashes or hangs,
// every row in the data log is whole, and the user is shown the state.

#include "logaudit.h"
#include "mainwindows.h"
#include "uihelpers.h"
#include "task.h"
#include "toolharness.h"
#include "uarttask.h"

#include <QAction>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestFaultsLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void portVanishesWhileRecording();
    void garbageBetweenFramesLosesNoFrame();
    void wrongBaudRateDecodesNothing();
    void silentModuleIsReopenedAndRecordingEnds();
    void bleNoticeWhileRecording();

private:
    bool recordRows(int rows);
    void verifyLogWhole(const QString &log);

    ToolHarness *tool = nullptr;
    QTemporaryDir *dir = nullptr;
    QString record;
    QString log;
};

void TestFaultsLink::init()
{
    tool = new ToolHarness;
    dir = new QTemporaryDir;
    QVERIFY(dir->isValid());
    record = dir->filePath(QStringLiteral("sent.bin"));
    log = dir->filePath(QStringLiteral("log.csv"));
}

void TestFaultsLink::cleanup()
{
    delete tool;
    tool = nullptr;
    delete dir;
    dir = nullptr;
}

// Starts recording and waits until `rows` samples have come in since.
bool TestFaultsLink::recordRows(int rows)
{
    if (!tool->startRecording(log))
        return false;
    const int atStart = tool->samples();
    return waitUntil([&] { return tool->samples() >= atStart + rows; }, 20000);
}

void TestFaultsLink::verifyLogWhole(const QString &path)
{
    const logaudit::Audit verdict
        = logaudit::audit(recordcheck::expectedRows(record), recordcheck::readLog(path));
    QVERIFY2(verdict.problem.isEmpty(), qPrintable(verdict.problem));
}

void TestFaultsLink::portVanishesWhileRecording()
{
    const QString link = dir->filePath(QStringLiteral("ttyZEL"));
    QVERIFY(tool->start(
        { "--odr", "3", "--link", link, "--reappear-after", "1", "--record", record }, link));
    QVERIFY(tool->pressConnect());
    QVERIFY(tool->waitUntilConnected());
    QVERIFY(recordRows(200));

    tool->simulator().control(QStringLiteral("hangup"));
    QVERIFY(!tool->simulator().waitForEvent(QStringLiteral("hangup")).isEmpty());
    // The tool notices on its own: "Not Connected", the device actions go,
    // and the recording ends with it.
    QVERIFY(
        waitUntil([&] { return tool->action(QStringLiteral("&Connect"))->isVisible(); }, 15000));
    QVERIFY(!tool->action(QStringLiteral("Identify The Device"))->isEnabled());
    QCOMPARE(MainView::currentFirmwareVersion(), QStringLiteral("Not Connected"));
    QVERIFY(!tool->isRecording());
    verifyLogWhole(log);
    const QByteArray logged = recordcheck::readLog(log).rows.last();

    // The bridge is plugged in again: Search Port finds it and the stream
    // resumes. The ended recording gains no rows.
    QVERIFY(!tool->simulator().waitForEvent(QStringLiteral("reappear"), 15000).isEmpty());
    tool->window()->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
    const int before = tool->samples();
    QVERIFY(tool->pressConnect());
    QVERIFY(tool->waitUntilConnected());
    QVERIFY(waitUntil([&] { return tool->samples() > before + 50; }, 15000));
    QCOMPARE(recordcheck::readLog(log).rows.last(), logged);
}

void TestFaultsLink::garbageBetweenFramesLosesNoFrame()
{
    // A burst of 37 junk bytes after every third frame, at the highest rate.
    QVERIFY(tool->start(
        { "--odr", "4", "--baud", "921600", "--garbage-every", "3", "--record", record }));
    QVERIFY(tool->pressConnect(QStringLiteral("921600")));
    QVERIFY(tool->waitUntilConnected());
    const qint64 sentBefore = tool->framesSent(record);
    QVERIFY(recordRows(1500));
    tool->stopRecording();
    const qint64 sentWhileRecording = tool->framesSent(record) - sentBefore;
    tool->action(QStringLiteral("&Disconnect"))->trigger();
    QVERIFY(waitUntil([&] { return !tool->window()->deviceWorker()->port()->isOpen(); }, 5000));

    verifyLogWhole(log);
    // One row for every frame sent meanwhile, give or take those on their
    // way when recording started and stopped.
    const int rows = recordcheck::readLog(log).rows.size();
    QVERIFY2(qAbs(rows - sentWhileRecording) < 100,
        qPrintable(QStringLiteral("%1 rows, %2 frames sent").arg(rows).arg(sentWhileRecording)));
}

void TestFaultsLink::wrongBaudRateDecodesNothing()
{
    QVERIFY(tool->start({ "--odr", "3", "--baud", "115200" }));
    QVERIFY(tool->pressConnect(QStringLiteral("921600")));
    // The port opens; what arrives is noise at the wrong rate.
    QVERIFY(!tool->simulator().waitForEvent(QStringLiteral("garbled")).isEmpty());
    QVERIFY(waitUntil([&] { return tool->undecodedPolls() >= 200; }, 20000));

    QCOMPARE(tool->decodedPolls(), 0);
    QCOMPARE(tool->samples(), 0);
    // What the user sees: the port is open ("&Disconnect" offered) but no
    // device action is, the console stays empty and the version box still
    // says "Not Connected".
    QVERIFY(tool->action(QStringLiteral("&Disconnect"))->isVisible());
    for (const char *text : { "Identify The Device", "&Start Saving Log", "&3D View",
             "Device Config", "&Reset to Default" })
        QVERIFY2(!tool->action(QLatin1String(text))->isEnabled(), text);
    auto *console = tool->window()->findChild<QPlainTextEdit *>(QStringLiteral("plainTextEdit"));
    QVERIFY(console->toPlainText().isEmpty());
    QCOMPARE(MainView::currentFirmwareVersion(), QStringLiteral("Not Connected"));

    // Connecting again at the module's rate works.
    QVERIFY(tool->pressConnect(QStringLiteral("115200")));
    QVERIFY(tool->waitUntilConnected());
    QVERIFY(waitUntil([&] { return tool->samples() > 50; }, 15000));
    QVERIFY(console->toPlainText().contains(QStringLiteral(" Euler Angles ")));
}

void TestFaultsLink::silentModuleIsReopenedAndRecordingEnds()
{
    QVERIFY(tool->start({ "--odr", "3", "--record", record }));
    QVERIFY(tool->pressConnect());
    QVERIFY(tool->waitUntilConnected());
    QVERIFY(recordRows(100));
    const int reportsBefore = tool->versions().count(QStringLiteral("Not Connected"));

    // Two seconds without a byte while output is on: the worker takes the
    // link for stalled and re-opens the port, which the main window sees as
    // a new connection: the recording ends.
    tool->simulator().control(QStringLiteral("silence 2"));
    QVERIFY(waitUntil(
        [&] { return tool->versions().count(QStringLiteral("Not Connected")) > reportsBefore; },
        15000));
    QVERIFY(waitUntil([&] { return !tool->isRecording(); }, 5000));
    verifyLogWhole(log);
    const int rowsAtSilence = recordcheck::readLog(log).rows.size();

    // When the module talks again the re-opened port picks it up.
    const int before = tool->samples();
    QVERIFY(waitUntil([&] { return tool->samples() > before + 50; }, 15000));
    QVERIFY(tool->waitUntilConnected());
    QCOMPARE(recordcheck::readLog(log).rows.size(), rowsAtSilence);
}

void TestFaultsLink::bleNoticeWhileRecording()
{
    QVERIFY(tool->start({ "--odr", "3", "--record", record }));
    QVERIFY(tool->pressConnect());
    QVERIFY(tool->waitUntilConnected());
    QVERIFY(recordRows(150));

    QString title;
    QString text;
    bool portClosedWhileAsking = false;
    onNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (box) {
            title = box->windowTitle();
            text = box->text();
            // The worker lets go of the port before the box waits for the user.
            portClosedWhileAsking = waitUntil(
                [&] { return !tool->window()->deviceWorker()->port()->isOpen(); }, 5000);
        }
        modal->close();
    });
    tool->simulator().control(QStringLiteral("ble"));
    QVERIFY(waitUntil([&] { return !title.isEmpty(); }, 15000));
    QCOMPARE(title, QStringLiteral("Multiple Connection Detected"));
    QCOMPARE(text,
        QStringLiteral(
            "Notice: One connection at a time.\nMobile App Connected. PC Tool Stopped."));
    QVERIFY(portClosedWhileAsking);

    QVERIFY(waitUntil([&] { return tool->action(QStringLiteral("&Connect"))->isVisible(); }, 5000));
    QVERIFY(!tool->action(QStringLiteral("Identify The Device"))->isEnabled());
    QVERIFY(!tool->isRecording());
    verifyLogWhole(log);
}

QTEST_MAIN(TestFaultsLink)
#include "tst_faults_link.moc"
