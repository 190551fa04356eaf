#pragma once

#include "consoleclock.h"
#include "protocol.h"

#include <QByteArray>
#include <QDate>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTime>

class QThread;
class QTimer;
class UartTask;

// What the worker reports through sendVersion while no module answers on
// its port, and whether a report says so.
inline const QString notConnectedText = QStringLiteral("Not Connected");
inline bool reportsNoModule(const QString &version)
{
    return version.contains(notConnectedText);
}

// The device worker. It opens the module's port, moves itself to its worker
// thread on the first successful connect, and from then on polls the port
// every 5 ms: it cuts the byte stream into frames, decodes them, sends the
// module's commands and requests, and appends the data log while recording.
// Other threads reach it only through queued signals.
class Task : public QObject
{
    Q_OBJECT

public:
    explicit Task(QThread *thread);
    ~Task() override;

    // Port access, for tests that drive the worker on their own thread.
    UartTask *port() const { return uartTask; }

    static constexpr int pollIntervalMs = 5;
    static constexpr int closedCyclesBeforeReport = 100;
    static constexpr int emptyPollsBeforeReopen = 100;
    // About four times a second.
    static constexpr int cyclesPerCountsReport = 50;
    // A port gone for longer ends the recording.
    static constexpr int portGoneMsBeforeRecordingEnds = 10000;

    virtual void pollSerialPort();
    virtual QString parseSensorFrame(
        const uchar *buffer, qint64 index, int &length, const QDate &date, const QTime &time);
    virtual void parseVersionFrame(const uchar *buffer, qint64 index, int &length);
    virtual void parseDataCtrlFrame(const uchar *buffer, qint64 index, int &length);
    virtual void requestDataCtrl();
    virtual void requestVersion();

public slots:
    virtual void serialInit(const QString &portName, int baudRate, bool alertBadQuality);

    void serialInit(const QString &portName, int baudRate);
    int setBaudRate(int baudRate, bool reopen);
    void resetDevice();
    void rebootDevice();
    void identifyDevice();
    void calibrateDevice();
    void getDataCtrl();
    void setDataCtrl(const QByteArray &dataCtrl, float magField);
    void run();
    void closeSerialPort();
    void startSaveLog(const QString &fileName);
    void stopSaveLog();

    // Ends the polling loop for good: closes the port, quits the worker
    // thread's event loop and hands the worker back to the application's
    // main thread, so that the owner can wait for the thread and delete the
    // worker. Runs on the worker's thread (queue it from elsewhere).
    void stop();

signals:
    void signalLogMessage(QString logMessage);
    // One signal per quantity and frame: the worker's published interface,
    // kept for any receiver that wants a frame at a time. The tool's own
    // windows take sendSamples instead.
    void sendAngleAxis(float rad, float x, float y, float z);
    void sendAcc(float x, float y, float z);
    void sendMag(float x, float y, float z);
    void sendGyr(float x, float y, float z);
    void sendEul(float p, float r, float y);
    // The samples of one poll in one go, after their per-frame signals: the
    // route the window takes, a single queued call where five per frame
    // would wake the receiving thread again and again.
    void sendSamples(const zel::SensorSamples &samples);
    void sendAlertPoorQuality();
    void sendAlertGoodQuality();
    void sendVersion(QString version);
    void sendDataCtrl(QByteArray dataCtrl, float magField);
    void sendAlertDisconnectByBLE();
    void sendShowSerialdis();
    void sendIsAHRS(bool isAHRS);
    // The port vanished; the worker looks for it again until it is back or
    // the user disconnects.
    void sendAwaitingPort();
    // The port has been gone for longer than the search is worth waiting
    // for: the link has ended for good, though the search goes on until the
    // user disconnects. Sent once per loss.
    void sendPortGoneForGood();
    void sendPortOpened(QString portName, int baudRate);
    void sendOpenFailed(QString portName, QSerialPort::SerialPortError error, QString reason);
    // Sensor frames and bytes received since the last report, and the rows
    // of the current recording.
    void sendLinkCounts(int frames, qint64 bytes, int logRows);
    // The worker ended the recording itself; `fileFault` when the file
    // could not be written.
    void sendRecordingEnded(QString reason, bool fileFault);
    void sendStatusNotice(QString text);
    void startRun();

private:
    enum class Reopen {
        UserConnect, // both buffers cleared
        SilenceRule, // the bytes that arrive meanwhile belong to the stream
        PortSearch, // as the silence rule, and quiet while it fails
    };
    // Closes and re-opens the port and starts asking the module for its
    // version again: the user's connect, the silence rule and the search for
    // a vanished port all re-open through here. False when the port did not
    // open.
    bool reopen(const QString &portName, int baudRate, Reopen kind);
    void startPortSearch();
    void retryVanishedPort();
    void endRecording(const QString &reason, bool fileFault);
    void writeFrame(const QByteArray &frame);
    void sendCommand(zel::MaintenanceCommand command);
    void applySilenceRule();
    void appendLogRow(const zel::SensorSample &sample);
    // Emits the frame's values, watches its quality and logs its row.
    zel::SensorSample decodeSensorFrame(const uchar *buffer, qint64 index, int &length);

    UartTask *uartTask;
    QThread *workerThread;
    bool dataCtrlPending = true;
    bool versionPending = true;
    bool connected = true;
    bool dataOutputEnabled = true;
    int poorQualityLimit = 1500;
    bool running = false;
    int disconnectCounter = 0;
    bool qualityAlertArmed = true;
    bool isAHRS = false;
    int poorQualityCount = 0;
    bool saveLogEnabled = false;
    QString logFileName;
    char rxBuffer[zel::rxBufferSize];
    qint64 rxLength = 0;
    int pollCounter = 0;
    int emptyReadCount = 0;
    QTimer *pollTimer;
    bool stopped = false;
    bool awaitingPort = false;
    QElapsedTimer portGone;
    bool portGoneReported = false;
    int cyclesSinceCounts = 0;
    int framesCounted = 0;
    qint64 bytesCounted = 0;
    int logRows = 0;
    // Data-control requests sent on this connection and not answered yet,
    // and how many of those were sent before the last configuration write.
    int dataCtrlRequestsUnanswered = 0;
    int staleDataCtrlReplies = 0;
    zel::ConsoleClock consoleClock;
};
