#pragma once

#include "linkstate.h"
#include "protocol.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <array>

class ConnectionView;
class ConsoleFeed;
class DataCtrlView;
class DeviceNotices;
class DfuView;
class GraphWindows;
class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QThread;
class StatusLine;
class Task;
class RecordingPanel;

namespace Ui {
class MainView;
}

// The main window: it creates every other window, the worker and its
// thread, wires them together, sets its actions from the link state and
// tells the user about the module through its notices.
class MainView : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainView(QWidget *parent = nullptr);
    ~MainView() override;

    static const QString programVersion;

    // The last version text the worker reported ("Not Connected" when there
    // is no link).
    static QString currentFirmwareVersion();

    // The device worker, for tests that speak for it.
    Task *deviceWorker() const { return worker; }

signals:
    void proxySaveLog(QString filename);
    void proxyStopSaveLog();
    void proxyStopSerialPort();
    void proxyResetDevice();
    void proxyRebootDevice();
    void proxyIdentifyDevice();
    void proxyCalibrateDevice();
    void proxyreqestDataCtrl();

public slots:
    void about();
    void magCalibrateInfo();
    void identifyInfo();
    void logMessageFromThread(QString s);
    void showConeection();
    void disconnection();
    void showDfu();
    void showConfig();
    void showCubeView();
    void showAccChart();
    void showMagChart();
    void showGyrChart();
    void showEulChart();
    void showAllGraph();
    void saveLog();
    void stopSaveLog();
    void resetDevice();
    void rebootDevice();
    void identifyDevice();
    void calibrateDevice();
    void alertPoorQuality();
    void alertGoodQuality();
    void alertDisconnectByBLE();
    void showSerialdis();
    void receiveIsAHRS(bool isAHRS);
    void dfuSuccess();
    void dfuFailed();
    void receiveVersion(QString version);
    // Feeds one poll's samples to the charts and its last attitude to the cube.
    void receiveSamples(const zel::SensorSamples &samples);
    // Holds the charts, the cube and the console still, or lets them catch up.
    void pauseLiveView(bool pause);
    void openFailed(
        const QString &portName, QSerialPort::SerialPortError error, const QString &reason);
    void recordingEnded(const QString &reason, bool fileFault);
    // Plays a data log in the views in place of the module; the tool stays
    // as it was when the file cannot be read or the user cancels reading it.
    void openRecording();
    bool openRecordingFile(const QString &path);
    void closeRecording();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createActions();
    void createMenus();
    void connectSignals();
    // Creates an action that follows the link.
    QAction *newLinkAction(
        LinkAction action, const QString &text, void (MainView::*slot)() = nullptr);
    // Shows every action, or hides it, and enables it as the link state,
    // the recording, the module's fusion mode and the pause allow.
    void setLinkState(LinkState state);
    // Only the user, and a link that has ended for good, end a pause: it
    // holds through the link's hiccups.
    void endPause();
    void enterDisconnectedState(bool stopSerialPort);
    void endRecording(const QString &reason);
    // A modal box with no default button; returns the button pressed.
    int execMessageBox(QMessageBox::Icon icon, const QString &title, const QString &text,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    void stopWorker();

    LinkState linkState = LinkState::Disconnected;
    LinkContext linkContext;
    std::array<QAction *, linkActionCount> linkActions {};
    // The multiple-connection box is up.
    bool bleNoticeShown = false;

    QAction *actionStartSaveLog;
    QAction *actionStopSaveLog;
    QAction *actionOpenRecording;
    QAction *actionCloseRecording;
    QAction *actionConnect;
    QAction *actionDisconnect;
    DeviceNotices *notices = nullptr;
    QThread *workerThread;
    Ui::MainView *ui;
    Task *worker;
    ConnectionView *connectionView;
    DfuView *dfuView;
    DataCtrlView *dataCtrlView;
    GraphWindows *graphs;
    QPlainTextEdit *plainTextEdit;
    ConsoleFeed *consoleFeed;
    QLabel *pausedLabel;
    RecordingPanel *recordingPanel;
    StatusLine *statusLine;
    QMenu *settingsMenu;
    QMenu *graphsMenu;
    QMenu *utilitiesMenu;
    QMenu *aboutMenu;
    QAction *actionReset;
    QAction *actionReboot;
    QAction *action3DView;
    QAction *actionAcc;
    QAction *actionMag;
    QAction *actionGyr;
    QAction *actionEul;
    QAction *actionAllGraphs;
    QAction *actionPause;
    QAction *actionDfu;
    QAction *actionConfig;
    QAction *actionIdentify;
    QAction *actionMagCalibration;
    QAction *actionVersion;
};
