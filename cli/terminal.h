#pragma once

// What zel-cli shares with the terminal around it: its exit codes, its two
// output streams and the Unix signals that end a run.

#include <QByteArray>
#include <QObject>
#include <QString>

namespace zel::cli {

enum ExitCode : int {
    ExitOk = 0,
    ExitFailed = 1, // refused, no answer in time, or a check failed
    ExitUsage = 2,
    ExitNoPort = 3,
};

// A run ended by a signal exits as a shell reports it: 130 for Ctrl-C.
inline int exitCodeForSignal(int signalNumber)
{
    return 128 + signalNumber;
}

// Results go to standard output whole, whatever the pipe takes at a time.
void writeOut(const QByteArray &bytes);
void writeErr(const QString &text);
bool stderrIsTerminal();

// Ctrl-C, SIGTERM and SIGHUP reach the event loop through a self-pipe as
// `received`; nothing but write(2) runs in the handler.
class UnixSignals : public QObject
{
    Q_OBJECT

public:
    UnixSignals();

    // While a step blocks the event loop (the firmware update), the first
    // Ctrl-C writes `notice` and the second ends the program; an empty
    // notice restores the normal route.
    static void setBlockingNotice(const char *notice);

signals:
    void received(int signalNumber);
};

} // namespace zel::cli
