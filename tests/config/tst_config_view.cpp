// The configuration window's code tables in both directions: the module's
// record selecting the boxes, and the boxes' selections written on Apply.

#include "datactrlview.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

namespace {

QComboBox *box(DataCtrlView &view, int index)
{
    const char *const names[] = { "comboBox_ODR", "comboBox_axis", "comboBox_baud_rate",
        "comboBox_data", "comboBox_ref_mag" };
    return view.findChild<QComboBox *>(QLatin1String(names[index]));
}

} // namespace

class TestConfigView : public QObject
{
    Q_OBJECT

private slots:
    void recordSelectsTheBoxes_data();
    void recordSelectsTheBoxes();
    void applyWritesTheSelections_data();
    void applyWritesTheSelections();
    void buttonsPauseAfterAPress();
};

void TestConfigView::recordSelectsTheBoxes_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<float>("magField");
    // An empty text: the box keeps the choice it had.
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("first codes, Taipei") << QByteArray::fromHex(
        "010009000900") << 45.55f << QStringList { "25Hz", "AHRS", "115200", "Disabled", "Taipei" };
    QTest::newRow("second codes, 47.9 is San Jose") << QByteArray::fromHex(
        "020101010001") << 47.9f << QStringList { "50Hz", "IMU", "921600", "Enabled", "San Jose" };
    QTest::newRow("100Hz, Dallas")
        << QByteArray::fromHex("030001000000") << 48.53f
        << QStringList { "100Hz", "AHRS", "115200", "Disabled", "Dallas" };
    QTest::newRow("Shenzhen") << QByteArray::fromHex("010001000000") << 38.55f
                              << QStringList { "25Hz", "AHRS", "115200", "Disabled", "Shenzhen" };
    // 10 Hz, 38400 and codes past the tables are not offered; 45.7 lies 0.15 from Taipei.
    QTest::newRow("unlisted codes, 45.7")
        << QByteArray::fromHex("000201020002") << 45.7f << QStringList { "", "", "", "", "" };
    QTest::newRow("500Hz, 45.6 is Taipei") << QByteArray::fromHex(
        "040001000000") << 45.6f << QStringList { "", "AHRS", "115200", "Disabled", "Taipei" };
}

void TestConfigView::recordSelectsTheBoxes()
{
    QFETCH(QByteArray, record);
    QFETCH(float, magField);
    QFETCH(QStringList, shown);

    // Each box starts on another item than the one the record should select.
    DataCtrlView view;
    QStringList before;
    for (int i = 0; i < 5; ++i) {
        const int expected = box(view, i)->findText(shown[i]);
        box(view, i)->setCurrentIndex(expected < 0 ? 1 : (expected + 1) % box(view, i)->count());
        before << box(view, i)->currentText();
    }
    view.receiveDataCtrl(record, magField);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(box(view, i)->currentText(), shown[i].isEmpty() ? before[i] : shown[i]);
}

void TestConfigView::applyWritesTheSelections_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<float>("magField");
    QTest::addColumn<int>("hostRate");

    QTest::newRow("25Hz AHRS 115200 Disabled Taipei")
        << QStringList { "25Hz", "AHRS", "115200", "Disabled", "Taipei" }
        << QByteArray::fromHex("010001000000") << 45.55f << 115200;
    QTest::newRow("50Hz IMU 921600 Enabled San Jose")
        << QStringList { "50Hz", "IMU", "921600", "Enabled", "San Jose" }
        << QByteArray::fromHex("020101010001") << 47.89f << 921600;
    QTest::newRow("100Hz Dallas") << QStringList { "100Hz", "AHRS", "115200", "Enabled", "Dallas" }
                                  << QByteArray::fromHex("030001000001") << 48.53f << 115200;
    QTest::newRow("Shanghai") << QStringList { "25Hz", "IMU", "921600", "Disabled", "Shanghai" }
                              << QByteArray::fromHex("010101010000") << 48.97f << 921600;
    QTest::newRow("Shenzhen") << QStringList { "50Hz", "AHRS", "115200", "Disabled", "Shenzhen" }
                              << QByteArray::fromHex("020001000000") << 38.55f << 115200;
}

void TestConfigView::applyWritesTheSelections()
{
    QFETCH(QStringList, selected);
    QFETCH(QByteArray, record);
    QFETCH(float, magField);
    QFETCH(int, hostRate);

    // A record with every byte unlisted first: Apply writes what the boxes
    // show, and the reserved bytes as 1 and 0 whatever the module reported.
    DataCtrlView view;
    view.receiveDataCtrl(QByteArray::fromHex("ffffffffffff"), 0);
    for (int i = 0; i < 5; ++i)
        box(view, i)->setCurrentText(selected[i]);
    QVariantList emitted;
    connect(&view, &DataCtrlView::sendConfigDataCtrl, this,
        [&](const QByteArray &dataCtrl, float field) { emitted << dataCtrl << field; });
    connect(&view, &DataCtrlView::sendBaudRate, this,
        [&](int rate, bool reopen) { emitted << rate << reopen; });
    view.findChild<QPushButton *>(QStringLiteral("pushButton_1"))->click();
    // The record goes first, at the old rate; the host follows after.
    QCOMPARE(emitted, QVariantList({ record, magField, hostRate, false }));
}

void TestConfigView::buttonsPauseAfterAPress()
{
    // A burst of clicks neither floods the worker with requests nor the
    // module with writes.
    DataCtrlView view;
    QSignalSpy loads(&view, &DataCtrlView::reqestDataCtrl);
    QSignalSpy applies(&view, &DataCtrlView::sendConfigDataCtrl);
    for (const char *name : { "pushButton", "pushButton_1" }) {
        auto *button = view.findChild<QPushButton *>(QLatin1String(name));
        button->click();
        button->click();
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 10000);
    }
    QCOMPARE(loads.count(), 1);
    QCOMPARE(applies.count(), 1);
}

QTEST_MAIN(TestConfigView)
#include "tst_config_view.moc"
