#pragma once

// The whole tool, its main window in this process, against the module
// simulator: the steps a user takes and what the tool reports back.

#include "simprocess.h"

class MainView;
class QAction;

class ToolHarness
{
public:
    ToolHarness() = default;
    ~ToolHarness();
    ToolHarness(const ToolHarness &) = delete;
    ToolHarness &operator=(const ToolHarness &) = delete;

    // Starts the simulator, then the tool with the simulator's port (or
    // `port`, a link to it) listed as the module's.
    bool start(const QStringList &simArguments, const QString &port = QString());
    // Starts the tool alone; true when it preselects `port` as the module's.
    bool open(const QString &port);
    // Connect in the connection dialog; true when the dialog hid itself.
    bool pressConnect(const QString &baudRate = QStringLiteral("115200"));
    // True once the module has answered and the device actions are enabled.
    bool waitUntilConnected();
    bool startRecording(const QString &path);
    bool isRecording() const;
    // Answers the update question with Yes and, once the worker has let go
    // of the port, chooses `firmware` in the update window.
    bool openUpdateWindow(const QString &firmware);
    QAction *action(const char *text) const;

    SimProcess sim;
    MainView *window = nullptr;
    // Sensor samples that reached the main window.
    int samples = 0;
};
