#include "mainwindows.h"

#include "connectionview.h"
#include "consolefeed.h"
#include "datactrlview.h"
#include "dfuview.h"
#include "graphwindows.h"
#include "handover.h"
#include "notices.h"
#include "recordingpanel.h"
#include "remembered.h"
#include "sampletext.h"
#include "statusline.h"
#include "task.h"
#include "transportbar.h"
#include "ui_mainwindows.h"
#include "zelversion.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QSurfaceFormat>
#include <QThread>

namespace {

// One main window exists; its firmware version lives beside it.
QString firmwareVersion = notConnectedText;

} // namespace

const QString MainView::programVersion = QStringLiteral(ZEL_VERSION);

QString MainView::currentFirmwareVersion()
{
    return firmwareVersion;
}

MainView::MainView(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainView)
{
    ui->setupUi(this);
    plainTextEdit = findChild<QPlainTextEdit *>(QStringLiteral("plainTextEdit"));
    consoleFeed = new ConsoleFeed(plainTextEdit, ConsoleFeed::windowLineLimit);
    plainTextEdit->installEventFilter(this);
    plainTextEdit->viewport()->installEventFilter(this);
    statusLine = new StatusLine(statusBar());
    setAcceptDrops(true);

    createActions();
    createMenus();

    workerThread = new QThread;
    worker = new Task(workerThread);

    QSurfaceFormat format;
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);

    connectionView = new ConnectionView(this, worker);
    dataCtrlView = new DataCtrlView(this);
    dataCtrlView->hide();
    dfuView = new DfuView(this);
    dfuView->hide();
    graphs = new GraphWindows(format);
    recordingPanel = new RecordingPanel(graphs, consoleFeed, statusLine, this);
    ui->gridLayout->addWidget(recordingPanel->transportBar(), 3, 0);
    connect(recordingPanel, &RecordingPanel::dropped, this, &MainView::openRecordingFile);

    connectSignals();
    connectionView->show();
    notices = new DeviceNotices;
    restoreGeometry(remembered::windowGeometry());
    graphs->show(remembered::openGraphs());
}

MainView::~MainView()
{
    // The worker has been stopped by closeEvent; one that never ran has no
    // thread to wait for.
    stopWorker();
    delete worker;
    delete workerThread;
    delete graphs;
    delete notices;
    delete ui;
}

void MainView::createActions()
{
    actionConnect = newLinkAction(LinkAction::Connect, tr("&Connect"), &MainView::showConeection);
    actionDisconnect
        = newLinkAction(LinkAction::Disconnect, tr("&Disconnect"), &MainView::disconnection);
    actionReset = newLinkAction(LinkAction::Reset, tr("&Reset to Default"), &MainView::resetDevice);
    actionReboot
        = newLinkAction(LinkAction::Reboot, tr("&Reboot the Device"), &MainView::rebootDevice);
    action3DView = newLinkAction(LinkAction::View3D, tr("&3D View"), &MainView::showCubeView);
    actionAcc = newLinkAction(LinkAction::Acc, tr("&Accelerometer"), &MainView::showAccChart);
    actionMag = newLinkAction(LinkAction::Mag, tr("&Magnetometer"), &MainView::showMagChart);
    actionGyr = newLinkAction(LinkAction::Gyr, tr("&Gyroscope"), &MainView::showGyrChart);
    actionEul = newLinkAction(LinkAction::Eul, tr("&Euler Angle"), &MainView::showEulChart);
    actionAllGraphs = newLinkAction(
        LinkAction::AllGraphs, tr("&Open/Close All Graphs"), &MainView::showAllGraph);

    actionPause = newLinkAction(LinkAction::Pause, tr("Pause Live View"));
    actionPause->setCheckable(true);
    actionPause->setShortcut(Qt::Key_Space);
    connect(actionPause, &QAction::toggled, this, &MainView::pauseLiveView);
    pausedLabel = new QLabel(tr("Live view paused"));
    pausedLabel->setObjectName(QStringLiteral("pausedLabel"));
    statusBar()->addPermanentWidget(pausedLabel);
    pausedLabel->hide();

    actionStartSaveLog
        = newLinkAction(LinkAction::StartSaveLog, tr("&Start Saving Log"), &MainView::saveLog);
    actionStopSaveLog
        = newLinkAction(LinkAction::StopSaveLog, tr("&Stop Saving Log"), &MainView::stopSaveLog);
    actionOpenRecording = newLinkAction(
        LinkAction::OpenRecording, tr("Open Recording\u2026"), &MainView::openRecording);
    actionCloseRecording = newLinkAction(
        LinkAction::CloseRecording, tr("Close Recording"), &MainView::closeRecording);
    actionDfu = newLinkAction(LinkAction::Dfu, tr("&Device Firmware Update"), &MainView::showDfu);
    actionConfig = newLinkAction(LinkAction::Config, tr("Device Config"), &MainView::showConfig);
    actionIdentify
        = newLinkAction(LinkAction::Identify, tr("Identify The Device"), &MainView::identifyDevice);
    connect(actionIdentify, &QAction::triggered, this, &MainView::identifyInfo);
    actionMagCalibration = newLinkAction(
        LinkAction::MagCalibration, tr("Mag Calibration"), &MainView::calibrateDevice);
    connect(actionMagCalibration, &QAction::triggered, this, &MainView::magCalibrateInfo);
    actionVersion = newLinkAction(LinkAction::Version, tr("&Version"), &MainView::about);

    setLinkState(LinkState::Disconnected);
}

QAction *MainView::newLinkAction(LinkAction action, const QString &text, void (MainView::*slot)())
{
    auto *created = new QAction(text, this);
    if (slot)
        connect(created, &QAction::triggered, this, slot);
    return linkActions[std::size_t(action)] = created;
}

void MainView::createMenus()
{
    // A null entry is a separator.
    const auto addMenu = [this](const QString &title, std::initializer_list<QAction *> actions) {
        QMenu *menu = menuBar()->addMenu(title);
        for (QAction *action : actions) {
            if (action)
                menu->addAction(action);
            else
                menu->addSeparator();
        }
        return menu;
    };
    settingsMenu = addMenu(
        tr("&Settings"), { actionConnect, actionDisconnect, nullptr, actionReset, actionReboot });
    graphsMenu = addMenu(tr("&Graphs"),
        { action3DView, nullptr, actionAcc, actionMag, actionGyr, actionEul, nullptr,
            actionAllGraphs, nullptr, actionPause });
    utilitiesMenu = addMenu(tr("&Utilities"),
        { actionStartSaveLog, actionStopSaveLog, actionOpenRecording, actionCloseRecording, nullptr,
            actionDfu, actionConfig, nullptr, actionIdentify, actionMagCalibration });
    aboutMenu = addMenu(tr("&About"), { actionVersion });
}

void MainView::setLinkState(LinkState state)
{
    linkState = state;
    statusLine->setLinkState(state);
    if (state == LinkState::Disconnected)
        linkContext.fusionMode = false; // until the module tells it again
    for (std::size_t i = 0; i < linkActions.size(); ++i) {
        const ActionState shown = actionState(LinkAction(i), state, linkContext);
        linkActions[i]->setVisible(shown.visible);
        linkActions[i]->setEnabled(shown.enabled);
    }
}

void MainView::endPause()
{
    actionPause->setChecked(false);
}

void MainView::connectSignals()
{
    connect(worker, &Task::sendVersion, this, &MainView::receiveVersion);
    connect(worker, &Task::sendShowSerialdis, this, &MainView::showSerialdis);
    connect(
        worker, &Task::sendAwaitingPort, this, [this] { setLinkState(LinkState::AwaitingPort); });
    connect(worker, &Task::sendPortGoneForGood, this, &MainView::endPause);
    connect(worker, &Task::sendIsAHRS, this, &MainView::receiveIsAHRS);
    connect(worker, &Task::signalLogMessage, this, &MainView::logMessageFromThread);
    connect(worker, &Task::sendSamples, this, &MainView::receiveSamples);
    connect(this, &MainView::proxySaveLog, worker, &Task::startSaveLog);
    connect(this, &MainView::proxyStopSaveLog, worker, &Task::stopSaveLog);
    connect(this, &MainView::proxyStopSerialPort, worker, &Task::closeSerialPort);
    connect(this, &MainView::proxyResetDevice, worker, &Task::resetDevice);
    connect(this, &MainView::proxyRebootDevice, worker, &Task::rebootDevice);
    connect(this, &MainView::proxyIdentifyDevice, worker, &Task::identifyDevice);
    connect(this, &MainView::proxyCalibrateDevice, worker, &Task::calibrateDevice);
    connect(this, &MainView::proxyreqestDataCtrl, worker, &Task::getDataCtrl);
    connect(worker, &Task::sendAlertPoorQuality, this, &MainView::alertPoorQuality);
    // Good quality comes with each poll's samples (receiveSamples): one
    // queued call per good frame would wake this thread 500 times a second.
    connect(worker, &Task::sendAlertDisconnectByBLE, this, &MainView::alertDisconnectByBLE);
    connect(dataCtrlView, &DataCtrlView::reqestDataCtrl, worker, &Task::getDataCtrl);
    connect(worker, &Task::sendDataCtrl, dataCtrlView, &DataCtrlView::receiveDataCtrl);
    connect(dataCtrlView, &DataCtrlView::sendConfigDataCtrl, worker, &Task::setDataCtrl);
    connect(dataCtrlView, &DataCtrlView::sendBaudRate, worker, &Task::setBaudRate);
    connect(dfuView, &DfuView::sendDfuSuccess, this, &MainView::dfuSuccess);
    connect(dfuView, &DfuView::sendDfuFailed, this, &MainView::dfuFailed);
    connect(worker, &Task::sendPortOpened, statusLine, &StatusLine::setPort);
    connect(worker, &Task::sendLinkCounts, statusLine, &StatusLine::addCounts);
    connect(worker, &Task::sendStatusNotice, statusLine, &StatusLine::setNotice);
    connect(worker, &Task::sendOpenFailed, this, &MainView::openFailed);
    connect(worker, &Task::sendRecordingEnded, this, &MainView::recordingEnded);
}

void MainView::logMessageFromThread(QString s)
{
    consoleFeed->add(s);
}

void MainView::receiveSamples(const zel::SensorSamples &samples)
{
    ZEL_TAKEN_BACK(samples.constData());
    graphs->receiveSamples(samples);
    for (const zel::SensorSample &sample : samples) {
        if (zel::isGoodQuality(sample.qualityStatus))
            alertGoodQuality();
    }
}

void MainView::pauseLiveView(bool pause)
{
    linkContext.paused = pause;
    graphs->setPaused(pause);
    consoleFeed->setPaused(pause);
    pausedLabel->setVisible(pause);
    setLinkState(linkState);
}

void MainView::showConeection()
{
    connectionView->show();
}

void MainView::disconnection()
{
    enterDisconnectedState(true);
}

void MainView::showSerialdis()
{
    if (linkState == LinkState::Playing)
        closeRecording(); // the user connected from the connection dialog
    setLinkState(LinkState::PortOpen);
}

void MainView::receiveVersion(QString version)
{
    const bool noModule = reportsNoModule(version);
    // A reply the worker sent before the port was closed.
    if (!noModule && !portIsOpen(linkState))
        return;
    firmwareVersion = version;
    if (noModule && linkState == LinkState::Playing)
        closeRecording();
    if (noModule) {
        enterDisconnectedState(false);
    } else {
        setLinkState(LinkState::Connected);
        statusLine->setFirmware(version);
    }
}

void MainView::receiveIsAHRS(bool isAHRS)
{
    linkContext.fusionMode = isAHRS;
    setLinkState(linkState);
}

void MainView::enterDisconnectedState(bool stopSerialPort)
{
    dataCtrlView->hide();
    setLinkState(LinkState::Disconnected);
    if (stopSerialPort) {
        endPause();
        emit proxyStopSerialPort();
    }
    // A link that drops by itself is looked for again, and the recording
    // goes on; the worker ends it if the link stays away.
    if (linkContext.recording && stopSerialPort)
        endRecording(tr("disconnected"));
}

void MainView::openFailed(
    const QString &portName, QSerialPort::SerialPortError error, const QString &reason)
{
    const QString text = openFailureText(portName, error, reason);
    statusLine->setNotice(text.section(QLatin1Char('\n'), 0, 0));
    execMessageBox(QMessageBox::Warning, tr("Connection"), text);
}

void MainView::recordingEnded(const QString &reason, bool fileFault)
{
    if (linkContext.recording)
        endRecording(reason);
    if (fileFault)
        execMessageBox(
            QMessageBox::Warning, tr("Save Log"), tr("The log has ended: %1").arg(reason));
}

void MainView::resetDevice()
{
    emit proxyResetDevice();
}

void MainView::rebootDevice()
{
    emit proxyRebootDevice();
}

void MainView::identifyDevice()
{
    emit proxyIdentifyDevice();
}

void MainView::calibrateDevice()
{
    emit proxyCalibrateDevice();
}

void MainView::saveLog()
{
    const QString fileName = QFileDialog::getSaveFileName(this, tr("Save Log"),
        QDir(remembered::logFolder()).filePath(QStringLiteral("data.csv")), tr("csv (*.csv)"));
    if (!fileName.isEmpty() && linkState != LinkState::Connected) {
        // The link dropped while the dialog was open.
        execMessageBox(
            QMessageBox::Warning, tr("Save Log"), tr("Not Connected. The log was not started."));
        return;
    }
    QString error;
    if (fileName.isEmpty() || !zel::createDataLog(fileName, &error)) {
        qInfo() << "open log file fail in mainwindows.cpp";
        if (!fileName.isEmpty()) {
            const QString text = tr("Cannot create %1: %2").arg(fileName, error);
            statusLine->setNotice(text);
            execMessageBox(QMessageBox::Warning, tr("Save Log"), text);
        }
        return;
    }
    remembered::setLogFolder(QFileInfo(fileName).absolutePath());
    emit proxySaveLog(fileName);
    linkContext.recording = true;
    setLinkState(linkState);
    statusLine->setRecording(QFileInfo(fileName).fileName());
}

void MainView::stopSaveLog()
{
    endRecording(tr("stopped by the user"));
}

void MainView::endRecording(const QString &reason)
{
    emit proxyStopSaveLog();
    linkContext.recording = false;
    setLinkState(linkState);
    statusLine->recordingEnded(reason);
}

void MainView::openRecording()
{
    const QString fileName = QFileDialog::getOpenFileName(
        this, tr("Open Recording"), remembered::logFolder(), tr("csv (*.csv)"));
    if (!fileName.isEmpty())
        openRecordingFile(fileName);
}

bool MainView::openRecordingFile(const QString &path)
{
    QString error;
    std::optional<zel::Recording> recording = recordingPanel->read(path, &error);
    if (!recording) {
        if (!error.isEmpty())
            execMessageBox(QMessageBox::Warning, tr("Open Recording"), error);
        return false;
    }
    endPause();
    recordingPanel->play(std::move(*recording), QFileInfo(path).fileName());
    setLinkState(LinkState::Playing);
    return true;
}

void MainView::closeRecording()
{
    recordingPanel->close();
    setLinkState(LinkState::Disconnected);
}

void MainView::dragEnterEvent(QDragEnterEvent *event)
{
    recordingPanel->takeDrop(event, actionOpenRecording->isEnabled());
}

void MainView::dropEvent(QDropEvent *event)
{
    recordingPanel->takeDrop(event, actionOpenRecording->isEnabled());
}

void MainView::identifyInfo()
{
    notices->showIdentify();
}

void MainView::magCalibrateInfo()
{
    notices->startMagCalibration();
}

void MainView::alertPoorQuality()
{
    notices->poorQuality();
}

void MainView::alertGoodQuality()
{
    notices->goodQuality();
}

void MainView::alertDisconnectByBLE()
{
    // The module may repeat its notice before the port is closed; the box
    // already up answers it.
    if (bleNoticeShown)
        return;
    bleNoticeShown = true;
    emit proxyStopSerialPort();
    if (linkContext.recording)
        endRecording(tr("the mobile app took over the module"));
    execMessageBox(QMessageBox::Critical, tr("Multiple Connection Detected"),
        tr("Notice: One connection at a time.\n") + tr("Mobile App Connected. PC Tool Stopped."));
    bleNoticeShown = false;
    enterDisconnectedState(true);
}

void MainView::about()
{
    QMessageBox::about(this, tr("Version"),
        tr(QString(QStringLiteral("PC Tool: ") + programVersion + QStringLiteral("\r\n"))
                .toUtf8()
                .constData())
            + QStringLiteral("Firmware: ") + firmwareVersion);
}

int MainView::execMessageBox(QMessageBox::Icon icon, const QString &title, const QString &text,
    QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons, this);
    box.setDefaultButton(QMessageBox::NoButton);
    return box.exec();
}

void MainView::dfuSuccess()
{
    execMessageBox(QMessageBox::Information, tr("Device Firmeare Update"), tr("DFU Success."));
}

void MainView::dfuFailed()
{
    execMessageBox(QMessageBox::Warning, tr("Device Firmeare Update"), tr("DFU Failed."));
}

void MainView::showDfu()
{
    dfuView->show();
    if (execMessageBox(QMessageBox::Question, QString(), tr("Do you wish to update the firmware?"),
            QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes) {
        qDebug() << "Yes was clicked";
        if (linkContext.recording)
            endRecording(tr("firmware update"));
        endPause();
        emit proxyStopSerialPort();
    } else {
        dfuView->hide();
    }
}

void MainView::showConfig()
{
    qInfo() << "in show config";
    dataCtrlView->show();
    emit proxyreqestDataCtrl();
}

void MainView::showCubeView()
{
    graphs->toggle(GraphWindows::Cube);
}

void MainView::showAccChart()
{
    graphs->toggle(GraphWindows::AccChart);
}

void MainView::showMagChart()
{
    graphs->toggle(GraphWindows::MagChart);
}

void MainView::showGyrChart()
{
    graphs->toggle(GraphWindows::GyrChart);
}

void MainView::showEulChart()
{
    graphs->toggle(GraphWindows::EulChart);
}

void MainView::showAllGraph()
{
    graphs->toggleAll();
}

void MainView::stopWorker()
{
    // The worker finishes the poll it is in (a data log row is written
    // whole), closes its port and quits its thread's event loop; then the
    // thread is joined. A worker that never connected has no thread running.
    if (workerThread->isRunning()) {
        QMetaObject::invokeMethod(worker, &Task::stop, Qt::QueuedConnection);
        workerThread->wait();
    } else {
        worker->stop();
    }
}

bool MainView::eventFilter(QObject *watched, QEvent *event)
{
    // The console, being editable, would keep its drops and keys for
    // itself, and it has the focus whenever the main window has; a data log
    // dropped is the window's, and while the pause can be used Space is the
    // pause's, as the transport bar's keys are the bar's.
    if (watched == plainTextEdit->viewport()
        && recordingPanel->takeDrop(event, actionOpenRecording->isEnabled()))
        return true;
    if (watched != plainTextEdit || event->type() != QEvent::ShortcutOverride)
        return QMainWindow::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool pauseKey = key->key() == Qt::Key_Space && actionPause->isEnabled();
    if (key->modifiers() != Qt::NoModifier
        || !(pauseKey || recordingPanel->transportBar()->takesKey(key->key())))
        return false;
    event->ignore();
    return true;
}

void MainView::closeEvent(QCloseEvent *event)
{
    remembered::setWindows(saveGeometry(), graphs->visibleGraphs());
    stopWorker();
    graphs->closeAll();
    connectionView->close();
    dataCtrlView->close();
    dfuView->close();
    // Notices left open would keep the application running.
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox *>(widget))
            widget->close();
    }
    event->accept();
}
