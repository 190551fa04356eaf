// The Device Config window against the module simulator: the module's
// record shows in the boxes, a new rate and baud rate move both ends and the
// stream follows, and disabled output is not taken for a stalled link.

#include "mainwindows.h"
#include "uihelpers.h"
#include "recordcheck.h"
#include "simprocess.h"
#include "task.h"
#include "uihelpers.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QPushButton>
#include <QtTest>

class TestConfigE2E : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void configurationRoundTripsThroughTheModule();

private:
    QAction *action(const QString &text) const { return findAction(window, text); }
    QComboBox *box(const char *name) const { return window->findChild<QComboBox *>(name); }
    QPushButton *configButton(const QString &text) const;
    void recordRows(const QString &path, int rows);

    SimProcess sim;
    MainView *window = nullptr;
    int samples = 0;
    QTemporaryDir dir;
};

void TestConfigE2E::cleanup()
{
    if (window) {
        window->close();
        delete window;
        window = nullptr;
    }
    sim.stop();
    qunsetenv("ZEL_EXTRA_PORTS");
}

QPushButton *TestConfigE2E::configButton(const QString &text) const
{
    auto *config = window->findChild<QMainWindow *>("DataCtrlView");
    const auto buttons = config->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

void TestConfigE2E::recordRows(const QString &path, int rows)
{
    chooseFileInNextDialog(path);
    action("&Start Saving Log")->trigger();
    // Counted in the log itself: when the window lags behind the stream,
    // samples it hears of after the start were decoded before it.
    QTRY_VERIFY_WITH_TIMEOUT(recordcheck::readLog(path).rows.size() > rows, 20000);
    action("&Stop Saving Log")->trigger();
}

void TestConfigE2E::configurationRoundTripsThroughTheModule()
{
    QVERIFY(sim.start({ "--odr", "1" }));
    qputenv("ZEL_EXTRA_PORTS", (sim.portPath() + "=Enhanced module simulator").toLocal8Bit());
    window = new MainView;
    window->show();
    connect(window->deviceWorker(), &Task::sendAcc, window, [this] { ++samples; });
    window->findChild<QPushButton *>("pushButton_2")->click();
    QTRY_VERIFY_WITH_TIMEOUT(action("Device Config")->isEnabled(), 15000);

    // The module's record appears in the boxes.
    box("comboBox_ODR")->setCurrentText("100Hz");
    action("Device Config")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(box("comboBox_ODR")->currentText(), QStringLiteral("25Hz"), 10000);
    QCOMPARE(box("comboBox_axis")->currentText(), "AHRS");
    QCOMPARE(box("comboBox_baud_rate")->currentText(), "115200");
    QCOMPARE(box("comboBox_data")->currentText(), "Enabled");
    QCOMPARE(box("comboBox_ref_mag")->currentText(), "Taipei");

    // 100 Hz at 921600, reference field of Dallas.
    box("comboBox_ODR")->setCurrentText("100Hz");
    box("comboBox_baud_rate")->setCurrentText("921600");
    box("comboBox_ref_mag")->setCurrentText("Dallas");
    configButton("Apply")->click();
    QCOMPARE(sim.waitForEvent("datactrl-write"), "datactrl-write 030001010001 48.53");
    QVERIFY(!sim.waitForEvent("baud 921600").isEmpty());

    // The stream goes on at the new rate: the module's own timestamps are
    // a hundredth of a second apart.
    const QString log = dir.filePath("fast.csv");
    recordRows(log, 100);
    const recordcheck::LogContents contents = recordcheck::readLog(log);
    QVERIFY(contents.rows.size() > 100);
    double previous = contents.rows[0].split(',').first().toDouble();
    for (int i = 1; i < contents.rows.size(); ++i) {
        const double stamp = contents.rows[i].split(',').first().toDouble();
        QVERIFY2(qAbs(stamp - previous - 0.01) < 0.0025,
            qPrintable(QString("%1 then %2").arg(previous).arg(stamp)));
        previous = stamp;
    }

    // A read-back shows the new record.
    box("comboBox_ODR")->setCurrentText("25Hz");
    box("comboBox_ref_mag")->setCurrentText("Taipei");
    QTRY_VERIFY_WITH_TIMEOUT(configButton("Load")->isEnabled(), 5000);
    configButton("Load")->click();
    QTRY_COMPARE_WITH_TIMEOUT(box("comboBox_ODR")->currentText(), QStringLiteral("100Hz"), 10000);
    QCOMPARE(box("comboBox_baud_rate")->currentText(), "921600");
    QCOMPARE(box("comboBox_ref_mag")->currentText(), "Dallas");

    // Output off: the stream stops and the silent port is left alone.
    QTRY_VERIFY_WITH_TIMEOUT(configButton("Apply")->isEnabled(), 5000);
    box("comboBox_data")->setCurrentText("Disabled");
    QSignalSpy versions(window->deviceWorker(), &Task::sendVersion);
    configButton("Apply")->click();
    QCOMPARE(sim.waitForEvent("datactrl-write"), "datactrl-write 030001010000 48.53");
    QTest::qWait(300);
    const int stoppedAt = samples;
    // Three times the silence threshold.
    QTest::qWait(1500);
    QCOMPARE(samples, stoppedAt);
    QCOMPARE(versions.count(), 0);
    QVERIFY(action("&Disconnect")->isVisible());
    QVERIFY(action("Device Config")->isEnabled());
}

QTEST_MAIN(TestConfigE2E)
#include "tst_config_e2e.moc"
