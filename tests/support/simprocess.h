#pragma once

#include <QProcess>
#include <QStringList>

// Runs the module simulator for a test: starts build/bin/zel-sim (path from
// the environment variable ZEL_SIM), learns its port from the first line it
// prints, and collects the event lines it prints afterwards.
class SimProcess
{
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Starts the simulator and waits for its port line.
    bool start(const QStringList &arguments = {}, int timeoutMs = 10000);
    QString portPath() const { return port; }

    // Sends one control line on the simulator's standard input.
    void control(const QString &line);
    // Waits for an event line starting with `prefix`, returns it (or an empty
    // text on timeout). Events already seen count; each is returned once.
    QString waitForEvent(const QString &prefix, int timeoutMs = 10000);
    // Every event line seen so far.
    QStringList events();
    void stop();

private:
    void collect();

    QProcess process;
    QString port;
    QByteArray pending;
    QStringList seen;
    int consumedUpTo = 0;
};
