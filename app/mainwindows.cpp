#include "mainwindows.h"

#include "chartview.h"
#include "connectionview.h"
#include "cubeview.h"
#include "datactrlview.h"
#include "dfuview.h"
#include "handover.h"
#include "sampletext.h"
#include "statusline.h"
#include "task.h"
#include "ui_mainwindows.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStatusBar>
#include <QSurfaceFormat>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

// One main window exists; its firmware version and calibration progress
// live beside it.
QString firmwareVersion = notConnectedText;
bool magCalibrating = false;
int goodQualityCount = 0;

constexpr int consoleBlockLimit = 1000;
constexpr int consoleAppendIntervalMs = 33;
constexpr int noticeHideMs = 3000;
constexpr int identifyNoticeHideMs = 60000;

const QString geometryKey = QStringLiteral("window/geometry");
const QString openGraphsKey = QStringLiteral("window/openGraphs");
const QString logFolderKey = QStringLiteral("log/folder");

void bringToFront(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void toggleWindow(QWidget *window)
{
    if (window->isVisible())
        window->hide();
    else
        bringToFront(window);
}

QMessageBox *newNotice(QMessageBox::Icon icon, const QString &title, const QString &text)
{
    auto *box = new QMessageBox;
    box->setWindowTitle(title);
    box->setText(text);
    box->setIcon(icon);
    return box;
}

// Shows a notice and closes it once `ms` have passed. Showing it again
// drops the earlier timer, so that one cannot cut the new showing short.
void showForAWhile(QMessageBox *box, int ms)
{
    delete box->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    auto *timer = new QTimer(box);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, box, &QWidget::close);
    timer->start(ms);
    box->show();
}

} // namespace

void setUpApplication()
{
    Q_INIT_RESOURCE(resources);
    QApplication::setApplicationName(QStringLiteral("Orvix ZEL PC Tool"));
    QApplication::setOrganizationName(QStringLiteral("Orvix"));
    QApplication::setOrganizationDomain(QStringLiteral("orvix.example"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":icons/launcher.ico")));
}

const QString MainView::programVersion = QStringLiteral("1.1.3");

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
    plainTextEdit->setMaximumBlockCount(consoleBlockLimit);
    plainTextEdit->installEventFilter(this);
    statusLine = new StatusLine(statusBar());
    // The console takes the lines of a burst of polls in one append: one per
    // poll would redo its layout 200 times a second.
    consoleTimer = new QTimer(this);
    consoleTimer->setSingleShot(true);
    consoleTimer->setInterval(consoleAppendIntervalMs);
    connect(consoleTimer, &QTimer::timeout, this, &MainView::appendPendingConsoleLines);

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
    createCharts();
    cubeView = new CubeView;
    cubeView->setFormat(format);

    connectSignals();
    connectionView->show();
    createNotices();
    restoreWindows();
}

MainView::~MainView()
{
    // The worker has been stopped by closeEvent; one that never ran has no
    // thread to wait for.
    stopWorker();
    delete worker;
    delete workerThread;
    for (ChartView *chart : charts)
        delete chart;
    delete cubeView;
    delete lowQualityBox;
    delete magCalibrationBox;
    delete magCalibrationSuccessBox;
    delete ui;
}

void MainView::createActions()
{
    actionConnect = new QAction(tr("&Connect"), this);
    connect(actionConnect, &QAction::triggered, this, &MainView::showConeection);

    actionDisconnect = new QAction(tr("&Disconnect"), this);
    connect(actionDisconnect, &QAction::triggered, this, &MainView::disconnection);

    actionReset = new QAction(tr("&Reset to Default"), this);
    connect(actionReset, &QAction::triggered, this, &MainView::resetDevice);

    actionReboot = new QAction(tr("&Reboot the Device"), this);
    connect(actionReboot, &QAction::triggered, this, &MainView::rebootDevice);

    action3DView = new QAction(tr("&3D View"), this);
    connect(action3DView, &QAction::triggered, this, &MainView::showCubeView);

    actionAcc = new QAction(tr("&Accelerometer"), this);
    connect(actionAcc, &QAction::triggered, this, &MainView::showAccChart);

    actionMag = new QAction(tr("&Magnetometer"), this);
    connect(actionMag, &QAction::triggered, this, &MainView::showMagChart);

    actionGyr = new QAction(tr("&Gyroscope"), this);
    connect(actionGyr, &QAction::triggered, this, &MainView::showGyrChart);

    actionEul = new QAction(tr("&Euler Angle"), this);
    connect(actionEul, &QAction::triggered, this, &MainView::showEulChart);

    actionAllGraphs = new QAction(tr("&Open/Close All Graphs"), this);
    connect(actionAllGraphs, &QAction::triggered, this, &MainView::showAllGraph);

    actionPause = new QAction(tr("Pause Live View"), this);
    actionPause->setCheckable(true);
    actionPause->setShortcut(Qt::Key_Space);
    connect(actionPause, &QAction::toggled, this, &MainView::pauseLiveView);
    pausedLabel = new QLabel(tr("Live view paused"));
    pausedLabel->setObjectName(QStringLiteral("pausedLabel"));
    statusBar()->addPermanentWidget(pausedLabel);
    pausedLabel->hide();

    actionStartSaveLog = new QAction(tr("&Start Saving Log"), this);
    connect(actionStartSaveLog, &QAction::triggered, this, &MainView::saveLog);

    actionStopSaveLog = new QAction(tr("&Stop Saving Log"), this);
    connect(actionStopSaveLog, &QAction::triggered, this, &MainView::stopSaveLog);

    actionDfu = new QAction(tr("&Device Firmware Update"), this);
    connect(actionDfu, &QAction::triggered, this, &MainView::showDfu);

    actionConfig = new QAction(tr("Device Config"), this);
    connect(actionConfig, &QAction::triggered, this, &MainView::showConfig);

    actionIdentify = new QAction(tr("Identify The Device"), this);
    connect(actionIdentify, &QAction::triggered, this, &MainView::identifyDevice);
    connect(actionIdentify, &QAction::triggered, this, &MainView::identifyInfo);

    actionMagCalibration = new QAction(tr("Mag Calibration"), this);
    connect(actionMagCalibration, &QAction::triggered, this, &MainView::calibrateDevice);
    connect(actionMagCalibration, &QAction::triggered, this, &MainView::magCalibrateInfo);

    actionVersion = new QAction(tr("&Version"), this);
    connect(actionVersion, &QAction::triggered, this, &MainView::about);

    setLinkState(LinkState::Disconnected);
}

void MainView::createMenus()
{
    settingsMenu = menuBar()->addMenu(tr("&Settings"));
    settingsMenu->addAction(actionConnect);
    settingsMenu->addAction(actionDisconnect);
    settingsMenu->addSeparator();
    settingsMenu->addAction(actionReset);
    settingsMenu->addAction(actionReboot);

    graphsMenu = menuBar()->addMenu(tr("&Graphs"));
    graphsMenu->addAction(action3DView);
    graphsMenu->addSeparator();
    graphsMenu->addAction(actionAcc);
    graphsMenu->addAction(actionMag);
    graphsMenu->addAction(actionGyr);
    graphsMenu->addAction(actionEul);
    graphsMenu->addSeparator();
    graphsMenu->addAction(actionAllGraphs);
    graphsMenu->addSeparator();
    graphsMenu->addAction(actionPause);

    utilitiesMenu = menuBar()->addMenu(tr("&Utilities"));
    utilitiesMenu->addAction(actionStartSaveLog);
    utilitiesMenu->addAction(actionStopSaveLog);
    utilitiesMenu->addSeparator();
    utilitiesMenu->addAction(actionDfu);
    utilitiesMenu->addAction(actionConfig);
    utilitiesMenu->addSeparator();
    utilitiesMenu->addAction(actionIdentify);
    utilitiesMenu->addAction(actionMagCalibration);

    aboutMenu = menuBar()->addMenu(tr("&About"));
    aboutMenu->addAction(actionVersion);
}

void MainView::setLinkState(LinkState state)
{
    linkState = state;
    statusLine->setLinkState(state);
    if (state == LinkState::Disconnected)
        fusionMode = false; // until the module tells it again
    const bool disconnected = state == LinkState::Disconnected;
    const bool connected = state == LinkState::Connected;
    if (!connected)
        actionPause->setChecked(false);
    struct ActionState
    {
        QAction *action;
        bool visible;
        bool enabled;
    };
    const ActionState table[] = {
        { actionConnect, disconnected, true },
        { actionDisconnect, !disconnected, true },
        { actionReset, true, connected },
        { actionReboot, true, connected },
        { action3DView, true, connected },
        { actionAcc, true, connected },
        { actionMag, true, connected },
        { actionGyr, true, connected },
        { actionEul, true, connected },
        { actionAllGraphs, true, connected },
        { actionPause, true, connected },
        { actionStartSaveLog, !recording, connected },
        { actionStopSaveLog, recording, true },
        { actionDfu, true, true },
        { actionConfig, true, connected },
        { actionIdentify, true, connected },
        { actionMagCalibration, true, connected && fusionMode },
        { actionVersion, true, true },
    };
    for (const ActionState &entry : table) {
        entry.action->setVisible(entry.visible);
        entry.action->setEnabled(entry.enabled);
    }
}

void MainView::connectSignals()
{
    connect(worker, &Task::sendVersion, this, &MainView::receiveVersion);
    connect(worker, &Task::sendShowSerialdis, this, &MainView::showSerialdis);
    connect(
        worker, &Task::sendAwaitingPort, this, [this] { setLinkState(LinkState::AwaitingPort); });
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

void MainView::createCharts()
{
    struct ChartSetup
    {
        const char *title;
        std::array<const char *, 3> seriesNames;
        double limit;
        QString unit;
    };
    const std::array<ChartSetup, 4> setups { {
        { "Accelerometer Data", { "X", "Y", "Z" }, 50, QStringLiteral("m/s^2") },
        { "Magnetometer Data", { "X", "Y", "Z" }, 1600, QStringLiteral("\u03bcT") },
        { "Gyroscope Data", { "X", "Y", "Z" }, 1000, QStringLiteral("dps") },
        { "Euler Angle Data", { "Pitch", "Roll", "Yaw" }, 180, QStringLiteral("degrees") },
    } };
    for (std::size_t i = 0; i < charts.size(); ++i) {
        const ChartSetup &setup = setups[i];
        auto *chart = new ChartView;
        chart->setWindowTitle(tr(setup.title));
        QStringList names;
        for (const char *name : setup.seriesNames)
            names << tr(name);
        chart->setTraceNames(names);
        chart->setRangeLimits(-setup.limit, setup.limit);
        chart->setAxisTitle(setup.unit);
        chart->hide();
        charts[i] = chart;
    }
    zel::linkCharts(std::vector<ChartView *>(charts.begin(), charts.end()));
}

void MainView::createNotices()
{
    lowQualityBox = newNotice(QMessageBox::Warning, QStringLiteral("Low Quality"),
        QStringLiteral("Move to another location\nOr try to start calibration "
                       "again\n(Rotate device in 6 dimensions for 30 seconds)\n"));
    magCalibrationBox = newNotice(QMessageBox::Information, tr("Mag Calibration"),
        tr("Rotate the device in 6 dimensions for 30 seconds."));
    magCalibrationSuccessBox = newNotice(QMessageBox::Information, tr("Mag Calibration Success"),
        tr("Keep the device steady to calibrate gyroscope."));
}

void MainView::logMessageFromThread(QString s)
{
    if (s.isEmpty())
        return;
    const int lines = s.count(QLatin1Char('\n')) + 1;
    pendingConsoleTexts += s;
    pendingConsoleTextLines += lines;
    pendingConsoleLines += lines;
    // Texts beyond what the console shows would only be dropped again.
    while (pendingConsoleLines - pendingConsoleTextLines.first() >= consoleBlockLimit) {
        pendingConsoleLines -= pendingConsoleTextLines.takeFirst();
        pendingConsoleTexts.removeFirst();
    }
    if (!actionPause->isChecked() && !consoleTimer->isActive())
        consoleTimer->start();
}

void MainView::appendPendingConsoleLines()
{
    if (pendingConsoleTexts.isEmpty() || actionPause->isChecked())
        return;
    plainTextEdit->appendPlainText(pendingConsoleTexts.join(QLatin1Char('\n')));
    pendingConsoleTexts.clear();
    pendingConsoleTextLines.clear();
    pendingConsoleLines = 0;
}

void MainView::receiveSamples(const zel::SensorSamples &samples)
{
    ZEL_TAKEN_BACK(samples.constData());
    for (const zel::SensorSample &sample : samples) {
        charts[0]->receiveSample(sample.timestamp, sample.acc[0], sample.acc[1], sample.acc[2]);
        charts[1]->receiveSample(sample.timestamp, sample.mag[0], sample.mag[1], sample.mag[2]);
        charts[2]->receiveSample(sample.timestamp, sample.gyr[0], sample.gyr[1], sample.gyr[2]);
        charts[3]->receiveSample(
            sample.timestamp, sample.euler[0], sample.euler[1], sample.euler[2]);
        if (zel::isGoodQuality(sample.qualityStatus))
            alertGoodQuality();
    }
    if (!samples.isEmpty()) {
        const auto &angleAxis = samples.constLast().angleAxis;
        cubeView->receiveAngleAxis(angleAxis[0], angleAxis[1], angleAxis[2], angleAxis[3]);
    }
}

void MainView::pauseLiveView(bool paused)
{
    for (ChartView *chart : charts)
        chart->setPaused(paused);
    cubeView->setPaused(paused);
    pausedLabel->setVisible(paused);
    if (!paused)
        appendPendingConsoleLines();
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
    setLinkState(LinkState::PortOpen);
}

void MainView::receiveVersion(QString version)
{
    firmwareVersion = version;
    if (reportsNoModule(version)) {
        enterDisconnectedState(false);
    } else {
        setLinkState(LinkState::Connected);
        statusLine->setFirmware(version);
    }
}

void MainView::receiveIsAHRS(bool isAHRS)
{
    fusionMode = isAHRS;
    setLinkState(linkState);
}

void MainView::enterDisconnectedState(bool stopSerialPort)
{
    dataCtrlView->hide();
    setLinkState(LinkState::Disconnected);
    if (stopSerialPort)
        emit proxyStopSerialPort();
    // A link that drops by itself is looked for again, and the recording
    // goes on; the worker ends it if the link stays away.
    if (recording && stopSerialPort)
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
    if (recording)
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
    QSettings settings;
    const QString folder = settings.value(logFolderKey).toString();
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save Log"), QDir(folder).filePath(QStringLiteral("data.csv")), tr("csv (*.csv)"));
    if (!fileName.isEmpty() && linkState != LinkState::Connected) {
        // The link dropped while the dialog was open.
        execMessageBox(
            QMessageBox::Warning, tr("Save Log"), tr("Not Connected. The log was not started."));
        return;
    }
    QFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qInfo() << "open log file fail in mainwindows.cpp";
        if (!fileName.isEmpty()) {
            const QString text = tr("Cannot create %1: %2").arg(fileName, file.errorString());
            statusLine->setNotice(text);
            execMessageBox(QMessageBox::Warning, tr("Save Log"), text);
        }
        return;
    }
    settings.setValue(logFolderKey, QFileInfo(fileName).absolutePath());
    file.write(zel::csvHeader());
    file.close();
    emit proxySaveLog(fileName);
    recording = true;
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
    recording = false;
    setLinkState(linkState);
    statusLine->recordingEnded(reason);
}

void MainView::identifyInfo()
{
    QMessageBox *box = newNotice(QMessageBox::NoIcon, tr("Identify"),
        tr("Status LED will blink in bright blue for 1 minute."));
    box->setAttribute(Qt::WA_DeleteOnClose);
    showForAWhile(box, identifyNoticeHideMs);
}

void MainView::magCalibrateInfo()
{
    magCalibrating = true;
    goodQualityCount = 0;
    showForAWhile(magCalibrationBox, noticeHideMs);
}

void MainView::alertPoorQuality()
{
    lowQualityBox->show();
}

void MainView::alertGoodQuality()
{
    if (lowQualityBox->isVisible())
        lowQualityBox->close();
    if (!magCalibrating)
        return;
    if (goodQualityCount > 10) {
        magCalibrating = false;
        goodQualityCount = 0;
        magCalibrationBox->hide();
        showForAWhile(magCalibrationSuccessBox, noticeHideMs);
    } else {
        ++goodQualityCount;
    }
}

void MainView::alertDisconnectByBLE()
{
    // The module may repeat its notice before the port is closed; the box
    // already up answers it.
    if (bleNoticeShown)
        return;
    bleNoticeShown = true;
    emit proxyStopSerialPort();
    if (recording)
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
        if (recording)
            endRecording(tr("firmware update"));
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
    toggleWindow(cubeView);
}

void MainView::showAccChart()
{
    toggleWindow(charts[0]);
}

void MainView::showMagChart()
{
    toggleWindow(charts[1]);
}

void MainView::showGyrChart()
{
    toggleWindow(charts[2]);
}

void MainView::showEulChart()
{
    toggleWindow(charts[3]);
}

void MainView::showAllGraph()
{
    const QList<QWidget *> graphs = graphWindows();
    const bool anyVisible
        = std::any_of(graphs.begin(), graphs.end(), [](QWidget *w) { return w->isVisible(); });
    for (QWidget *graph : graphs) {
        if (anyVisible)
            graph->hide();
        else
            bringToFront(graph);
    }
}

QList<QWidget *> MainView::graphWindows() const
{
    return { cubeView, charts[0], charts[1], charts[2], charts[3] };
}

// A missing or unreadable settings file leaves the defaults.
void MainView::restoreWindows()
{
    QSettings settings;
    restoreGeometry(settings.value(geometryKey).toByteArray());
    const QStringList open = settings.value(openGraphsKey).toStringList();
    const QList<QWidget *> graphs = graphWindows();
    for (int i = 0; i < graphs.size(); ++i) {
        if (open.contains(QString::number(i)))
            graphs[i]->show();
    }
}

void MainView::saveWindows()
{
    QSettings settings;
    settings.setValue(geometryKey, saveGeometry());
    QStringList open;
    const QList<QWidget *> graphs = graphWindows();
    for (int i = 0; i < graphs.size(); ++i) {
        if (graphs[i]->isVisible())
            open << QString::number(i);
    }
    settings.setValue(openGraphsKey, open);
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
    // The console, being editable, would keep Space for itself, and it has
    // the focus whenever the main window has; while the pause can be used,
    // Space is the pause's.
    if (watched != plainTextEdit || event->type() != QEvent::ShortcutOverride)
        return QMainWindow::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier
        || !actionPause->isEnabled())
        return false;
    event->ignore();
    return true;
}

void MainView::closeEvent(QCloseEvent *event)
{
    saveWindows();
    stopWorker();
    for (ChartView *chart : charts)
        chart->close();
    cubeView->close();
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
