#include "uarttask.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QMutexLocker>
#include <QSerialPort>
#include <QThread>

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <utility>

namespace {
constexpr int writeTimeoutMs = 3000;
// Many times the wire time of the longest command at the slowest rate.
constexpr int drainTimeoutMs = 500;
} // namespace

bool isAcceptedBaudRate(int rate)
{
    return rate == 38400 || rate == 115200 || rate == 921600;
}

UartTask::UartTask(QObject *parent)
    : QObject(parent)
    , serialPort(new QSerialPort(this))
{
    // Restoring the old line settings on close would re-time the line at
    // once, before the last command has left.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    serialPort->setSettingsRestoredOnClose(false);
    QT_WARNING_POP
    connect(this, &UartTask::sendDeleteSerialPort, this, &UartTask::deleteSerialPort);
    // Qt keeps a vanished port open: a pulled bridge shows as a resource
    // error, a hung-up line as endless read errors. The port is closed
    // outside Qt's own handling of it.
    connect(
        serialPort, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
            if (!serialPort->isOpen() || vanished)
                return;
            if (error == QSerialPort::ResourceError
                || (error == QSerialPort::ReadError && lineHungUp())) {
                vanished = true;
                QMetaObject::invokeMethod(this, &UartTask::closeVanishedPort, Qt::QueuedConnection);
            }
        });
}

UartTask::~UartTask()
{
    emit sendDeleteSerialPort();
}

void UartTask::closePort()
{
    QMutexLocker locker(&mutex);
    if (serialPort && serialPort->isOpen()) {
        drainOutput();
        serialPort->close();
    }
}

void UartTask::drainOutput()
{
    if (serialPort->bytesToWrite() > 0)
        serialPort->waitForBytesWritten(writeTimeoutMs);
    // tcdrain() alone could wait for ever on a stalled line.
    const int line = int(serialPort->handle());
    const QDeadlineTimer deadline(drainTimeoutMs);
    int queued = 0;
    while (::ioctl(line, TIOCOUTQ, &queued) == 0 && queued > 0 && !deadline.hasExpired())
        QThread::msleep(1);
    if (queued == 0)
        ::tcdrain(line);
}

bool UartTask::lineHungUp() const
{
    pollfd line { int(serialPort->handle()), POLLIN, 0 };
    return ::poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void UartTask::closeVanishedPort()
{
    if (!vanished || !isOpen())
        return;
    qInfo() << "port vanished:" << portName;
    closePort();
    emit portVanished();
}

int UartTask::serial_connect(const QString &name, int rate)
{
    return openPort(name, rate, QSerialPort::AllDirections);
}

int UartTask::reopenKeepingInput()
{
    return openPort(portName, baudRate, QSerialPort::Output);
}

int UartTask::openPort(const QString &name, int rate, QSerialPort::Directions flushed)
{
    portName = name;
    baudRate = rate;
    qInfo() << "serial_connect" << portName;

    QMutexLocker locker(&mutex);
    if (!serialPort)
        return -1;
    if (serialPort->isOpen())
        drainOutput();
    serialPort->close();
    serialPort->setBaudRate(rate, QSerialPort::AllDirections);
    serialPort->setPortName(name);
    const bool opened = serialPort->open(QIODevice::ReadWrite);
    lastOpenError = serialPort->error();
    lastOpenErrorText = serialPort->errorString();
    if (opened)
        serialPort->clear(flushed);
    vanished = false; // whatever the old port reported
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
