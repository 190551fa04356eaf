// The whole tool against the module simulator: connecting from the dialog,
// the stream reaching the console and the data log, disconnecting, the BLE
// notice, a port that vanishes and comes back, and closing while recording.

#include "mainwindows.h"
#include "uihelpers.h"
#include "recordcheck.h"
#include "simprocess.h"
#include "task.h"
#include "uarttask.h"
#include "uihelpers.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class TestAppE2E : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void connectStreamRecordAndDisconnect();
    void bleNoticeEndsTheConnection();
    void vanishedPortIsReportedAndReconnectWorks();
    void closingWhileRecordingKeepsEveryRowWhole();

private:
    void startTool(const QStringList &simArguments, const QString &portPath = QString());
    void pressConnect(const QString &baudRate = QStringLiteral("115200"));
    void startRecording(const QString &path);
    QAction *action(const QString &text) const { return findAction(window, text); }
    int samples() const { return sampleCount; }

    SimProcess sim;
    MainView *window = nullptr;
    int sampleCount = 0;
    QTemporaryDir dir;
};

void TestAppE2E::cleanup()
{
    if (window) {
        window->close();
        delete window;
        window = nullptr;
    }
    sim.stop();
    qunsetenv("ZEL_EXTRA_PORTS");
}

void TestAppE2E::startTool(const QStringList &simArguments, const QString &portPath)
{
    QVERIFY(sim.start(simArguments));
    const QString port = portPath.isEmpty() ? sim.portPath() : portPath;
    qputenv("ZEL_EXTRA_PORTS", (port + "=Enhanced module simulator").toLocal8Bit());
    window = new MainView;
    window->show();
    sampleCount = 0;
    connect(window->deviceWorker(), &Task::sendAcc, window, [this] { ++sampleCount; });
    auto *portBox = window->findChild<QComboBox *>("comboBox");
    QCOMPARE(portBox->currentText(), port + " (ZEL)");
}

void TestAppE2E::pressConnect(const QString &baudRate)
{
    auto *connection = window->findChild<QMainWindow *>("ConnectionView");
    connection->show();
    window->findChild<QComboBox *>("comboBox_2")->setCurrentText(baudRate);
    window->findChild<QPushButton *>("pushButton_2")->click();
    QVERIFY(!connection->isVisible());
}

void TestAppE2E::startRecording(const QString &path)
{
    chooseFileInNextDialog(path);
    action("&Start Saving Log")->trigger();
    QVERIFY(action("&Stop Saving Log")->isVisible());
}

void TestAppE2E::connectStreamRecordAndDisconnect()
{
    const QString simRecord = dir.filePath("sent.bin");
    startTool({ "--odr", "3", "--record", simRecord });
    pressConnect();

    // The version reply enables the device actions; the record's fusion
    // mode (AHRS) enables calibration.
    QTRY_VERIFY_WITH_TIMEOUT(action("Identify The Device")->isEnabled(), 15000);
    QVERIFY(action("&Disconnect")->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(action("Mag Calibration")->isEnabled(), 15000);
    QCOMPARE(
        MainView::currentFirmwareVersion(), "1.2.3\nDev Id: 5A:31:C4:07:9E:12\nProduct Id: QZ0105");

    auto *console = window->findChild<QPlainTextEdit *>("plainTextEdit");
    QTRY_VERIFY_WITH_TIMEOUT(console->document()->blockCount() > 30, 15000);
    QVERIFY(console->toPlainText().contains(" Euler Angles "));

    const QString log = dir.filePath("run.csv");
    startRecording(log);
    const int atStart = samples();
    QTRY_VERIFY_WITH_TIMEOUT(samples() > atStart + 200, 15000);
    action("&Stop Saving Log")->trigger();

    // Disconnect closes the worker's port and the stream stops.
    action("&Disconnect")->trigger();
    QVERIFY(action("&Connect")->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!window->deviceWorker()->port()->isOpen(), 5000);

    const recordcheck::LogContents contents = recordcheck::readLog(log);
    QCOMPARE(contents.header, zel::csvHeader());
    QVERIFY2(contents.rows.size() > 100, qPrintable(QString::number(contents.rows.size())));
    QVERIFY(recordcheck::runStart(recordcheck::expectedRows(simRecord), contents.rows) >= 0);

    // And a new connection from the dialog streams again.
    const int before = samples();
    pressConnect();
    QTRY_VERIFY_WITH_TIMEOUT(samples() > before + 50, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(action("Identify The Device")->isEnabled(), 15000);
}

void TestAppE2E::bleNoticeEndsTheConnection()
{
    startTool({ "--odr", "2" });
    pressConnect();
    QTRY_VERIFY_WITH_TIMEOUT(action("Identify The Device")->isEnabled(), 15000);

    QString title;
    onNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        box->accept();
    });
    sim.control("ble");
    QTRY_COMPARE_WITH_TIMEOUT(title, QStringLiteral("Multiple Connection Detected"), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(action("&Connect")->isVisible(), 5000);
    QVERIFY(!action("Identify The Device")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!window->deviceWorker()->port()->isOpen(), 5000);
}

void TestAppE2E::vanishedPortIsReportedAndReconnectWorks()
{
    const QString link = dir.filePath("ttyZEL");
    startTool({ "--odr", "2", "--link", link, "--reappear-after", "1" }, link);
    pressConnect();
    QTRY_VERIFY_WITH_TIMEOUT(action("Identify The Device")->isEnabled(), 15000);

    sim.control("hangup");
    QVERIFY(!sim.waitForEvent("hangup").isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(action("&Connect")->isVisible(), 15000);
    QVERIFY(!action("Identify The Device")->isEnabled());
    QCOMPARE(MainView::currentFirmwareVersion(), "Not Connected");

    QVERIFY(!sim.waitForEvent("reappear", 15000).isEmpty());
    window->findChild<QPushButton *>("pushButton")->click(); // Search Port
    const int before = samples();
    pressConnect();
    QTRY_VERIFY_WITH_TIMEOUT(samples() > before + 20, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(action("Identify The Device")->isEnabled(), 15000);
}

void TestAppE2E::closingWhileRecordingKeepsEveryRowWhole()
{
    const QString simRecord = dir.filePath("sent.bin");
    startTool({ "--odr", "4", "--baud", "921600", "--record", simRecord });
    pressConnect("921600");
    QTRY_VERIFY_WITH_TIMEOUT(action("Identify The Device")->isEnabled(), 15000);

    const QString log = dir.filePath("fast.csv");
    startRecording(log);
    const int atStart = samples();
    QTRY_VERIFY_WITH_TIMEOUT(samples() > atStart + 1000, 20000);

    // Closing joins the worker: whatever row it was writing is finished.
    window->close();
    delete window;
    window = nullptr;
    sim.stop();

    const recordcheck::LogContents contents = recordcheck::readLog(log);
    QCOMPARE(contents.header, zel::csvHeader());
    QVERIFY(contents.endsWithLineFeed);
    QVERIFY2(contents.rows.size() > 900, qPrintable(QString::number(contents.rows.size())));
    for (const QByteArray &row : contents.rows)
        QCOMPARE(row.count(','), 16);
    QVERIFY(recordcheck::runStart(recordcheck::expectedRows(simRecord), contents.rows) >= 0);
}

QTEST_MAIN(TestAppE2E)
#include "tst_app_e2e.moc"
