#include "datactrlview.h"

#include "datactrl.h"
#include "ui_datactrlview.h"

#include <QComboBox>
#include <QDebug>
#include <QPushButton>
#include <QTimer>

namespace {

// Each press is followed by a pause, so that a burst of clicks cannot flood
// the worker with requests or the module with writes and port re-opens.
const int loadPauseMs = 500;
const int applyPauseMs = 1000;

void selectText(QComboBox *box, const QString &text)
{
    // A text the box does not list (an unknown code, or 38400) keeps the
    // user's current choice rather than blanking the box.
    const int index = box->findText(text);
    if (index >= 0)
        box->setCurrentIndex(index);
}

} // namespace

DataCtrlView::DataCtrlView(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::DataCtrlView)
    , odrList(zel::outputRateItems())
    , axisList(zel::fusionModeItems())
    , baudRateList(zel::baudRateItems())
    , dataList(zel::dataOutputItems())
    , refMagList(zel::refCityItems())
    , dataCtrl(zel::dataCtrlRecordLength, '\0')
{
    ui->setupUi(this);

    comboBox_ODR = findChild<QComboBox *>(QStringLiteral("comboBox_ODR"));
    comboBox_axis = findChild<QComboBox *>(QStringLiteral("comboBox_axis"));
    comboBox_baud_rate = findChild<QComboBox *>(QStringLiteral("comboBox_baud_rate"));
    comboBox_data = findChild<QComboBox *>(QStringLiteral("comboBox_data"));
    comboBox_ref_mag = findChild<QComboBox *>(QStringLiteral("comboBox_ref_mag"));
    pushButton = findChild<QPushButton *>(QStringLiteral("pushButton"));
    pushButton_1 = findChild<QPushButton *>(QStringLiteral("pushButton_1"));

    connect(pushButton, &QPushButton::clicked, this, &DataCtrlView::reloadDataCtrl);
    connect(pushButton_1, &QPushButton::clicked, this, &DataCtrlView::configDataCtrl);

    // The items are matched as text on Apply, so they stay untranslated.
    comboBox_ODR->addItems(odrList);
    comboBox_axis->addItems(axisList);
    comboBox_baud_rate->addItems(baudRateList);
    comboBox_data->addItems(dataList);
    comboBox_ref_mag->addItems(refMagList);
}

DataCtrlView::~DataCtrlView()
{
    delete ui;
}

void DataCtrlView::receiveDataCtrl(QByteArray received, float receivedMagField)
{
    if (received.size() < zel::dataCtrlRecordLength) {
        qDebug() << "DataCtrlView: ignoring a data-control record of" << received.size()
                 << "bytes, six are needed";
        return;
    }
    dataCtrl = received.left(zel::dataCtrlRecordLength);
    magField = receivedMagField;
    qDebug() << "bufreceiveDataCtrl" << received.toHex(' ') << received.size();
    showDataCtrl();
}

void DataCtrlView::reloadDataCtrl()
{
    emit reqestDataCtrl();
    pushButton->setEnabled(false);
    QTimer::singleShot(loadPauseMs, this, &DataCtrlView::enableLoadButton);
}

void DataCtrlView::configDataCtrl()
{
    pushButton_1->setEnabled(false);

    const zel::DataCtrlTexts texts { comboBox_ODR->currentText(), comboBox_axis->currentText(),
        comboBox_baud_rate->currentText(), comboBox_data->currentText(),
        comboBox_ref_mag->currentText() };
    zel::encodeDataCtrl(texts, dataCtrl, magField);

    // The record goes first so that the module hears it at the old rate;
    // only then does the host follow to the new one.
    emit sendConfigDataCtrl(dataCtrl.left(zel::dataCtrlRecordLength), magField);
    const int rate = zel::hostBaudRate(quint8(dataCtrl.at(zel::BaudCodeByte)));
    if (rate != 0)
        emit sendBaudRate(rate, false);

    QTimer::singleShot(applyPauseMs, this, &DataCtrlView::enableConfigButton);
}

void DataCtrlView::enableLoadButton()
{
    pushButton->setEnabled(true);
}

void DataCtrlView::enableConfigButton()
{
    pushButton_1->setEnabled(true);
}

void DataCtrlView::showDataCtrl()
{
    const zel::DataCtrlTexts texts = zel::decodeDataCtrl(dataCtrl, magField);
    selectText(comboBox_ODR, texts.outputRate);
    selectText(comboBox_axis, texts.fusionMode);
    selectText(comboBox_baud_rate, texts.baudRate);
    selectText(comboBox_data, texts.dataOutput);
    selectText(comboBox_ref_mag, texts.refCity);
}
