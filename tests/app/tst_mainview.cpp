// The main window under a real X server: its start state, the connection
// states the worker's reports drive, recording, the notices and the console.

#include "chartview.h"
#include "cubeview.h"
#include "mainwindows.h"
#include "uihelpers.h"
#include "task.h"
#include "uihelpers.h"

#include <QAbstractButton>
#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QtTest>

class TestMainView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // First: the firmware version lives as long as the program.
    void versionBoxBeforeAnyConnection();
    void startsWithOnlyTheAlwaysAvailableActions();
    void connectionStatesFollowTheWorker();
    void notConnectedCountsOnlyLiterally_data();
    void notConnectedCountsOnlyLiterally();
    void fusionModeGatesCalibration();
    void disconnectAsksTheWorkerOnce();
    void graphWindowsToggle();
    void recordingStartsOnlyWithAFile();
    void disconnectionEndsARecording();
    void calibrationNoticeComesWithTheTwelfthGoodSample();
    void goodQualityClosesTheLowQualityNotice();
    void identifyShowsAFreshNoticeEachTime();
    void bleAlertDisconnects();
    void firmwareUpdateQuestion_data();
    void firmwareUpdateQuestion();
    void firmwareUpdateOutcomes_data();
    void firmwareUpdateOutcomes();
    void consoleKeepsTheLastThousandLines();
    void closingWithoutConnectingEndsAtOnce();

private:
    QAction *action(const QString &text) const { return findAction(window, text); }
    QStringList enabledActions() const;
    static QMessageBox *visibleBox(const QString &title);
    static QList<QWidget *> graphWindows();
    void connectAndIdentify();

    MainView *window = nullptr;
    Task *worker = nullptr;
};

void TestMainView::init()
{
    window = new MainView;
    window->show();
    worker = window->deviceWorker();
}

void TestMainView::cleanup()
{
    window->close();
    delete window;
    window = nullptr;
}

QStringList TestMainView::enabledActions() const
{
    QStringList texts;
    const auto actions = window->findChildren<QAction *>();
    for (QAction *a : actions) {
        if (a->isEnabled() && a->isVisible() && !a->text().isEmpty() && !a->menu())
            texts.append(a->text());
    }
    texts.sort();
    return texts;
}

QMessageBox *TestMainView::visibleBox(const QString &title)
{
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget *w : widgets) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (box && box->isVisible() && box->windowTitle() == title)
            return box;
    }
    return nullptr;
}

QList<QWidget *> TestMainView::graphWindows()
{
    // The cube first, then the charts in the order the Graphs menu lists them.
    QList<QWidget *> windows;
    QMap<QString, QWidget *> charts;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<CubeView *>(w))
            windows.prepend(w);
        else if (qobject_cast<ChartView *>(w))
            charts.insert(w->windowTitle(), w);
    }
    for (const char *title :
        { "Accelerometer Data", "Magnetometer Data", "Gyroscope Data", "Euler Angle Data" })
        windows.append(charts.value(title));
    return windows;
}

void TestMainView::connectAndIdentify()
{
    emit worker->sendVersion(QStringLiteral("Not Connected"));
    emit worker->sendShowSerialdis();
    emit worker->sendVersion(QStringLiteral("1.2.3"));
}

void TestMainView::startsWithOnlyTheAlwaysAvailableActions()
{
    auto *connection = window->findChild<QMainWindow *>(QStringLiteral("ConnectionView"));
    QVERIFY(connection);
    QVERIFY(connection->isVisible());
    auto *config = window->findChild<QMainWindow *>(QStringLiteral("DataCtrlView"));
    QVERIFY(config);
    QVERIFY(!config->isVisible());
    QCOMPARE(window->windowTitle(), "Orvix ZEL Tool");

    const QList<QWidget *> graphs = graphWindows();
    QCOMPARE(graphs.size(), 5);
    for (QWidget *w : graphs) {
        QVERIFY(w);
        QVERIFY(!w->isVisible());
    }

    QVERIFY(!action("&Disconnect")->isVisible());
    QVERIFY(!action("&Stop Saving Log")->isVisible());
    const QStringList expected { "&Connect", "&Device Firmware Update", "&Version" };
    QCOMPARE(enabledActions(), expected);
    auto *dfu = window->findChild<QMainWindow *>(QStringLiteral("DfuView"));
    QVERIFY(dfu);
    QVERIFY(!dfu->isVisible());
    QCOMPARE(MainView::currentFirmwareVersion(), "Not Connected");
}

void TestMainView::connectionStatesFollowTheWorker()
{
    // Port open: Disconnect offered, device actions still off.
    emit worker->sendVersion(QStringLiteral("Not Connected"));
    emit worker->sendShowSerialdis();
    QVERIFY(!action("&Connect")->isVisible());
    QVERIFY(action("&Disconnect")->isVisible());
    QVERIFY(!action("Identify The Device")->isEnabled());

    // Connected: the device actions but calibration.
    emit worker->sendVersion(QStringLiteral("1.2.3"));
    for (const char *text : { "&Reset to Default", "&Reboot the Device", "&Start Saving Log",
             "Device Config", "Identify The Device" })
        QVERIFY2(action(text)->isEnabled(), text);
    QVERIFY(!action("Mag Calibration")->isEnabled());
    QCOMPARE(MainView::currentFirmwareVersion(), "1.2.3");

    // The worker's report of a closed port: back to the start.
    emit worker->sendVersion(QStringLiteral("Not Connected"));
    QVERIFY(action("&Connect")->isVisible());
    QVERIFY(!action("&Disconnect")->isVisible());
    QVERIFY(!action("Identify The Device")->isEnabled());
}

void TestMainView::notConnectedCountsOnlyLiterally_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("disconnected");
    QTest::newRow("inside a longer text") << "Port: Not Connected (lost)" << true;
    QTest::newRow("lower case") << "not connected" << false;
    QTest::newRow("empty") << "" << false;
}

void TestMainView::notConnectedCountsOnlyLiterally()
{
    QFETCH(QString, text);
    QFETCH(bool, disconnected);
    connectAndIdentify();
    emit worker->sendVersion(text);
    QCOMPARE(action("Identify The Device")->isEnabled(), !disconnected);
    QCOMPARE(action("&Connect")->isVisible(), disconnected);
}

void TestMainView::fusionModeGatesCalibration()
{
    connectAndIdentify();
    emit worker->sendIsAHRS(true);
    QVERIFY(action("Mag Calibration")->isEnabled());
    emit worker->sendIsAHRS(false);
    QVERIFY(!action("Mag Calibration")->isEnabled());
    QVERIFY(action("Identify The Device")->isEnabled());
}

void TestMainView::disconnectAsksTheWorkerOnce()
{
    connectAndIdentify();
    QSignalSpy stops(window, &MainView::proxyStopSerialPort);
    action("&Disconnect")->trigger();
    QCOMPARE(stops.count(), 1);
    QVERIFY(action("&Connect")->isVisible());
    QVERIFY(!action("&Reset to Default")->isEnabled());
}

void TestMainView::graphWindowsToggle()
{
    connectAndIdentify();
    const QList<QWidget *> graphs = graphWindows();
    action("&Magnetometer")->trigger();
    QVERIFY(graphs[2]->isVisible());
    QCOMPARE(graphs[2]->windowTitle(), "Magnetometer Data");

    // One open: all close.
    action("&Open/Close All Graphs")->trigger();
    for (QWidget *w : graphs)
        QVERIFY(!w->isVisible());
    // None open: all open.
    action("&Open/Close All Graphs")->trigger();
    for (QWidget *w : graphs)
        QVERIFY(w->isVisible());

    action("&3D View")->trigger();
    QVERIFY(!graphs[0]->isVisible());

    // A disconnection leaves open graphs open, their actions off.
    emit worker->sendVersion(QStringLiteral("Not Connected"));
    QVERIFY(graphs[1]->isVisible());
    QVERIFY(!action("&Accelerometer")->isEnabled());

    // Closing the main window closes them all.
    window->close();
    for (QWidget *w : graphs)
        QVERIFY(!w->isVisible());
}

void TestMainView::recordingStartsOnlyWithAFile()
{
    connectAndIdentify();
    QSignalSpy starts(window, &MainView::proxySaveLog);

    // Cancelled: nothing changes.
    onNextModal([](QWidget *dialog) { dialog->close(); });
    action("&Start Saving Log")->trigger();
    QCOMPARE(starts.count(), 0);
    QVERIFY(action("&Start Saving Log")->isVisible());

    QTemporaryDir dir;
    const QString path = dir.filePath("run.csv");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content\nmore\n");
    }
    // The file exists, so the dialog asks before replacing it.
    onNextModal([path](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        onNextModal([](QWidget *question) {
            auto *box = qobject_cast<QMessageBox *>(question);
            QVERIFY(box);
            box->button(QMessageBox::Yes)->click();
        });
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        static_cast<QDialog *>(dialog)->accept();
    });
    action("&Start Saving Log")->trigger();
    QCOMPARE(starts.count(), 1);
    QCOMPARE(starts[0][0].toString(), path);
    QVERIFY(!action("&Start Saving Log")->isVisible());
    QVERIFY(action("&Stop Saving Log")->isVisible());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
        QByteArray("Timestamp,Acc_X,Acc_Y,Acc_Z,Mag_X,Mag_Y,Mag_Z,Gyr_X,"
                   "Gyr_Y,Gyr_Z,Quat_W,Quat_X,Quat_Y,Quat_Z,EulerAngle_X,"
                   "EulerAngle_Y,EulerAngle_Z\n"));

    QSignalSpy stopsLog(window, &MainView::proxyStopSaveLog);
    action("&Stop Saving Log")->trigger();
    QCOMPARE(stopsLog.count(), 1);
    QVERIFY(action("&Start Saving Log")->isVisible());
    QVERIFY(!action("&Stop Saving Log")->isVisible());
}

void TestMainView::disconnectionEndsARecording()
{
    connectAndIdentify();
    QTemporaryDir dir;
    const QString path = dir.filePath("run.csv");
    chooseFileInNextDialog(path);
    action("&Start Saving Log")->trigger();
    QVERIFY(action("&Stop Saving Log")->isVisible());

    QSignalSpy stopsLog(window, &MainView::proxyStopSaveLog);
    emit worker->sendVersion(QStringLiteral("Not Connected"));
    QCOMPARE(stopsLog.count(), 1);
    QVERIFY(action("&Start Saving Log")->isVisible());
    QVERIFY(!action("&Stop Saving Log")->isVisible());
}

void TestMainView::calibrationNoticeComesWithTheTwelfthGoodSample()
{
    connectAndIdentify();
    emit worker->sendIsAHRS(true);
    QSignalSpy calibrates(window, &MainView::proxyCalibrateDevice);
    action("Mag Calibration")->trigger();
    QCOMPARE(calibrates.count(), 1);
    QVERIFY(visibleBox("Mag Calibration"));

    for (int i = 0; i < 11; ++i)
        emit worker->sendAlertGoodQuality();
    QVERIFY(!visibleBox("Mag Calibration Success"));
    emit worker->sendAlertGoodQuality();
    QMessageBox *success = visibleBox("Mag Calibration Success");
    QVERIFY(success);
    QCOMPARE(success->text(), "Keep the device steady to calibrate gyroscope.");
    QVERIFY(!visibleBox("Mag Calibration"));
    QTRY_VERIFY_WITH_TIMEOUT(!success->isVisible(), 10000);

    // The calibration is over: more good samples bring nothing.
    for (int i = 0; i < 20; ++i)
        emit worker->sendAlertGoodQuality();
    QVERIFY(!visibleBox("Mag Calibration Success"));
}

void TestMainView::goodQualityClosesTheLowQualityNotice()
{
    emit worker->sendAlertPoorQuality();
    emit worker->sendAlertPoorQuality();
    QMessageBox *low = visibleBox("Low Quality");
    QVERIFY(low);
    QVERIFY(low->text().startsWith("Move to another location\n"));
    int shown = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        shown += (w->isVisible() && w->windowTitle() == "Low Quality");
    QCOMPARE(shown, 1);
    emit worker->sendAlertGoodQuality();
    QVERIFY(!visibleBox("Low Quality"));
}

void TestMainView::identifyShowsAFreshNoticeEachTime()
{
    connectAndIdentify();
    QSignalSpy identifies(window, &MainView::proxyIdentifyDevice);
    action("Identify The Device")->trigger();
    QMessageBox *first = visibleBox("Identify");
    QVERIFY(first);
    QCOMPARE(first->text(), "Status LED will blink in bright blue for 1 minute.");
    first->close();
    action("Identify The Device")->trigger();
    QMessageBox *second = visibleBox("Identify");
    QVERIFY(second);
    QCOMPARE(identifies.count(), 2);
    second->close();
}

void TestMainView::versionBoxBeforeAnyConnection()
{
    QString text;
    QString title;
    onNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        text = box->text();
        title = box->windowTitle();
        box->accept();
    });
    action("&Version")->trigger();
    QCOMPARE(title, "Version");
    QCOMPARE(text, "PC Tool: 1.1.3\r\nFirmware: Not Connected");
}

void TestMainView::bleAlertDisconnects()
{
    connectAndIdentify();
    QSignalSpy stops(window, &MainView::proxyStopSerialPort);
    int stopsBeforeBox = -1;
    QString text;
    onNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        stopsBeforeBox = stops.count();
        text = box->text();
        box->accept();
    });
    emit worker->sendAlertDisconnectByBLE();
    QCOMPARE(stopsBeforeBox, 1);
    QCOMPARE(text, "Notice: One connection at a time.\nMobile App Connected. PC Tool Stopped.");
    QCOMPARE(stops.count(), 2);
    QVERIFY(action("&Connect")->isVisible());
    QVERIFY(!action("Identify The Device")->isEnabled());
}

void TestMainView::firmwareUpdateQuestion_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestMainView::firmwareUpdateQuestion()
{
    QFETCH(bool, yes);
    connectAndIdentify();
    QSignalSpy stops(window, &MainView::proxyStopSerialPort);
    auto *dfu = window->findChild<QMainWindow *>(QStringLiteral("DfuView"));
    bool dfuShownDuringQuestion = false;
    QString question;
    onNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        question = box->text();
        dfuShownDuringQuestion = dfu->isVisible();
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    action("&Device Firmware Update")->trigger();
    QCOMPARE(question, "Do you wish to update the firmware?");
    QVERIFY(dfuShownDuringQuestion);
    QCOMPARE(dfu->isVisible(), yes);
    QCOMPARE(stops.count(), yes ? 1 : 0);
    // The actions stay as they are until the worker reports the closed port.
    QVERIFY(action("Identify The Device")->isEnabled());
}

void TestMainView::firmwareUpdateOutcomes_data()
{
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    QTest::newRow("success") << true << "DFU Success." << int(QMessageBox::Information);
    QTest::newRow("failure") << false << "DFU Failed." << int(QMessageBox::Warning);
}

void TestMainView::firmwareUpdateOutcomes()
{
    QFETCH(bool, success);
    QFETCH(QString, text);
    QFETCH(int, icon);
    QString shownTitle;
    QString shownText;
    int shownIcon = -1;
    onNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        shownTitle = box->windowTitle();
        shownText = box->text();
        shownIcon = int(box->icon());
        box->accept();
    });
    if (success)
        window->dfuSuccess();
    else
        window->dfuFailed();
    QCOMPARE(shownTitle, "Device Firmeare Update");
    QCOMPARE(shownText, text);
    QCOMPARE(shownIcon, icon);
}

void TestMainView::consoleKeepsTheLastThousandLines()
{
    auto *console = window->findChild<QPlainTextEdit *>(QStringLiteral("plainTextEdit"));
    QVERIFY(console);
    emit worker->signalLogMessage(QString());
    QCOMPARE(console->toPlainText(), QString());

    emit worker->signalLogMessage(QStringLiteral("a\nb\nc"));
    QCOMPARE(console->document()->blockCount(), 3);

    for (int i = 0; i < 400; ++i)
        emit worker->signalLogMessage(QStringLiteral("%1-1\n%1-2\n%1-3").arg(i));
    QCOMPARE(console->document()->blockCount(), 1000);
    const QStringList lines = console->toPlainText().split('\n');
    QCOMPARE(lines.size(), 1000);
    QCOMPARE(lines.first(), "66-3");
    QCOMPARE(lines.last(), "399-3");
}

void TestMainView::closingWithoutConnectingEndsAtOnce()
{
    auto *connection = window->findChild<QMainWindow *>(QStringLiteral("ConnectionView"));
    QVERIFY(window->close());
    QVERIFY(!connection->isVisible());
    QVERIFY(!window->isVisible());
}

QTEST_MAIN(TestMainView)
#include "tst_mainview.moc"
