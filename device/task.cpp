#include "task.h"

#include "handover.h"
#include "portlist.h"
#include "uarttask.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <utility>

Task::Task(QThread *thread)
    : uartTask(new UartTask(this))
    , workerThread(thread)
    , pollTimer(new QTimer(this))
{
    qRegisterMetaType<zel::SensorSamples>("zel::SensorSamples");
    pollTimer->setSingleShot(true);
    pollTimer->setInterval(pollIntervalMs);
    connect(pollTimer, &QTimer::timeout, this, &Task::run);
    connect(this, &Task::startRun, this, &Task::run, Qt::QueuedConnection);
    connect(uartTask, &UartTask::portVanished, this, &Task::startPortSearch);
    qRegisterMetaType<QSerialPort::SerialPortError>();
}

Task::~Task()
{
    ZEL_TAKEN_BACK(this);
    running = false;
    delete uartTask;
    uartTask = nullptr;
}

void Task::serialInit(const QString &portName, int baudRate)
{
    serialInit(portName, baudRate, false);
}

void Task::serialInit(const QString &portName, int baudRate, bool alertBadQuality)
{
    qualityAlertArmed = qualityAlertArmed || alertBadQuality;
    awaitingPort = false;
    endRecording(tr("a new connection"), false);
    if (!reopen(portName, baudRate, Reopen::UserConnect)) {
        emit sendOpenFailed(portName, uartTask->openError(), uartTask->openErrorText());
        return;
    }
    // The first successful open starts the worker thread.
    if (running)
        return;
    stopped = false;
    if (workerThread && thread() != workerThread)
        moveToThread(workerThread);
    emit startRun();
    if (workerThread && !workerThread->isRunning())
        workerThread->start(QThread::InheritPriority);
}

bool Task::reopen(const QString &portName, int baudRate, Reopen kind)
{
    qInfo() << "in serial init";
    isAHRS = false;
    dataCtrlPending = true;
    rxLength = 0;
    // Replies to the requests of an earlier connection are lost with it.
    dataCtrlRequestsUnanswered = 0;
    staleDataCtrlReplies = 0;
    // The search for a vanished port stays quiet: the window keeps waiting
    // through every attempt that fails, and hears of the one that opens.
    if (kind != Reopen::PortSearch) {
        emit sendVersion(notConnectedText);
        disconnectCounter = 0;
    }
    // Set before the connect: the first successful one starts the worker
    // thread, whose polls read the flag at once.
    versionPending = true;

    const int opened = kind == Reopen::UserConnect ? uartTask->serial_connect(portName, baudRate)
                                                   : uartTask->reopenKeepingInput();
    if (opened != 0) {
        qInfo() << "Error: failed to connect" << portName;
        // A port that will not open again after a silence went away with it.
        if (kind == Reopen::SilenceRule)
            startPortSearch();
        return false;
    }
    connected = true;
    awaitingPort = false;
    disconnectCounter = 0; // a later loss is reported again
    qInfo() << "... Connected to" << portName;
    emit sendShowSerialdis();
    emit sendPortOpened(portName, baudRate);
    return true;
}

void Task::startPortSearch()
{
    awaitingPort = true;
    portGoneReported = false;
    disconnectCounter = 0; // so that the loss is reported
    portGone.start();
}

void Task::run()
{
    if (stopped)
        return;
    running = true;
    if (!uartTask->isOpen()) {
        // Nothing arrives on a closed port: no rate to report.
        cyclesSinceCounts = 0;
        ++disconnectCounter;
        poorQualityCount = 0;
        if (disconnectCounter == closedCyclesBeforeReport) {
            qDebug() << "disconnect counter!!!";
            emit sendVersion(notConnectedText);
            if (awaitingPort)
                emit sendAwaitingPort();
            else if (connected) // closed without the user, and not looked for
                endRecording(tr("the link was lost"), false);
        }
        if (awaitingPort && !portGoneReported
            && portGone.hasExpired(portGoneMsBeforeRecordingEnds)) {
            portGoneReported = true;
            endRecording(tr("the port was gone for more than 10 s"), false);
            emit sendPortGoneForGood();
        }
        // About twice a second.
        if (awaitingPort && disconnectCounter % closedCyclesBeforeReport == 0)
            retryVanishedPort();
    } else {
        pollSerialPort();
        if (++cyclesSinceCounts == cyclesPerCountsReport) {
            cyclesSinceCounts = 0;
            emit sendLinkCounts(
                std::exchange(framesCounted, 0), std::exchange(bytesCounted, 0), logRows);
        }
    }
    if (!stopped)
        pollTimer->start();
}

void Task::retryVanishedPort()
{
    const QString name = uartTask->currentPortName();
    // Until the node is back, an attempt could only fail, and fill the log.
    if (QFileInfo::exists(portDevicePath(name)))
        reopen(name, uartTask->currentBaudRate(), Reopen::PortSearch);
}

void Task::closeSerialPort()
{
    connected = false;
    awaitingPort = false;
    uartTask->closePort();
}

void Task::stop()
{
    ZEL_TAKEN_BACK(this);
    stopped = true;
    running = false;
    pollTimer->stop();
    connected = false;
    uartTask->closePort();
    QThread *current = QThread::currentThread();
    if (current == workerThread && current != QCoreApplication::instance()->thread()) {
        moveToThread(QCoreApplication::instance()->thread());
        workerThread->quit();
    }
    ZEL_HANDED_OVER(this);
}

int Task::setBaudRate(int baudRate, bool reopen)
{
    qDebug() << "in task.cpp, BR =" << baudRate << "reopen =" << reopen;
    if (!isAcceptedBaudRate(baudRate))
        return -1;
    const int result = uartTask->setBaudRate(baudRate, reopen);
    if (result == 0 && !running)
        emit startRun();
    return result;
}

void Task::writeFrame(const QByteArray &frame)
{
    uartTask->write(frame.constData(), frame.size());
}

void Task::sendCommand(zel::MaintenanceCommand command)
{
    writeFrame(zel::maintenanceFrame(command));
}

void Task::resetDevice()
{
    sendCommand(zel::MaintenanceCommand::Reset);
    qualityAlertArmed = true;
    setBaudRate(115200, true);
    // The module is back at its defaults.
    dataCtrlPending = true;
}

void Task::rebootDevice()
{
    sendCommand(zel::MaintenanceCommand::Reboot);
    qualityAlertArmed = true;
}

void Task::identifyDevice()
{
    sendCommand(zel::MaintenanceCommand::Identify);
}

void Task::calibrateDevice()
{
    sendCommand(zel::MaintenanceCommand::Calibrate);
}

void Task::getDataCtrl()
{
    dataCtrlPending = true;
}

void Task::startSaveLog(const QString &fileName)
{
    logFileName = fileName;
    saveLogEnabled = true;
    logRows = 0;
}

void Task::stopSaveLog()
{
    logFileName.clear();
    saveLogEnabled = false;
}

void Task::endRecording(const QString &reason, bool fileFault)
{
    if (!saveLogEnabled)
        return;
    stopSaveLog();
    emit sendRecordingEnded(reason, fileFault);
}
