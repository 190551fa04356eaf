#pragma once

// Serves the module's update service on a pseudo-terminal, on a thread of
// its own: the host opens portPath() at 921600 baud as it would open the
// module's serial port, and the service's answers come back paced at the
// line rate.

#include "updateservice.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>
#include <thread>

class PtyUpdateServer
{
public:
    explicit PtyUpdateServer(const zel::sim::UpdateFaults &faults = {});
    ~PtyUpdateServer();
    PtyUpdateServer(const PtyUpdateServer &) = delete;
    PtyUpdateServer &operator=(const PtyUpdateServer &) = delete;

    // Opens the pseudo-terminal pair and starts serving; false with
    // errorString() set when the system has no pseudo-terminal to give.
    bool start();
    QString portPath() const { return slavePath; }
    QString errorString() const { return error; }

    QByteArray image() const;
    QByteArray installedImage() const;
    zel::sim::FirmwareVersion firmwareVersion() const;
    int installCount() const;
    qint64 bytesReceived() const;
    qint64 bytesAnswered() const;

private:
    void serve();
    void stop();

    int masterFd = -1;
    // The harness holds the terminal side open itself, so the master never
    // sees a hang-up between two opens by the host.
    int slaveKeeperFd = -1;
    int wakePipe[2] = { -1, -1 };
    QString slavePath;
    QString error;

    mutable std::mutex serviceMutex;
    zel::sim::UpdateService service;
    std::atomic<bool> stopping { false };
    std::thread worker;
};
