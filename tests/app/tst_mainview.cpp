// The main window under a real X server: the state of every action as the
// link changes, which chart shows which quantity, menu commands reaching a
// module played on a pseudo-terminal, how long its notices live and what
// the samples' quality does to them, why a port would not open and what it
// remembers for the next start.

#include "chartview.h"
#include "cubeview.h"
#include "firmware.h"
#include "mainwindows.h"
#include "moduleframes.h"
#include "ptypair.h"
#include "task.h"
#include "uihelpers.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

// The 20 actions in menu order.
const char *const actionTexts[] = { "&Connect", "&Disconnect", "&Reset to Default",
    "&Reboot the Device", "&3D View", "&Accelerometer", "&Magnetometer", "&Gyroscope",
    "&Euler Angle", "&Open/Close All Graphs", "Pause Live View", "&Start Saving Log",
    "&Stop Saving Log", "Open Recording\u2026", "Close Recording", "&Device Firmware Update",
    "Device Config", "Identify The Device", "Mag Calibration", "&Version" };

// Five rows, module time going back before the fourth (a reboot), the
// fifth 60 ms into the recording. Acc_X and pitch follow the row; the
// quaternions turn by pi about Z, Y and X in the last three.
const QByteArray driveLog = [] {
    QByteArray log = "Timestamp,Acc_X,Acc_Y,Acc_Z,Mag_X,Mag_Y,Mag_Z,Gyr_X,Gyr_Y,Gyr_Z,Quat_W,"
                     "Quat_X,Quat_Y,Quat_Z,EulerAngle_X,EulerAngle_Y,EulerAngle_Z\n";
    const char *rows[][3] = { { "0.5", "1", "1,0,0,0" }, { "0.52", "2", "1,0,0,0" },
        { "0.54", "3", "0,0,0,1" }, { "0.1", "4", "0,0,1,0" }, { "0.12", "5", "0,1,0,0" } };
    for (const auto &row : rows)
        log += QByteArray(row[0]) + ',' + row[1] + ",0,0,0,0,0,0,0,0," + row[2] + ',' + row[1]
            + "0,0,0\n";
    return log;
}();

// The window with that title.
template <typename Window = QWidget> Window *windowTitled(const QString &title)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->windowTitle() == title)
            return qobject_cast<Window *>(w);
    }
    return nullptr;
}

class TestMainView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void actionsFollowTheLinkState_data();
    void actionsFollowTheLinkState();
    void eachChartShowsItsOwnQuantity_data();
    void eachChartShowsItsOwnQuantity();
    void menuCommandsReachTheWire();
    void noticesNeverOutliveTheWindow();
    void sampleQualityReachesTheNotices();
    void pauseHoldsTheViewsWhileTheDataGoesOn();
    void recordingPlaysSeeksAndSteps();
    void failedOpenSaysWhy_data();
    void failedOpenSaysWhy();
    void choicesAreThereAtTheNextStart();

private:
    MainView *window = nullptr;
    std::unique_ptr<QTemporaryDir> settingsDir;
};

void TestMainView::init()
{
    settingsDir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir->path());
    (window = new MainView)->show();
}

void TestMainView::cleanup()
{
    window->close();
    delete window;
}

void TestMainView::actionsFollowTheLinkState_data()
{
    // Worker reports ("open", "awaiting", "gone", "ahrs", "imu", or a
    // version text), actions chosen by their text, "file" (the next save
    // dialog gets a new file), "drop" (the link drops at the next event, in
    // the dialog that comes; the boxes after it are closed), "ble twice" (the
    // module's BLE notice comes again while its box is up), "update" (the
    // user agrees to a firmware update).
    QTest::addColumn<QStringList>("steps");
    // Per action in menu order: E enabled, D disabled, - hidden, in lower
    // case when checked; then the text of each box closed, after a '|'.
    QTest::addColumn<QString>("states");

    const QStringList connected { "Not Connected", "open", "1.2.3" };
    const QStringList paused = connected + QStringList { "Pause Live View" };
    const QStringList ahrs = connected + QStringList { "ahrs" };
    const QStringList recording = ahrs + QStringList { "file", "&Start Saving Log" };
    const QString disconnected = "E-DDDDDDDDDD-E-EDDDE";
    const QString bleNotice = "|Notice: One connection at a time.\n"
                              "Mobile App Connected. PC Tool Stopped.";
    QTest::newRow("disconnected") << QStringList() << disconnected;
    QTest::newRow("port open") << QStringList { "Not Connected", "open" } << "-EDDDDDDDDDD-D-EDDDE";
    QTest::newRow("connected") << connected << "-EEEEEEEEEEE-D-EEEDE";
    QTest::newRow("connected, AHRS") << ahrs << "-EEEEEEEEEEE-D-EEEEE";
    QTest::newRow("AHRS then IMU") << ahrs + QStringList { "imu" } << "-EEEEEEEEEEE-D-EEEDE";
    QTest::newRow("recording") << recording << "-EEEEEEEEEE-ED-EEEEE";
    QTest::newRow("port vanished, the tool waits for it, still paused")
        << paused + QStringList { "Not Connected", "awaiting" } << "-EDDDDDDDDeD-D-EDDDE";
    QTest::newRow("port gone for good ends the pause")
        << paused + QStringList { "Not Connected", "awaiting", "gone" } << "-EDDDDDDDDDD-D-EDDDE";
    QTest::newRow("paused through the re-open after a silence")
        << paused + connected << "-EEEEEEEEEeE-D-EEEDE";
    QTest::newRow("Disconnect ends the pause")
        << paused + QStringList { "&Disconnect" } << disconnected;
    QTest::newRow("the update ends the pause") << paused + QStringList { "update" }
                                               << "-EEEEEEEEEEE-D-EEEDE|Do you wish to update the "
                                                  "firmware?";
    QTest::newRow("version reply overtaken by Disconnect")
        << connected + QStringList { "&Disconnect", "2.0.0" } << disconnected;
    QTest::newRow("log confirmed after the link dropped")
        << connected + QStringList { "file", "drop", "&Start Saving Log" }
        << disconnected + "|Not Connected. The log was not started.";
    QTest::newRow("BLE notice, repeated while shown, ends the pause")
        << paused + QStringList { "ble twice" } << disconnected + bleNotice;
    QTest::newRow("Not Connected inside a longer text")
        << connected + QStringList { "Port: Not Connected (lost)" } << disconnected;
    QTest::newRow("not connected in lower case")
        << connected + QStringList { "not connected" } << "-EEEEEEEEEEE-D-EEEDE";
    QTest::newRow("playing a recording") << QStringList { "play" } << "D-DDEEEEEEDD-EEDDDDE";
    QTest::newRow("closing it") << QStringList { "play", "Close Recording" } << disconnected;
    QTest::newRow("connecting from the dialog ends the playing")
        << QStringList { "play", "Not Connected", "open" } << "-EDDDDDDDDDD-D-EDDDE";
}

void TestMainView::actionsFollowTheLinkState()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, states);

    Task *worker = window->deviceWorker();
    QTemporaryDir dir;
    const auto notices = std::make_shared<QString>(); // outlives a box that never came
    const auto closeNotices = [notices](QWidget *) {
        for (QWidget *box; (box = QApplication::activeModalWidget()); box->close())
            *notices += '|' + box->property("text").toString();
    };
    for (const QString &step : steps) {
        if (step == "open")
            emit worker->sendShowSerialdis();
        else if (step == "awaiting")
            emit worker->sendAwaitingPort();
        else if (step == "gone")
            emit worker->sendPortGoneForGood();
        else if (step == "ahrs" || step == "imu")
            emit worker->sendIsAHRS(step == "ahrs");
        else if (step == "file")
            chooseFileInNextDialog(dir.filePath("run.csv"));
        else if (step == "drop") {
            QTimer::singleShot(0, worker, [worker] { emit worker->sendVersion("Not Connected"); });
            onNextModal(closeNotices);
        } else if (step == "ble twice") { // the second at the next event, in the first's box
            QTimer::singleShot(0, worker, &Task::sendAlertDisconnectByBLE);
            onNextModal(closeNotices);
            emit worker->sendAlertDisconnectByBLE();
        } else if (step == "update") {
            onNextModal([notices](QWidget *box) {
                *notices += '|' + box->property("text").toString();
                static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click();
            });
            findAction(window, "&Device Firmware Update")->trigger();
        } else if (step == "play") {
            QVERIFY(writeFile(dir.filePath("drive.csv"), driveLog));
            QVERIFY(window->openRecordingFile(dir.filePath("drive.csv")));
        } else if (QAction *action = findAction(window, step))
            action->trigger();
        else
            emit worker->sendVersion(step);
    }
    QString shown;
    for (const char *text : actionTexts) {
        QAction *action = findAction(window, text);
        QVERIFY2(action, text);
        const QChar state = !action->isVisible() ? '-' : action->isEnabled() ? 'E' : 'D';
        shown += action->isChecked() ? state.toLower() : state;
    }
    QCOMPARE(shown + *notices, states);
}

void TestMainView::eachChartShowsItsOwnQuantity_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("seriesNames");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<double>("limit");

    const QStringList xyz { "X", "Y", "Z" };
    QTest::newRow("accelerometer") << "Accelerometer Data" << xyz << "m/s^2" << 50.0;
    QTest::newRow("magnetometer") << "Magnetometer Data" << xyz << "\u03bcT" << 1600.0;
    QTest::newRow("gyroscope") << "Gyroscope Data" << xyz << "dps" << 1000.0;
    QTest::newRow("Euler angles") << "Euler Angle Data" << QStringList { "Pitch", "Roll", "Yaw" }
                                  << "degrees" << 180.0;
}

void TestMainView::eachChartShowsItsOwnQuantity()
{
    QFETCH(QString, title);
    QFETCH(QStringList, seriesNames);
    QFETCH(QString, unit);
    QFETCH(double, limit);

    ChartView *chart = windowTitled<ChartView>(title);
    QVERIFY(chart);
    QCOMPARE(chart->axisTitle(), unit);
    QCOMPARE(chart->shownHalfSpan(), limit);
    QCOMPARE(chart->traceNames(), seriesNames);

    zel::SensorSample sample;
    sample.acc = { 5, 10, 15 };
    sample.mag = { 160, 320, 480 };
    sample.gyr = { 100, 200, 300 };
    sample.euler = { 18, 36, 54 };
    emit window->deviceWorker()->sendSamples({ sample });
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(chart->shownTraces().points(i).size(), 2);
        QCOMPARE(chart->shownTraces().points(i).at(1).y(), limit / 10 * (i + 1));
    }
}

void TestMainView::menuCommandsReachTheWire()
{
    PtyPair module;
    window->deviceWorker()->serialInit(module.slavePath(), 115200, true);
    emit window->deviceWorker()->sendVersion("1.2.3"); // the module has answered
    QByteArray wire;
    findAction(window, "&Reboot the Device")->trigger();
    QTRY_VERIFY((wire += module.readAvailable()).contains(frames::rebootCommand));
    findAction(window, "&Reset to Default")->trigger();
    QTRY_VERIFY((wire += module.readAvailable()).contains(frames::resetCommand));
}

void TestMainView::noticesNeverOutliveTheWindow()
{
    // Its minute up, the identify notice closes and goes.
    window->identifyInfo();
    QPointer<QWidget> identify = QApplication::activeModalWidget();
    QVERIFY(identify && identify->windowTitle() == "Identify");
    QMetaObject::invokeMethod(identify->findChild<QTimer *>(), "timeout");
    QTRY_VERIFY(!identify);

    // A calibration notice shown again outlasts the first showing's timer.
    window->magCalibrateInfo();
    QWidget *calibration = QApplication::activeModalWidget();
    QPointer<QTimer> firstTimer = calibration->findChild<QTimer *>();
    window->magCalibrateInfo();
    QMetaObject::invokeMethod(firstTimer, "timeout"); // if it is still there
    QVERIFY(calibration->isVisible());
    QMetaObject::invokeMethod(calibration->findChild<QTimer *>(), "timeout");
    QVERIFY(!calibration->isVisible());

    // Closing the window closes every notice, so the application can quit.
    window->identifyInfo();
    window->close();
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
}

// Poor frames leave the low-quality notice up and do not count toward the
// calibration; the twelfth good frame since its start completes it.
void TestMainView::sampleQualityReachesTheNotices()
{
    zel::SensorSample poor, good;
    poor.qualityStatus = 1;
    good.qualityStatus = 2;
    window->alertPoorQuality();
    window->magCalibrateInfo();
    auto *lowQuality = windowTitled("Low Quality");
    auto *success = windowTitled("Mag Calibration Success");
    emit window->deviceWorker()->sendSamples(zel::SensorSamples(20, poor));
    QVERIFY(lowQuality->isVisible() && !success->isVisible());
    emit window->deviceWorker()->sendSamples(zel::SensorSamples(11, good));
    QVERIFY(!lowQuality->isVisible() && !success->isVisible());
    emit window->deviceWorker()->sendSamples({ poor, good });
    QVERIFY(success->isVisible());
}

// Samples 4 to 6 come while the view is paused; the user's Disconnect ends
// the pause.
void TestMainView::pauseHoldsTheViewsWhileTheDataGoesOn()
{
    Task *worker = window->deviceWorker();
    emit worker->sendShowSerialdis();
    emit worker->sendVersion("1.2.3");
    ChartView *chart = windowTitled<ChartView>("Accelerometer Data");
    auto *console = window->findChild<QPlainTextEdit *>("plainTextEdit");
    zel::SensorSample sample;
    const auto send = [&](int first, int last) {
        for (int k = first; k <= last; ++k) {
            sample.acc[0] = float(k);
            emit worker->sendSamples({ sample });
            emit worker->signalLogMessage(QString("Sensors %1").arg(k));
        }
        QCoreApplication::processEvents(); // the redraws those samples asked for
    };
    send(1, 3);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(console, Qt::Key_Space); // the console has the focus
    QVERIFY(window->findChild<QWidget *>("pausedLabel")->isVisible());
    const QVector<QPointF> shown = chart->shownTraces().points(0);
    send(4, 6);
    QCOMPARE(chart->shownTraces().points(0), shown);

    findAction(window, "&Disconnect")->trigger();
    QCOMPARE(chart->shownTraces().points(0).size(), 7);
    QCOMPARE(chart->shownTraces().points(0).at(6).y(), 6.0);
    QCOMPARE(
        console->toPlainText(), "Sensors 1\nSensors 2\nSensors 3\nSensors 4\nSensors 5\nSensors 6");
}

// Each view shows the row the recording is at: the chart its minute up to
// there, the cube that row's attitude and the console its lines.
void TestMainView::recordingPlaysSeeksAndSteps()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("drive.csv"), driveLog));
    ChartView *chart = windowTitled<ChartView>("Accelerometer Data");
    CubeView *cube = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        cube = qobject_cast<CubeView *>(w) ? qobject_cast<CubeView *>(w) : cube;
    auto *console = window->findChild<QPlainTextEdit *>("plainTextEdit");
    auto *position = window->findChild<QLabel *>("linkStatus");
    const float pi = float(M_PI);
    const auto shows = [&](int samples, QVector4D attitude, const QString &lastLine) {
        QCOMPARE(chart->history().size(), samples);
        QCOMPARE(chart->shownTraces().points(0).last().y(), double(lastLine.at(26).digitValue()));
        const zel::AngleAxis shown = cube->shownOrientation();
        QCOMPARE(QVector4D(shown.angle, shown.x, shown.y, shown.z), attitude);
        QTRY_COMPARE(console->toPlainText().section('\n', -1), lastLine);
    };

    QVERIFY(window->openRecordingFile(dir.filePath("drive.csv")));
    QCOMPARE(position->text(), "drive.csv  00:00.000 / 00:00.060");
    shows(1, { 0, 0, 0, 1 }, "00:00:00.000 Euler Angles 10.000000, 0.000000, 0.000000");
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(console, Qt::Key_Space);
    QTRY_COMPARE(position->text(), "drive.csv  00:00.060 / 00:00.060");
    shows(2, { pi, 1, 0, 0 }, "00:00:00.060 Euler Angles 50.000000, 0.000000, 0.000000");

    window->findChild<QSlider *>("seekSlider")->setValue(30);
    QCOMPARE(position->text(), "drive.csv  00:00.040 / 00:00.060");
    shows(3, { pi, 0, 0, 1 }, "00:00:00.040 Euler Angles 30.000000, 0.000000, 0.000000");
    QTest::keyClick(console, Qt::Key_Right);
    shows(1, { pi, 0, 1, 0 }, "00:00:00.040 Euler Angles 40.000000, 0.000000, 0.000000");
    QTest::keyClick(console, Qt::Key_Left);
    shows(3, { pi, 0, 0, 1 }, "00:00:00.040 Euler Angles 30.000000, 0.000000, 0.000000");
}

void TestMainView::failedOpenSaysWhy_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("text");
    QTest::newRow("no such port") << "missing"
                                  << "Cannot open /nonexistent/ttyZEL: No such file or directory.";
    QTest::newRow("held by another program")
        << "busy"
        << "Cannot open PORT: Permission error while locking the device.\n"
           "Another program holds the port. Close it and connect again.";
    QTest::newRow("user outside the port's group")
        << "denied"
        << "Cannot open PORT: Permission denied.\nYour user may not use the port. Add it to the "
           "group that owns the device (dialout), then log in again.";
}

void TestMainView::failedOpenSaysWhy()
{
    QFETCH(QString, cause);
    QFETCH(QString, text);
    PtyPair module;
    QString port = module.slavePath();
    QSerialPort otherProgram(port);
    if (cause == "missing") {
        port = "/nonexistent/ttyZEL";
    } else if (cause == "busy") {
        QVERIFY(otherProgram.open(QIODevice::ReadWrite));
    } else {
        // As a serial adapter's device file, and a user outside its group.
        if (geteuid() != 0)
            QSKIP("only root can act as another user");
        const group *dialout = getgrnam("dialout");
        const QByteArray file = QFile::encodeName(port);
        QVERIFY(dialout && chown(file, 0, dialout->gr_gid) == 0 && chmod(file, 0660) == 0);
        QCOMPARE(setresuid(65534, 65534, 0), 0); // "nobody", able to come back
    }
    const auto shown = std::make_shared<QString>(); // outlives a box that never came
    onNextModal([shown](QWidget *box) {
        *shown = box->property("text").toString();
        box->close();
    });
    window->deviceWorker()->serialInit(port, 115200, true);
    if (cause == "denied")
        QCOMPARE(setresuid(0, 0, 0), 0);
    QCOMPARE(*shown, text.replace("PORT", port));
}

// The port and rate, the window's place, the open graphs and the log folder;
// a corrupt settings file gives the defaults.
void TestMainView::choicesAreThereAtTheNextStart()
{
    PtyPair module;
    qputenv("ZEL_EXTRA_PORTS", module.slavePath().toLocal8Bit()); // present, not marked
    const auto reopen = [this](const QByteArray &corruptSettings = QByteArray()) {
        window->close();
        delete window;
        if (!corruptSettings.isEmpty())
            writeFile(QSettings().fileName(), corruptSettings);
        (window = new MainView)->show();
        emit window->deviceWorker()->sendShowSerialdis();
        emit window->deviceWorker()->sendVersion("1.2.3");
        return window->findChild<QMainWindow *>("ConnectionView");
    };
    QMainWindow *dialog = reopen();
    QTemporaryDir logs;
    chooseFileInNextDialog(logs.filePath("run.csv"));
    findAction(window, "&Start Saving Log")->trigger();
    window->showCubeView();
    window->showGyrChart();
    window->setGeometry(40, 50, 900, 500);
    dialog->findChild<QComboBox *>("comboBox")->setCurrentText(module.slavePath());
    dialog->findChild<QComboBox *>("comboBox_2")->setCurrentText("921600");
    dialog->findChild<QPushButton *>("pushButton_2")->click();
    const QByteArray geometry = window->saveGeometry();
    const auto openWindows = [] {
        QStringList open;
        for (QWidget *w : QApplication::topLevelWidgets())
            open << (w->isVisible() ? w->metaObject()->className() + w->windowTitle() : "");
        return open.sort(), open.filter("View");
    };

    dialog = reopen();
    QCOMPARE(dialog->findChild<QComboBox *>("comboBox")->currentText(), module.slavePath());
    QCOMPARE(dialog->findChild<QComboBox *>("comboBox_2")->currentText(), "921600");
    QCOMPARE(window->saveGeometry(), geometry);
    QCOMPARE(openWindows(),
        QStringList({ "ChartViewGyroscope Data", "ConnectionViewConnection", "CubeView",
            "MainViewOrvix ZEL Tool" }));
    chooseFileInNextDialog("next.csv"); // in the folder the dialog opens in
    findAction(window, "&Start Saving Log")->trigger();
    QVERIFY(QFile::exists(logs.filePath("next.csv")));

    dialog = reopen("[window]\ngeometry=@ByteArray(\xff)\nopenGraphs=@Variant(\xff\n[[\xfe");
    QCOMPARE(dialog->findChild<QComboBox *>("comboBox_2")->currentText(), "115200");
    QCOMPARE(openWindows(), QStringList({ "ConnectionViewConnection", "MainViewOrvix ZEL Tool" }));
    qunsetenv("ZEL_EXTRA_PORTS");
}

QTEST_MAIN(TestMainView)
#include "tst_mainview.moc"
