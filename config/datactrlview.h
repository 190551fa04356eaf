#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QStringList>

class QComboBox;
class QPushButton;

namespace Ui {
class DataCtrlView;
}

// The "Device Config" window: shows the module's data-control record in five
// boxes, asks the worker for a fresh copy on Load and, on Apply, writes the
// edited record and moves the host's port to the module's new rate. It never
// touches the port itself; everything goes to the worker by signal.
class DataCtrlView : public QMainWindow
{
    Q_OBJECT

public:
    explicit DataCtrlView(QWidget *parent = nullptr);
    ~DataCtrlView() override;

signals:
    void reqestDataCtrl();
    void sendConfigDataCtrl(QByteArray dataCtrl, float magField);
    void sendBaudRate(int baudRate, bool reopen);

public slots:
    void receiveDataCtrl(QByteArray received, float receivedMagField);
    void reloadDataCtrl();
    void configDataCtrl();
    void enableLoadButton();
    void enableConfigButton();

private:
    void showDataCtrl();

    Ui::DataCtrlView *ui;

    QStringList odrList;
    QStringList axisList;
    QStringList baudRateList;
    QStringList dataList;
    QStringList refMagList;

    QComboBox *comboBox_ODR;
    QComboBox *comboBox_axis;
    QComboBox *comboBox_baud_rate;
    QComboBox *comboBox_data;
    QComboBox *comboBox_ref_mag;
    QPushButton *pushButton;
    QPushButton *pushButton_1;

    // The record last received or last applied; defined from the start so
    // that an Apply before any record still sends six known bytes.
    QByteArray dataCtrl;
    float magField = 0.0f;
};
