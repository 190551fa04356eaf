#pragma once

// One connection to the module through the device worker, driven as the
// window drives it but on the program's main thread: the worker's 5 ms poll
// runs on this event loop, and its reports are kept here for the commands.

#include "task.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

namespace zel::cli {

class UnixSignals;

class Session : public QObject
{
    Q_OBJECT

public:
    explicit Session(UnixSignals &unixSignals);
    ~Session() override;

    // False, with `failure` set to what the window would say, when the
    // port does not open.
    bool open(const QString &portName, int baudRate);

    // Turns the event loop until `done` holds, `timeoutMs` has passed (a
    // negative bound waits for ever), a signal arrived or the link ended
    // for good; returns whether `done` holds.
    bool waitFor(const std::function<bool()> &done, int timeoutMs);
    // Whatever ended the wait early: a signal or the end of the link.
    bool interrupted() const { return caughtSignal != 0 || !linkEnded.isEmpty(); }
    // The exit code and the reason for an interrupted run.
    int interruptionExitCode() const;
    QString interruptionReason() const;

    Task task { nullptr };
    QString failure;
    QString version; // empty while the module has not told it
    QByteArray dataCtrl;
    float magField = 0;
    int recordsReceived = 0;

signals:
    void changed();

private:
    void endLink(const QString &reason);

    int caughtSignal = 0;
    QString linkEnded;
};

} // namespace zel::cli
