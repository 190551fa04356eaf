// The main window under a real X server: the state of every action as the
// link changes, which chart shows which quantity, and menu commands reaching
// a module played on a pseudo-terminal.

#include "chartview.h"
#include "mainwindows.h"
#include "moduleframes.h"
#include "ptypair.h"
#include "task.h"
#include "uihelpers.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The 18 actions in menu order.
const char *const actionTexts[]
    = { "&Connect", "&Disconnect", "&Reset to Default", "&Reboot the Device", "&3D View",
          "&Accelerometer", "&Magnetometer", "&Gyroscope", "&Euler Angle", "&Open/Close All Graphs",
          "Pause Live View", "&Start Saving Log", "&Stop Saving Log", "&Device Firmware Update",
          "Device Config", "Identify The Device", "Mag Calibration", "&Version" };

// The chart window with that title.
ChartView *chartTitled(const QString &title)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->windowTitle() == title)
            return qobject_cast<ChartView *>(w);
    }
    return nullptr;
}

} // namespace

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
    void menuCommandsReachTheWire_data();
    void menuCommandsReachTheWire();
    void pauseHoldsTheViewsWhileTheDataGoesOn();

private:
    MainView *window = nullptr;
};

void TestMainView::init()
{
    window = new MainView;
    window->show();
}

void TestMainView::cleanup()
{
    window->close();
    delete window;
}

void TestMainView::actionsFollowTheLinkState_data()
{
    // Worker reports ("open", "ahrs", "imu", or a version text), actions
    // chosen by their text, "file" (the next save dialog gets a new file).
    QTest::addColumn<QStringList>("steps");
    // Per action in menu order: E enabled, D disabled, - hidden.
    QTest::addColumn<QString>("states");

    const QStringList connected { "Not Connected", "open", "1.2.3" };
    const QStringList ahrs = connected + QStringList { "ahrs" };
    const QStringList recording = ahrs + QStringList { "file", "&Start Saving Log" };
    const QString disconnected = "E-DDDDDDDDDD-EDDDE";
    QTest::newRow("disconnected") << QStringList() << disconnected;
    QTest::newRow("port open") << QStringList { "Not Connected", "open" } << "-EDDDDDDDDDD-EDDDE";
    QTest::newRow("connected") << connected << "-EEEEEEEEEEE-EEEDE";
    QTest::newRow("connected, AHRS") << ahrs << "-EEEEEEEEEEE-EEEEE";
    QTest::newRow("AHRS then IMU") << ahrs + QStringList { "imu" } << "-EEEEEEEEEEE-EEEDE";
    QTest::newRow("recording") << recording << "-EEEEEEEEEE-EEEEEE";
    QTest::newRow("recording, then the port closed")
        << recording + QStringList { "Not Connected" } << disconnected;
    QTest::newRow("Disconnect chosen") << ahrs + QStringList { "&Disconnect" } << disconnected;
    QTest::newRow("Not Connected inside a longer text")
        << connected + QStringList { "Port: Not Connected (lost)" } << disconnected;
    QTest::newRow("not connected in lower case")
        << connected + QStringList { "not connected" } << "-EEEEEEEEEEE-EEEDE";
}

void TestMainView::actionsFollowTheLinkState()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, states);

    Task *worker = window->deviceWorker();
    QTemporaryDir dir;
    for (const QString &step : steps) {
        if (step == "open")
            emit worker->sendShowSerialdis();
        else if (step == "ahrs" || step == "imu")
            emit worker->sendIsAHRS(step == "ahrs");
        else if (step == "file")
            chooseFileInNextDialog(dir.filePath("run.csv"));
        else if (step.startsWith('&'))
            findAction(window, step)->trigger();
        else
            emit worker->sendVersion(step);
    }
    QString shown;
    for (const char *text : actionTexts) {
        QAction *action = findAction(window, text);
        QVERIFY2(action, text);
        shown += !action->isVisible() ? '-' : action->isEnabled() ? 'E' : 'D';
    }
    QCOMPARE(shown, states);
}

void TestMainView::eachChartShowsItsOwnQuantity_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("seriesNames");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<double>("limit");
    QTest::addColumn<float>("firstValue"); // of the three its quantity carries below

    const QStringList xyz { "X", "Y", "Z" };
    QTest::newRow("accelerometer") << "Accelerometer Data" << xyz << "m/s^2" << 50.0 << 1.0f;
    QTest::newRow("magnetometer") << "Magnetometer Data" << xyz << "\u03bcT" << 1600.0 << 11.0f;
    QTest::newRow("gyroscope") << "Gyroscope Data" << xyz << "dps" << 1000.0 << 21.0f;
    QTest::newRow("Euler angles") << "Euler Angle Data" << QStringList { "Pitch", "Roll", "Yaw" }
                                  << "degrees" << 180.0 << 31.0f;
}

void TestMainView::eachChartShowsItsOwnQuantity()
{
    QFETCH(QString, title);
    QFETCH(QStringList, seriesNames);
    QFETCH(QString, unit);
    QFETCH(double, limit);
    QFETCH(float, firstValue);

    ChartView *chart = chartTitled(title);
    QVERIFY(chart);
    QCOMPARE(chart->axisY->titleText(), unit);
    QCOMPARE(chart->axisY->min(), -limit);
    QCOMPARE(chart->axisY->max(), limit);

    Task *worker = window->deviceWorker();
    emit worker->sendAcc(1, 2, 3);
    emit worker->sendMag(11, 12, 13);
    emit worker->sendGyr(21, 22, 23);
    emit worker->sendEul(31, 32, 33);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(chart->series[i]->name(), seriesNames[i]);
        QTRY_COMPARE(chart->series[i]->count(), 2);
        QCOMPARE(chart->series[i]->at(1).y(), double(firstValue + i));
    }
}

void TestMainView::menuCommandsReachTheWire_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("reset") << "&Reset to Default" << frames::resetCommand;
    QTest::newRow("reboot") << "&Reboot the Device" << frames::rebootCommand;
}

void TestMainView::menuCommandsReachTheWire()
{
    QFETCH(QString, action);
    QFETCH(QByteArray, command);

    // Connect through the dialog, to the pty at 921600.
    PtyPair module;
    QVERIFY(module.isValid());
    auto *dialog = window->findChild<QMainWindow *>("ConnectionView");
    QVERIFY(dialog);
    qputenv("ZEL_EXTRA_PORTS", module.slavePath().toLocal8Bit());
    dialog->findChild<QPushButton *>("pushButton")->click();
    qunsetenv("ZEL_EXTRA_PORTS");
    auto *ports = dialog->findChild<QComboBox *>("comboBox");
    ports->setCurrentIndex(ports->findText(module.slavePath()));
    QVERIFY(ports->currentIndex() >= 0);
    dialog->findChild<QComboBox *>("comboBox_2")->setCurrentText("921600");
    dialog->findChild<QPushButton *>("pushButton_2")->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(module.hostBaudRate(), 921600);

    QByteArray wire;
    QTRY_VERIFY_WITH_TIMEOUT(
        (wire += module.readAvailable()).contains(frames::versionRequest), 10000);
    QVERIFY(module.write(frames::longVersionReply));
    QAction *menuAction = findAction(window, action);
    QTRY_VERIFY_WITH_TIMEOUT(menuAction->isEnabled(), 10000);
    wire.clear();
    menuAction->trigger();
    QTRY_VERIFY_WITH_TIMEOUT((wire += module.readAvailable()).contains(command), 10000);
}

// Samples 4 to 6 come while the view is paused; the pause ends with the link.
void TestMainView::pauseHoldsTheViewsWhileTheDataGoesOn()
{
    Task *worker = window->deviceWorker();
    emit worker->sendVersion("1.2.3");
    ChartView *chart = chartTitled("Accelerometer Data");
    auto *console = window->findChild<QPlainTextEdit *>("plainTextEdit");
    const auto send = [&](int first, int last) {
        for (int k = first; k <= last; ++k) {
            emit worker->sendAcc(k, 0, 0);
            emit worker->signalLogMessage(QString("Sensors %1").arg(k));
        }
        QCoreApplication::processEvents(); // the redraws those samples asked for
    };
    send(1, 3);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(console, Qt::Key_Space); // the console has the focus
    QVERIFY(window->findChild<QWidget *>("pausedLabel")->isVisible());
    const QList<QPointF> shown = chart->series[0]->points();
    const QString text = console->toPlainText();
    send(4, 6);
    QCOMPARE(chart->series[0]->points(), shown);
    QCOMPARE(console->toPlainText(), text);

    findAction(window, "&Disconnect")->trigger();
    QCOMPARE(chart->series[0]->count(), 7);
    QCOMPARE(chart->series[0]->at(6).y(), 6.0);
    QVERIFY(console->toPlainText().endsWith("Sensors 4\nSensors 5\nSensors 6"));
}

QTEST_MAIN(TestMainView)
#include "tst_mainview.moc"
