#pragma once

// The whole firmware update behind the update window's Connect button: open
// the port, greet the module, announce the update, stream the image in
// chunks, reset the module. It runs to its end before returning and reports
// through a sink, so it can run without a window.

#include <QString>

class QSerialPort;

namespace zel::dfu {

// Where the procedure shows what it does. The window is the real one; the
// progress is read back because the outcome is judged by what the bar shows.
class DfuProcedureSink
{
public:
    virtual ~DfuProcedureSink() = default;
    virtual void appendLog(const QString &text) = 0;
    virtual void clearLog() = 0;
    virtual void setProgress(int value) = 0;
    virtual int progress() const = 0;
    virtual void updateInterrupted() = 0;
    // The chosen file could not be read; `reason` says why.
    virtual void fileOpenFailed(const QString &reason) = 0;
};

enum class DfuOutcome {
    // Stopped before an update began: no file, no port, a silent or wrong
    // greeting or a refused descriptor.
    NotStarted,
    Succeeded,
    // Also a file that cannot be sent, and a module that kept streaming
    // instead of answering the greeting: the user is told it failed.
    Failed,
};

// Runs the update of `fileName` through `port`, opened anew on the port of
// `portEntry`. A file that cannot be sent is refused before the port is
// opened; the port is closed again at every end after it was opened.
DfuOutcome runFirmwareUpdate(
    QSerialPort &port, const QString &portEntry, const QString &fileName, DfuProcedureSink &sink);

} // namespace zel::dfu
