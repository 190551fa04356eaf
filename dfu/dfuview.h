#pragma once

#include <QMainWindow>
#include <QString>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSerialPort;

namespace Ui {
class DfuView;
}

// The "Device Firmware Update" window: choose a firmware file, choose the
// serial port, start the update. It has a serial port of its own, so the
// update runs while the device worker has let go of the port.
class DfuView : public QMainWindow
{
    Q_OBJECT

public:
    explicit DfuView(QWidget *parent = nullptr);
    ~DfuView() override;

    // Adds an entry to the Progress Log, preceded by an empty line.
    void appendLog(const QString &text);

public slots:
    void fileload();
    void reloadAction();
    // Runs the whole update before it returns; the window takes no input
    // meanwhile.
    void proxyConnect();

signals:
    void updateInterrupted();
    void sendDfuSuccess();
    void sendDfuFailed();

protected:
    void showEvent(QShowEvent *event) override;

private:
    class ProcedureSink;

    void resetProgress();

    Ui::DfuView *ui;
    QString fileName;
    QSerialPort *serialPort = nullptr;

    QComboBox *comboBox = nullptr;
    QPushButton *pushButton_1 = nullptr;
    QPushButton *pushButton = nullptr;
    QPushButton *pushButton_ = nullptr;
    QPlainTextEdit *plainTextEdit = nullptr;
    QProgressBar *progressBar = nullptr;
    QLineEdit *lineEdit = nullptr;
};
