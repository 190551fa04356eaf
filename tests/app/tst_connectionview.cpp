// The connection dialog with pseudo-terminals standing in for the module's
// port, named through ZEL_EXTRA_PORTS as the demo and the tests name them.

#include "connectionview.h"
#include "portlist.h"
#include "ptypair.h"
#include "task.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include <memory>

class TestConnectionView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void entryTextsAndNames_data();
    void entryTextsAndNames();
    void missingExtraPortsAreLeftOut();
    void lastMarkedPortIsPreselected();
    void withoutMarkTheFirstPortStays();
    void connectEmitsThePortAndRateAndHides();

private:
    void offerPorts(const QStringList &descriptions);
    QComboBox *portBox() const { return view->findChild<QComboBox *>("comboBox"); }
    QComboBox *baudBox() const { return view->findChild<QComboBox *>("comboBox_2"); }
    void search() { view->findChild<QPushButton *>("pushButton")->click(); }

    std::vector<std::unique_ptr<PtyPair>> ptys;
    QThread *thread = nullptr;
    Task *worker = nullptr;
    ConnectionView *view = nullptr;
};

void TestConnectionView::init()
{
    thread = new QThread;
    worker = new Task(thread);
    view = new ConnectionView(nullptr, worker);
    view->show();
}

void TestConnectionView::cleanup()
{
    if (thread->isRunning()) {
        QMetaObject::invokeMethod(worker, &Task::stop, Qt::QueuedConnection);
        QVERIFY(thread->wait(10000));
    }
    delete view;
    delete worker;
    delete thread;
    ptys.clear();
    qunsetenv("ZEL_EXTRA_PORTS");
}

void TestConnectionView::offerPorts(const QStringList &descriptions)
{
    QStringList entries;
    for (const QString &description : descriptions) {
        ptys.push_back(std::make_unique<PtyPair>());
        QVERIFY(ptys.back()->isValid());
        entries.append(ptys.back()->slavePath() + "=" + description);
    }
    qputenv("ZEL_EXTRA_PORTS", entries.join(';').toLocal8Bit());
    search();
}

void TestConnectionView::entryTextsAndNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("entry");
    QTest::newRow("module bridge") << "COM7"
                                   << "Silicon Enhanced COM Port"
                                   << "COM7 (ZEL)";
    QTest::newRow("lower case") << "COM8"
                                << "enhanced com port"
                                << "COM8";
    QTest::newRow("other") << "ttyUSB0"
                           << "USB Serial"
                           << "ttyUSB0";
    QTest::newRow("no description") << "/dev/pts/4"
                                    << ""
                                    << "/dev/pts/4";
}

void TestConnectionView::entryTextsAndNames()
{
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(QString, entry);
    QCOMPARE(portEntryText({ name, description }), entry);
    QCOMPARE(portNameFromEntry(entry), name);
}

void TestConnectionView::missingExtraPortsAreLeftOut()
{
    PtyPair pty;
    const QList<SerialPortEntry> ports = parseExtraPorts(
        pty.slavePath() + "=Enhanced Sim;/nonexistent/tty=Enhanced;;" + pty.slavePath());
    QCOMPARE(ports.size(), 2);
    QCOMPARE(ports[0].portName, pty.slavePath());
    QCOMPARE(ports[0].description, "Enhanced Sim");
    QCOMPARE(ports[1].description, QString());
}

void TestConnectionView::lastMarkedPortIsPreselected()
{
    offerPorts({ "Enhanced A", "plain", "Enhanced B", "enhanced c" });
    const int count = portBox()->count();
    QVERIFY(count >= 4);
    // The extra ports come last, in their order.
    QCOMPARE(portBox()->itemText(count - 4), ptys[0]->slavePath() + " (ZEL)");
    QCOMPARE(portBox()->itemText(count - 3), ptys[1]->slavePath());
    QCOMPARE(portBox()->itemText(count - 2), ptys[2]->slavePath() + " (ZEL)");
    QCOMPARE(portBox()->itemText(count - 1), ptys[3]->slavePath());
    QCOMPARE(portBox()->currentText(), ptys[2]->slavePath() + " (ZEL)");
}

void TestConnectionView::withoutMarkTheFirstPortStays()
{
    offerPorts({ "plain", "enhanced in lower case" });
    QCOMPARE(portBox()->currentIndex(), 0);
    QVERIFY(!portBox()->currentText().endsWith(" (ZEL)"));
}

void TestConnectionView::connectEmitsThePortAndRateAndHides()
{
    offerPorts({ "Enhanced Sim" });
    QCOMPARE(baudBox()->currentText(), "115200");
    baudBox()->setCurrentText("921600");
    QSignalSpy spy(view, &ConnectionView::serialInit);
    QSignalSpy opened(worker, &Task::sendShowSerialdis);
    view->findChild<QPushButton *>("pushButton_2")->click();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toString(), ptys[0]->slavePath());
    QCOMPARE(spy[0][1].toInt(), 921600);
    QCOMPARE(spy[0][2].toBool(), true);
    QVERIFY(!view->isVisible());
    // The worker got it directly and opened the port at that rate.
    QCOMPARE(opened.count(), 1);
    QCOMPARE(ptys[0]->hostBaudRate(), 921600);
}

QTEST_MAIN(TestConnectionView)
#include "tst_connectionview.moc"
