// The whole tool against the module simulator, for what only the whole tool
// shows. Where the program's own end is under test, this program plays the
// tool itself in a process of its own (see main).

#include "chartview.h"
#include "firmware.h"
#include "logcheck.h"
#include "mainwindows.h"
#include "task.h"
#include "toolharness.h"
#include "uihelpers.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

QPushButton *button(const ToolHarness &tool, const char *window, const char *name)
{
    return tool.window->findChild<QMainWindow *>(window)->findChild<QPushButton *>(name);
}

QString statusField(const ToolHarness &tool, const char *name)
{
    return tool.window->findChild<QLabel *>(name)->text();
}

// Runs this program as the tool through `scenario`; true when it ended by
// itself, with exit code 0.
bool toolEndsByItself(const char *scenario, const QString &port, const QString &file)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(QCoreApplication::applicationFilePath(), { "--as-tool", scenario, port, file });
    return tool.waitForFinished(90000) && tool.exitStatus() == QProcess::NormalExit
        && tool.exitCode() == 0;
}

// The tool's program with a user's steps scripted in. It closes its main
// window as the window manager's close button does and returns what its
// event loop returns, as the tool's main does; 3 when a step failed.
int actAsTool(const QString &scenario, const QString &port, const QString &file)
{
    ToolHarness tool;
    bool closed = false;
    const auto closeWindow = [&] {
        if (!std::exchange(closed, true))
            QCoreApplication::postEvent(tool.window->windowHandle(), new QCloseEvent);
    };
    QTimer::singleShot(0, [&] {
        const bool recording = scenario == QLatin1String("record");
        bool done = tool.open(port) && tool.pressConnect(recording ? "921600" : "115200")
            && tool.waitUntilConnected();
        if (done && recording) {
            done = tool.startRecording(file);
            const int atStart = tool.samples;
            done = done && QTest::qWaitFor([&] { return tool.samples > atStart + 1000; }, 20000);
            closeWindow();
        } else if (done && tool.openUpdateWindow(file)) {
            // Closed while the image goes out; the update blocks the GUI thread.
            QObject::connect(tool.window->findChild<QProgressBar *>(QStringLiteral("progressBar")),
                &QProgressBar::valueChanged, closeWindow);
            button(tool, "DfuView", "pushButton_1")->click();
            closeWindow(); // an update that sent nothing
        } else {
            done = false;
        }
        if (!done)
            QCoreApplication::exit(3);
    });
    return QApplication::exec();
}

} // namespace

class TestE2E : public QObject
{
    Q_OBJECT

private slots:
    void recordsOneUnbrokenRunAcrossDisconnectAndReconnect();
    void configurationRoundTripsThroughTheModule();
    void updateFailingMidImageLeavesTheToolUsable();
    void closeDuringUpdateEndsTheProgramAfterTheUpdate();
    void closeWhileRecordingAt500HzLeavesNoTornRow();
    void linkFaultWhileRecording_data();
    void linkFaultWhileRecording();
    void wrongBaudRateDecodesNothing();
    void replayRecordsAsTheLogReplayed();
};

void TestE2E::recordsOneUnbrokenRunAcrossDisconnectAndReconnect()
{
    QTemporaryDir dir;
    const QString sent = dir.filePath("sent.bin");
    const QString log = dir.filePath("log.csv");
    ToolHarness tool;
    QVERIFY(tool.start({ "--odr", "3", "--record", sent }));
    QVERIFY(tool.pressConnect());
    QVERIFY(tool.waitUntilConnected());
    QCOMPARE(statusField(tool, "linkStatus"), tool.sim.portPath() + " @ 115200");
    QCOMPARE(statusField(tool, "firmwareStatus"), "Firmware 1.2.3");
    QVERIFY(tool.startRecording(log));
    const int atStart = tool.samples;
    QTRY_VERIFY_WITH_TIMEOUT(tool.samples > atStart + 300, 15000);
    const QRegularExpression about100("^(9\\d|10\\d|110) frames/s$");
    QTRY_VERIFY_WITH_TIMEOUT(about100.match(statusField(tool, "rateStatus")).hasMatch(), 10000);
    QTRY_VERIFY(QRegularExpression("^Recording log.csv: \\d{3,} rows$")
                    .match(statusField(tool, "recordingStatus"))
                    .hasMatch());
    tool.action("&Stop Saving Log")->trigger();
    QCOMPARE(statusField(tool, "noticeStatus"), "Recording log.csv ended: stopped by the user");
    tool.action("&Disconnect")->trigger();
    // The worker reports the link down once its port is shut.
    QTRY_COMPARE_WITH_TIMEOUT(MainView::currentFirmwareVersion(), "Not Connected", 10000);
    QCOMPARE(statusField(tool, "linkStatus"), "Not connected");

    int rows = 0;
    const QString problem = logcheck::problem(log, sent, &rows);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY2(rows > 200, qPrintable(QString::number(rows)));

    // Opened again and played as fast as drawn, it shows every row as it
    // was recorded: all timestamps and accelerations in the chart's minute,
    // every value of the last 333 rows in the console.
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> logged = file.readAll().split('\n').mid(1, rows);
    QVERIFY(tool.window->openRecordingFile(log));
    auto *speed = tool.window->findChild<QComboBox *>("playbackSpeed");
    speed->setCurrentIndex(speed->count() - 1);
    tool.action("Play")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(tool.action("Play"), 10000);
    ChartView *chart = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        chart = w->windowTitle() == "Accelerometer Data" ? qobject_cast<ChartView *>(w) : chart;
    QCOMPARE(chart->history().size(), rows);
    QStringList expected;
    for (int i = 0; i < rows; ++i) {
        const QList<QByteArray> fields = logged.at(i).split(',');
        const zel::HistorySample &sample = chart->history().at(i);
        QCOMPARE(zel::timestampText(sample.time), fields.at(0));
        for (int j = 0; j < 3; ++j)
            QCOMPARE(zel::valueText(sample.values[j]), fields.at(j + 1));
        if (i >= rows - 333)
            expected << "Sensors " + fields.mid(1, 9).join(", ")
                     << "Quaternions " + fields.mid(10, 4).join(", ")
                     << "Euler Angles " + fields.mid(14, 3).join(", ");
    }
    auto *console = tool.window->findChild<QPlainTextEdit *>("plainTextEdit");
    const auto shown = [console, &expected] {
        QStringList lines = console->toPlainText().split('\n');
        lines = lines.mid(lines.size() - expected.size());
        for (QString &line : lines)
            line.remove(0, 13); // the time into the recording
        return lines;
    };
    QTRY_COMPARE(shown(), expected);

    const int before = tool.samples;
    QVERIFY(tool.pressConnect());
    QVERIFY(tool.waitUntilConnected());
    QTRY_VERIFY_WITH_TIMEOUT(tool.samples > before + 50, 15000);
}

void TestE2E::configurationRoundTripsThroughTheModule()
{
    ToolHarness tool;
    QVERIFY(tool.start({ "--odr", "1" }));
    QVERIFY(tool.pressConnect());
    QVERIFY(tool.waitUntilConnected());
    auto *config = tool.window->findChild<QMainWindow *>("DataCtrlView");
    const auto box = [config](const char *name) { return config->findChild<QComboBox *>(name); };

    // The module's record shows in the boxes.
    box("comboBox_ODR")->setCurrentText("100Hz");
    tool.action("Device Config")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(box("comboBox_ODR")->currentText(), "25Hz", 10000);
    QCOMPARE(box("comboBox_ref_mag")->currentText(), "Taipei");

    // 100 Hz at 921600 baud with the field of Dallas: the module takes it
    // and both ends move to the new rate.
    box("comboBox_ODR")->setCurrentText("100Hz");
    box("comboBox_baud_rate")->setCurrentText("921600");
    box("comboBox_ref_mag")->setCurrentText("Dallas");
    button(tool, "DataCtrlView", "pushButton_1")->click();
    QCOMPARE(tool.sim.waitForEvent("datactrl-write"), "datactrl-write 030001010001 48.53");
    QVERIFY(!tool.sim.waitForEvent("baud 921600").isEmpty());

    // Read back over the new rate.
    box("comboBox_ODR")->setCurrentText("25Hz");
    box("comboBox_baud_rate")->setCurrentText("115200");
    box("comboBox_ref_mag")->setCurrentText("Taipei");
    button(tool, "DataCtrlView", "pushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(box("comboBox_ODR")->currentText(), "100Hz", 10000);
    QCOMPARE(box("comboBox_baud_rate")->currentText(), "921600");
    QCOMPARE(box("comboBox_ref_mag")->currentText(), "Dallas");
}

void TestE2E::updateFailingMidImageLeavesTheToolUsable()
{
    QTemporaryDir dir;
    const QString installed = dir.filePath("installed.bin");
    const QString firmware = dir.filePath("fw.bin");
    QVERIFY(writeFile(firmware, firmwareImage(60000)));
    ToolHarness tool;
    QVERIFY(tool.start({ "--odr", "3", "--dfu-stop-after-chunk", "2", "--dfu-image", installed }));
    QVERIFY(tool.pressConnect());
    QVERIFY(tool.waitUntilConnected());
    QVERIFY(tool.openUpdateWindow(firmware));

    // Shared: a box that never came leaves the handler to a later test.
    const auto outcome = std::make_shared<QString>();
    onNextModal([outcome](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            *outcome = box->text();
        modal->close();
    });
    button(tool, "DfuView", "pushButton_1")->click();
    QCOMPARE(*outcome, "DFU Failed.");
    QVERIFY(!tool.sim.waitForEvent("dfu-chunk 16360 8180").isEmpty());
    QVERIFY(!QFile::exists(installed));

    // Connecting again brings the module's application back, and its stream.
    const int before = tool.samples;
    QVERIFY(tool.pressConnect());
    QVERIFY(!tool.sim.waitForEvent("dfu-abandoned").isEmpty());
    QVERIFY(tool.waitUntilConnected());
    QTRY_VERIFY_WITH_TIMEOUT(tool.samples > before + 50, 15000);
}

void TestE2E::closeDuringUpdateEndsTheProgramAfterTheUpdate()
{
    QTemporaryDir dir;
    const QString installed = dir.filePath("installed.bin");
    const QString firmware = dir.filePath("fw.bin");
    const QByteArray image = firmwareImage(200000);
    QVERIFY(writeFile(firmware, image));
    SimProcess sim;
    QVERIFY(sim.start({ "--odr", "3", "--dfu-image", installed }));
    QVERIFY(toolEndsByItself("update", sim.portPath(), firmware));

    // The close waited for the update, which ran to its end.
    QVERIFY(!sim.waitForEvent("dfu-reset").isEmpty());
    QFile written(installed);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll() == image);
}

void TestE2E::closeWhileRecordingAt500HzLeavesNoTornRow()
{
    QTemporaryDir dir;
    const QString sent = dir.filePath("sent.bin");
    const QString log = dir.filePath("log.csv");
    SimProcess sim;
    QVERIFY(sim.start({ "--odr", "4", "--baud", "921600", "--record", sent }));
    QVERIFY(toolEndsByItself("record", sim.portPath(), log));

    int rows = 0;
    const QString problem = logcheck::problem(log, sent, &rows);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY2(rows > 500, qPrintable(QString::number(rows)));
}

void TestE2E::linkFaultWhileRecording_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("userReconnects");
    QTest::addColumn<bool>("recordingGoesOn");

    QTest::newRow("port back within 10 s")
        << QStringList { "--odr", "3", "--reappear-after", "1" } << "hangup" << false << true;
    QTest::newRow("port gone for more than 10 s")
        << QStringList { "--odr", "3", "--reappear-after", "11" } << "hangup" << false << false;
    QTest::newRow("garbage between frames at 500 Hz")
        << QStringList { "--odr", "4", "--baud", "921600", "--garbage-every", "3" } << "" << false
        << false;
    QTest::newRow("module silent for a second")
        << QStringList { "--odr", "3" } << "silence 1" << false << true;
    QTest::newRow("BLE notice") << QStringList { "--odr", "3" } << "ble" << true << false;
}

// The fault comes while recording. A silent module is opened again, a port
// back within 10 s is picked up again, and the recording goes on, every
// frame in it but those lost with the port; otherwise the recording ends
// with the link, whole. The stream comes back (by itself after a silence or
// a new port, from the dialog otherwise); the ended recording gains no rows.
void TestE2E::linkFaultWhileRecording()
{
    QFETCH(QStringList, simArguments);
    QFETCH(QString, fault);
    QFETCH(bool, userReconnects);
    QFETCH(bool, recordingGoesOn);
    QTemporaryDir dir;
    const QString sent = dir.filePath("sent.bin");
    const QString log = dir.filePath("log.csv");
    const QString link = dir.filePath("ttyZEL");
    const QString baudRate = simArguments.contains("921600") ? "921600" : "115200";
    ToolHarness tool;
    QVERIFY(tool.start(simArguments + QStringList { "--record", sent, "--link", link }, link));
    QVERIFY(tool.pressConnect(baudRate));
    QVERIFY(tool.waitUntilConnected());
    QVERIFY(tool.startRecording(log));
    const int atStart = tool.samples;
    QTRY_VERIFY_WITH_TIMEOUT(tool.samples > atStart + 300, 20000);

    const int atFault = tool.samples;
    if (fault.isEmpty()) {
        tool.action("&Stop Saving Log")->trigger();
    } else if (recordingGoesOn) {
        tool.sim.control(fault);
        if (fault != "hangup")
            QTRY_COMPARE_WITH_TIMEOUT(statusField(tool, "noticeStatus"),
                "No data for half a second: the port was opened again", 15000);
        QTRY_VERIFY_WITH_TIMEOUT(tool.samples > atFault + 100, 15000);
        tool.action("&Stop Saving Log")->trigger();
    } else {
        if (fault == "ble")
            onNextModal([](QWidget *notice) { notice->close(); });
        tool.sim.control(fault);
        QTRY_VERIFY_WITH_TIMEOUT(!tool.isRecording(), 30000);
    }
    // Whatever the worker was asked before this call it has done.
    QMetaObject::invokeMethod(
        tool.window->deviceWorker(), [] {}, Qt::BlockingQueuedConnection);
    int rows = 0;
    int gaps = 0; // a port that vanished took the frames on its way with it
    const QString problem = logcheck::problem(log, sent, &rows, false, &gaps);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(gaps <= (fault == "hangup" && recordingGoesOn ? 1 : 0));
    QVERIFY2(
        rows > (recordingGoesOn ? atFault - atStart + 50 : 200), qPrintable(QString::number(rows)));

    const int before = tool.samples;
    if (userReconnects)
        QVERIFY(tool.pressConnect(baudRate));
    QVERIFY(tool.waitUntilConnected());
    QTRY_VERIFY_WITH_TIMEOUT(tool.samples > before + 50, 15000);
    int rowsLater = 0;
    logcheck::problem(log, sent, &rowsLater);
    QCOMPARE(rowsLater, rows);
}

void TestE2E::wrongBaudRateDecodesNothing()
{
    ToolHarness tool;
    QVERIFY(tool.start({ "--odr", "3" }));
    QVERIFY(tool.pressConnect("921600"));
    QVERIFY(!tool.sim.waitForEvent("garbled").isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(statusField(tool, "rateStatus"),
        "Data arrives but no frames are recognised: check the baud rate in the connection dialog",
        10000);
    QCOMPARE(tool.samples, 0);
    QVERIFY(!tool.action("Identify The Device")->isEnabled());

    QVERIFY(tool.pressConnect("115200"));
    QVERIFY(tool.waitUntilConnected());
    QTRY_VERIFY_WITH_TIMEOUT(tool.samples > 50, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(statusField(tool, "rateStatus").endsWith(" frames/s"), 10000);
}

// A log replayed through the simulator and recorded again is the same file,
// texts that take care included: a negative value rounding to zero, values
// beyond a float's sixth decimal, a timestamp in exponent notation. The view
// is paused all along: the rows are recorded all the same.
void TestE2E::replayRecordsAsTheLogReplayed()
{
    const QByteArray log
        = "Timestamp,Acc_X,Acc_Y,Acc_Z,Mag_X,Mag_Y,Mag_Z,Gyr_X,Gyr_Y,Gyr_Z,Quat_W,Quat_X,Quat_Y,"
          "Quat_Z,EulerAngle_X,EulerAngle_Y,EulerAngle_Z\n"
          "0.02,-9.810000,-0.000000,123456.789063,16.007813,-1234.567749,1234567.750000,"
          "98765.429688,45.549999,-12.345678,0.707107,0.000000,-0.707107,0.000000,-90.000000,"
          "0.000001,-179.999985\n1.23457e+06"
        + QByteArray(",0.000000").repeated(16) + '\n';
    QTemporaryDir dir;
    const QString replayed = dir.filePath("replayed.csv"), recorded = dir.filePath("rec.csv");
    QVERIFY(writeFile(replayed, log));
    ToolHarness tool;
    // Output off until the tool records, so that it records from the first row.
    QVERIFY(tool.start({ "--replay", replayed, "--replay-rate", "50", "--output", "off" }));
    QVERIFY(tool.pressConnect() && tool.waitUntilConnected() && tool.startRecording(recorded));
    tool.action("Pause Live View")->trigger();
    tool.window->findChild<QComboBox *>("comboBox_data")->setCurrentText("Enabled");
    button(tool, "DataCtrlView", "pushButton_1")->click();
    QVERIFY(!tool.sim.waitForEvent("replay-end").isEmpty());
    const auto recordedLog = [&] {
        QFile file(recorded);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_COMPARE_WITH_TIMEOUT(recordedLog(), log, 10000);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The update window keeps the firmware's folder in the settings.
    QStandardPaths::setTestModeEnabled(true);
    if (argc == 5 && qstrcmp(argv[1], "--as-tool") == 0)
        return actAsTool(argv[2], argv[3], argv[4]);
    TestE2E test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e.moc"
