#pragma once

// The whole module as the host meets it on the line: its application
// firmware, and its firmware-update service, which takes over when the host
// greets the module with the update hello at 921600 baud. The service's
// reset brings the application back, at the UART rate it was configured
// for and with the version the update installed.
//
// Like the application model, it has no clock and no port of its own;
// callers pass the time in nanoseconds on one monotonic clock.

#include "applicationfirmware.h"
#include "updateservice.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace zel::sim {

// The only rate the update service listens at.
constexpr int updateServiceBaud = 921600;

struct UpdateOptions
{
    UpdateFaults faults;
    // The version a good update installs; without one, the next minor
    // version of the firmware being replaced.
    bool hasNextFirmware = false;
    FirmwareVersion nextFirmware;
};

// The version an update installs when nobody said which: the next minor
// version, carried into the major number; the highest version stays.
FirmwareVersion nextMinorVersion(const FirmwareVersion &version);

// Finds the update hello in the host's bytes, however they were cut up on
// the way. Bytes that cannot be the start of a hello are let go at once, and
// so is the start of one that the host does not finish in time.
class HelloWatch
{
public:
    // As long as the firmware's receive timeout: a host writes its hello in
    // one go, if in two pieces.
    static constexpr qint64 partialHelloTimeoutNs = 20'000'000;

    // The host's bytes from the hello on, once they hold one; empty until
    // then. What it returns is forgotten.
    QByteArray feed(const QByteArray &bytes, qint64 nowNs);
    // Whether the bytes so far could be the start of a hello that is still
    // coming.
    bool expectsRestOfHello(qint64 nowNs) const;
    void clear() { m_pending.clear(); }

private:
    QByteArray m_pending;
    qint64 m_lastBytesNs = 0;
};

class SimulatedModule
{
public:
    SimulatedModule(const ModuleOptions &module, const UpdateOptions &update);

    void receive(const QByteArray &fromHost, qint64 nowNs);
    // Bytes due on the line by nowNs, from whichever firmware is running.
    // The update service's answers come in whole runs: like the USB bridge,
    // the module hands over bytes that follow each other back to back once
    // the run is over, so a late caller cannot cut an answer in two, while
    // the silences between runs stay as long as the service made them.
    QByteArray transmit(qint64 nowNs);
    // The host leaving 921600 while the update service runs abandons the
    // update: nobody can talk to the service any more, so the module goes
    // back to its application firmware.
    void setHostBaud(int baud, qint64 nowNs);

    bool inUpdateService() const { return m_service != nullptr; }
    ApplicationFirmware &application() { return m_application; }
    const ApplicationFirmware &application() const { return m_application; }

    // Images installed by complete updates since start-up, and the last.
    int installCount() const { return m_installs; }
    QByteArray installedImage() const { return m_installed; }

    // Happenings since the last call, one line each, the application's and
    // the update service's in the order they happened.
    QStringList takeEvents();
    QList<QByteArray> takeSentSensorFrames() { return m_application.takeSentSensorFrames(); }

private:
    void enterUpdateService(const QByteArray &fromHello, qint64 nowNs);
    void leaveUpdateService(qint64 nowNs);
    void collectApplicationEvents();
    void collectServiceEvents();

    UpdateOptions m_update;
    ApplicationFirmware m_application;
    std::unique_ptr<UpdateService> m_service;
    QByteArray m_answerRun;
    int m_serviceInstallsSeen = 0;
    HelloWatch m_helloWatch;
    int m_hostBaud;
    int m_installs = 0;
    QByteArray m_installed;
    QStringList m_events;
};

} // namespace zel::sim
