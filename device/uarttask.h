#pragma once

#include <QMutex>
#include <QObject>
#include <QSerialPort>
#include <QString>

// The one object that touches the module's serial port in normal operation.
// It moves bytes and knows nothing of frames; every operation that changes or
// reads the port runs under `mutex`.
class UartTask : public QObject
{
    Q_OBJECT

public:
    explicit UartTask(QObject *parent = nullptr);
    ~UartTask() override;

    QString currentPortName() const { return portName; }
    int currentBaudRate() const { return baudRate; }
    // Why the last open failed, as Qt tells it.
    QSerialPort::SerialPortError openError() const { return lastOpenError; }
    QString openErrorText() const { return lastOpenErrorText; }
    // Opens the last port again at its rate, keeping the bytes the module
    // sent meanwhile: they belong to the stream. 0 opened, -1 failed.
    int reopenKeepingInput();

public slots:
    virtual void closePort();
    virtual int serial_connect(const QString &name, int rate);
    // 0 done or nothing to do, -1 rate refused, -2 re-open failed.
    virtual int setBaudRate(int rate, bool reopen);
    virtual bool isOpen();
    // 1 written, -1 failed.
    virtual int write(const char *data, int length);
    // Bytes read; 0 when nothing was waiting, negative on a read error.
    virtual qint64 read(char *buffer, qint64 capacity);

    void deleteSerialPort();

signals:
    void sendDeleteSerialPort();
    // The port was closed because its device went away (unplugged, hung up).
    void portVanished();

private:
    // Waits, within bounds, until the bytes written have left the port: a
    // close or a new rate would cut their tail or send it at the wrong rate.
    void drainOutput();
    bool lineHungUp() const;
    void closeVanishedPort();
    int openPort(const QString &name, int rate, QSerialPort::Directions flushed);

    int baudRate = 0;
    QString portName;
    QSerialPort *serialPort;
    QMutex mutex;
    bool vanished = false;
    QSerialPort::SerialPortError lastOpenError = QSerialPort::NoError;
    QString lastOpenErrorText;
};

bool isAcceptedBaudRate(int rate);
