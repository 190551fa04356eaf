#pragma once

// The whole tool, its main window in this process, against the module
// simulator: the steps a user takes (connect from the dialog, record,
// open the update window) and what the tool reports back, counted.

#include "simprocess.h"

#include <QString>
#include <QStringList>

#include <functional>

class MainView;
class QAction;
class QMainWindow;

class ToolHarness
{
public:
    ToolHarness() = default;
    ~ToolHarness();
    ToolHarness(const ToolHarness &) = delete;
    ToolHarness &operator=(const ToolHarness &) = delete;

    // Starts the simulator, then the tool with the simulator's port (or
    // `portPath`, a link to it) listed as the module's and preselected.
    bool start(const QStringList &simArguments, const QString &portPath = QString());
    // Closes the tool as its user would and stops the simulator.
    void stop();

    // Connect in the connection dialog at `baudRate`; true when the dialog
    // hid itself, as it does whether or not the port opens.
    bool pressConnect(const QString &baudRate = QStringLiteral("115200"));
    // True once the module has answered and the device actions are enabled.
    bool waitUntilConnected(int timeoutMs = 15000);
    // "&Start Saving Log" into `path`; true when recording is on.
    bool startRecording(const QString &path);
    void stopRecording();
    bool isRecording() const;
    // "&Device Firmware Update", answering its question with Yes; true when
    // the update window is shown.
    bool openUpdateWindow();

    MainView *window() const { return mainView; }
    QMainWindow *updateWindow() const;
    QAction *action(const QString &text) const;
    SimProcess &simulator() { return sim; }

    // Sensor samples that reached the main window since the tool started.
    int samples() const { return sampleCount; }
    // Polls that read bytes, split by whether they decoded any frame.
    int decodedPolls() const { return decodedPollCount; }
    int undecodedPolls() const { return undecodedPollCount; }
    // Every version text the worker reported, "Not Connected" included.
    QStringList versions() const { return versionTexts; }
    // Sensor frames the simulator has recorded as sent (its --record file).
    qint64 framesSent(const QString &recordPath) const;

private:
    SimProcess sim;
    MainView *mainView = nullptr;
    int sampleCount = 0;
    int decodedPollCount = 0;
    int undecodedPollCount = 0;
    QStringList versionTexts;
};

// Waits, turning the event loop, until `condition` holds or `timeoutMs`
// passes; the result is the condition's last value.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs);
