// The configuration window around the record's codec: the module's record
// selecting what the boxes can show, Apply sending what they show, and the
// pause after each press.

#include "datactrlview.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

namespace {

QStringList boxTexts(DataCtrlView &view)
{
    QStringList texts;
    for (const char *name : { "comboBox_ODR", "comboBox_axis", "comboBox_baud_rate",
             "comboBox_data", "comboBox_ref_mag" })
        texts << view.findChild<QComboBox *>(QLatin1String(name))->currentText();
    return texts;
}

} // namespace

class TestConfigView : public QObject
{
    Q_OBJECT

private slots:
    void boxesShowTheRecordAndApplySendsWhatTheyShow();
    void buttonsPauseAfterAPress();
};

void TestConfigView::boxesShowTheRecordAndApplySendsWhatTheyShow()
{
    DataCtrlView view;
    // Every box starts on its first item, the record selects others.
    const QStringList shown { "50Hz", "IMU", "921600", "Enabled", "San Jose" };
    view.receiveDataCtrl(QByteArray::fromHex("020101010001"), 47.9f);
    QCOMPARE(boxTexts(view), shown);
    // 10 Hz, 38400, codes past the tables and 45.7 are in no box's list: the
    // boxes keep their choice, and the held record now differs from them in
    // every field Apply writes.
    view.receiveDataCtrl(QByteArray::fromHex("000201020002"), 45.7f);
    QCOMPARE(boxTexts(view), shown);
    QVariantList emitted;
    connect(&view, &DataCtrlView::sendConfigDataCtrl, this,
        [&](const QByteArray &dataCtrl, float field) { emitted << dataCtrl << field; });
    connect(&view, &DataCtrlView::sendBaudRate, this,
        [&](int rate, bool reopen) { emitted << rate << reopen; });
    view.findChild<QPushButton *>(QStringLiteral("pushButton_1"))->click();
    // The record goes first, at the old rate; the host follows after.
    QCOMPARE(emitted, QVariantList({ QByteArray::fromHex("020101010001"), 47.89f, 921600, false }));
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
