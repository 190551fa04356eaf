#include "datactrlview.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const int reenableTimeoutMs = 10000;
const char *const boxNames[] = { "comboBox_ODR", "comboBox_axis", "comboBox_baud_rate",
    "comboBox_data", "comboBox_ref_mag" };

QComboBox *box(DataCtrlView &view, int index)
{
    return view.findChild<QComboBox *>(QLatin1String(boxNames[index]));
}

QPushButton *button(DataCtrlView &view, const char *name)
{
    return view.findChild<QPushButton *>(QLatin1String(name));
}

std::unique_ptr<DataCtrlView> shownView()
{
    auto view = std::make_unique<DataCtrlView>(nullptr);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        return nullptr;
    return view;
}

QStringList boxTexts(DataCtrlView &view)
{
    QStringList texts;
    for (int i = 0; i < 5; ++i)
        texts << box(view, i)->currentText();
    return texts;
}

} // namespace

class TestConfigView : public QObject
{
    Q_OBJECT

private slots:
    void loadPausesBetweenRequests();
    void applyBeforeAnyRecordAndPause();
    void applyWritesRecordThenMovesHost();
    void receiveThenApply_data();
    void receiveThenApply();
    void recordReceivedWhileHidden();
    void shortRecordIgnored();
};

void TestConfigView::loadPausesBetweenRequests()
{
    auto view = shownView();
    QVERIFY(view);
    QPushButton *load = button(*view, "pushButton");
    QSignalSpy requests(view.get(), &DataCtrlView::reqestDataCtrl);

    QTest::mouseClick(load, Qt::LeftButton);
    QCOMPARE(requests.count(), 1);
    QVERIFY(!load->isEnabled());
    QTest::mouseClick(load, Qt::LeftButton);
    QCOMPARE(requests.count(), 1);

    QTRY_VERIFY_WITH_TIMEOUT(load->isEnabled(), reenableTimeoutMs);
    QTest::mouseClick(load, Qt::LeftButton);
    QCOMPARE(requests.count(), 2);
}

void TestConfigView::applyBeforeAnyRecordAndPause()
{
    auto view = shownView();
    QVERIFY(view);
    QPushButton *apply = button(*view, "pushButton_1");
    QSignalSpy records(view.get(), &DataCtrlView::sendConfigDataCtrl);
    QSignalSpy rates(view.get(), &DataCtrlView::sendBaudRate);

    QTest::mouseClick(apply, Qt::LeftButton);
    QTest::mouseClick(apply, Qt::LeftButton);

    QCOMPARE(records.count(), 1);
    QCOMPARE(records.at(0).at(0).toByteArray(), QByteArray("\x01\x00\x01\x00\x00\x00", 6));
    QCOMPARE(records.at(0).at(1).toFloat(), 45.55f);
    QCOMPARE(rates.count(), 1);
    QCOMPARE(rates.at(0), QVariantList({ 115200, false }));
    QVERIFY(!apply->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(apply->isEnabled(), reenableTimeoutMs);
    QTest::mouseClick(apply, Qt::LeftButton);
    QCOMPARE(records.count(), 2);
}

void TestConfigView::applyWritesRecordThenMovesHost()
{
    auto view = shownView();
    QVERIFY(view);
    box(*view, 2)->setCurrentText(QStringLiteral("921600"));

    QStringList order;
    QByteArray written;
    QVariantList baud;
    connect(view.get(), &DataCtrlView::sendConfigDataCtrl, this,
        [&](const QByteArray &dataCtrl, float) {
            order << QStringLiteral("record");
            written = dataCtrl;
        });
    connect(view.get(), &DataCtrlView::sendBaudRate, this, [&](int baudRate, bool reopen) {
        order << QStringLiteral("baud");
        baud = { baudRate, reopen };
    });

    QTest::mouseClick(button(*view, "pushButton_1"), Qt::LeftButton);

    QCOMPARE(order, QStringList({ "record", "baud" }));
    QCOMPARE(written.size(), 6);
    QCOMPARE(int(written.at(3)), 1);
    QCOMPARE(baud, QVariantList({ 921600, false }));
}

void TestConfigView::receiveThenApply_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<float>("magField");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QByteArray>("applied");
    QTest::addColumn<int>("hostRate");

    // Every case starts from the boxes on 100Hz, IMU, 921600, Enabled, Dallas.
    QTest::newRow("known codes") << QByteArray("\x02\x00\x05\x00\x07\x00", 6) << 38.55f
                                 << QStringList { "50Hz", "AHRS", "115200", "Disabled", "Shenzhen" }
                                 << QByteArray("\x02\x00\x01\x00\x00\x00", 6) << 115200;
    QTest::newRow("odr 0, baud 2, 45.7 keep boxes")
        << QByteArray("\x00\x00\x01\x02\x00\x00", 6) << 45.7f
        << QStringList { "100Hz", "AHRS", "921600", "Disabled", "Dallas" }
        << QByteArray("\x03\x00\x01\x01\x00\x00", 6) << 921600;
    QTest::newRow("odr 4, 40.0 keep boxes")
        << QByteArray("\x04\x01\x09\x00\x09\x01", 6) << 40.0f
        << QStringList { "100Hz", "IMU", "115200", "Enabled", "Dallas" }
        << QByteArray("\x03\x01\x01\x00\x00\x01", 6) << 115200;
    QTest::newRow("longer record, 47.9")
        << QByteArray("\x01\x01\x01\x01\x00\x01\xAA\xBB", 8) << 47.9f
        << QStringList { "25Hz", "IMU", "921600", "Enabled", "San Jose" }
        << QByteArray("\x01\x01\x01\x01\x00\x01", 6) << 921600;
}

void TestConfigView::receiveThenApply()
{
    QFETCH(QByteArray, record);
    QFETCH(float, magField);
    QFETCH(QStringList, shown);
    QFETCH(QByteArray, applied);
    QFETCH(int, hostRate);

    auto view = shownView();
    QVERIFY(view);
    const QStringList before { "100Hz", "IMU", "921600", "Enabled", "Dallas" };
    for (int i = 0; i < 5; ++i)
        box(*view, i)->setCurrentText(before[i]);
    QCOMPARE(boxTexts(*view), before);

    view->receiveDataCtrl(record, magField);
    QCOMPARE(boxTexts(*view), shown);

    QSignalSpy records(view.get(), &DataCtrlView::sendConfigDataCtrl);
    QSignalSpy rates(view.get(), &DataCtrlView::sendBaudRate);
    QTest::mouseClick(button(*view, "pushButton_1"), Qt::LeftButton);
    QCOMPARE(records.count(), 1);
    QCOMPARE(records.at(0).at(0).toByteArray(), applied);
    QCOMPARE(rates.count(), 1);
    QCOMPARE(rates.at(0).at(0).toInt(), hostRate);
}

void TestConfigView::recordReceivedWhileHidden()
{
    auto view = shownView();
    QVERIFY(view);
    view->hide();
    QTRY_VERIFY(!view->isVisible());

    view->receiveDataCtrl(QByteArray("\x03\x01\x01\x01\x00\x01", 6), 48.97f);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QCOMPARE(boxTexts(*view), QStringList({ "100Hz", "IMU", "921600", "Enabled", "Shanghai" }));
}

void TestConfigView::shortRecordIgnored()
{
    auto view = shownView();
    QVERIFY(view);
    view->receiveDataCtrl(QByteArray("\x02\x01\x01\x01\x00\x01", 6), 47.89f);
    const QStringList before = boxTexts(*view);

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("ignoring a data-control record of 5 "));
    view->receiveDataCtrl(QByteArray("\x03\x00\x01\x00\x00", 5), 45.55f);
    QCOMPARE(boxTexts(*view), before);
}

QTEST_MAIN(TestConfigView)
#include "tst_config_view.moc"
