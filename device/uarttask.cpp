#include "uarttask.h"

#include <QDebug>
#include <QMutexLocker>
#include <QSerialPort>

namespace {
constexpr int writeTimeoutMs = 3000;
}

bool isAcceptedBaudRate(int rate)
{
    return rate == 38400 || rate == 115200 || rate == 921600;
}

UartTask::UartTask(QObject *parent)
    : QObject(parent)
    , serialPort(new QSerialPort(this))
{
    connect(this, &UartTask::sendDeleteSerialPort, this, &UartTask::deleteSerialPort);
}

UartTask::~UartTask()
{
    emit sendDeleteSerialPort();
}

void UartTask::closePort()
{
    QMutexLocker locker(&mutex);
    if (serialPort && serialPort->isOpen())
        serialPort->close();
}

int UartTask::serial_connect(const QString &name, int rate)
{
    portName = name;
    baudRate = rate;
    qInfo() << "serial_connect" << portName;

    QMutexLocker locker(&mutex);
    if (!serialPort)
        return -1;
    serialPort->close();
    serialPort->setBaudRate(rate, QSerialPort::AllDirections);
    serialPort->setPortName(name);
    const bool opened = serialPort->open(QIODevice::ReadWrite);
    if (opened)
        serialPort->clear(QSerialPort::AllDirections);
    return opened ? 0 : -1;
}

int UartTask::setBaudRate(int rate, bool reopen)
{
    qDebug() << "in uarttask.cpp, BR =" << rate << "reopen =" << reopen;
    if (rate == baudRate && !reopen)
        return 0;
    if (!isAcceptedBaudRate(rate))
        return -1;
    baudRate = rate;
    if (serial_connect(portName, rate) != 0)
        return -2;
    qDebug() << "in thread.cpp, reopen success, BR =" << serialPort->baudRate();
    return 0;
}

bool UartTask::isOpen()
{
    return serialPort && serialPort->isOpen();
}

int UartTask::write(const char *data, int length)
{
    QMutexLocker locker(&mutex);
    if (!serialPort)
        return -1;
    serialPort->write(data, length);
    // A bounded wait: a port whose far end stopped reading must not stall
    // the worker (and with it the shutdown) for ever.
    if (!serialPort->waitForBytesWritten(writeTimeoutMs)) {
        qInfo() << "Error sending cmd";
        return -1;
    }
    return 1;
}

qint64 UartTask::read(char *buffer, qint64 capacity)
{
    if (!serialPort)
        return 0;
    const qint64 waiting = serialPort->bytesAvailable();
    if (waiting <= 0)
        return 0;
    std::fill(buffer, buffer + capacity, 0);
    QMutexLocker locker(&mutex);
    return serialPort->read(buffer, qMin(waiting, capacity));
}

void UartTask::deleteSerialPort()
{
    closePort();
    QMutexLocker locker(&mutex);
    delete serialPort;
    serialPort = nullptr;
}
