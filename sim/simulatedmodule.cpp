#include "simulatedmodule.h"

namespace zel::sim {

namespace {

constexpr int highestVersionNumber = 15; // each number travels in a nibble
// Bytes of one answer follow each other a byte time (about 11 us) apart; the
// service leaves at least 200 us between answers.
constexpr qint64 runJoinNs = 100'000;

qint64 toUs(qint64 ns)
{
    return ns / 1000;
}

} // namespace

FirmwareVersion nextMinorVersion(const FirmwareVersion &version)
{
    if (version.minor < highestVersionNumber)
        return FirmwareVersion { version.major, version.minor + 1, 0 };
    if (version.major < highestVersionNumber)
        return FirmwareVersion { version.major + 1, 0, 0 };
    return FirmwareVersion { highestVersionNumber, highestVersionNumber, highestVersionNumber };
}

QByteArray HelloWatch::feed(const QByteArray &bytes, qint64 nowNs)
{
    static const QByteArray hello = UpdateService::helloRequest();
    if (!expectsRestOfHello(nowNs))
        m_pending.clear();
    m_lastBytesNs = nowNs;
    m_pending += bytes;
    for (int start = 0; start < m_pending.size(); ++start) {
        const QByteArray tail
            = QByteArray::fromRawData(m_pending.constData() + start, m_pending.size() - start);
        if (tail.startsWith(hello)) {
            const QByteArray fromHello = m_pending.mid(start);
            m_pending.clear();
            return fromHello;
        }
        if (tail.size() < hello.size() && hello.startsWith(tail)) {
            m_pending.remove(0, start);
            return QByteArray();
        }
    }
    m_pending.clear();
    return QByteArray();
}

bool HelloWatch::expectsRestOfHello(qint64 nowNs) const
{
    return !m_pending.isEmpty() && nowNs - m_lastBytesNs < partialHelloTimeoutNs;
}

SimulatedModule::SimulatedModule(const ModuleOptions &module, const UpdateOptions &update)
    : m_update(update)
    , m_application(module)
    , m_hostBaud(m_application.hostBaud())
{
}

void SimulatedModule::receive(const QByteArray &fromHost, qint64 nowNs)
{
    if (m_service) {
        m_service->receive(fromHost, nowNs);
        collectServiceEvents();
        return;
    }
    if (m_hostBaud == updateServiceBaud && m_update.faults.hello != UpdateFaults::Hello::Ignored) {
        const QByteArray fromHello = m_helloWatch.feed(fromHost, nowNs);
        if (!fromHello.isEmpty()) {
            enterUpdateService(fromHello, nowNs);
            return;
        }
    }
    m_application.receive(fromHost, toUs(nowNs));
}

QByteArray SimulatedModule::transmit(qint64 nowNs)
{
    if (!m_service) {
        // The firmware holds its stream while it hears what may be the start
        // of an update request, so that the service's answer does not come
        // after a stray piece of a sensor frame.
        if (m_helloWatch.expectsRestOfHello(nowNs))
            return QByteArray();
        return m_application.transmit(toUs(nowNs));
    }
    m_answerRun += m_service->takeDue(nowNs);
    collectServiceEvents();
    const qint64 nextDueNs = m_service->nextDueNs();
    if (nextDueNs >= 0 && nextDueNs - nowNs < runJoinNs)
        return QByteArray(); // the run goes on
    QByteArray run;
    run.swap(m_answerRun);
    // The module restarts once the reset's acknowledgement is out.
    if (m_service->resetCount() > 0 && !m_service->hasPendingOutput())
        leaveUpdateService(nowNs);
    return run;
}

void SimulatedModule::setHostBaud(int baud, qint64 nowNs)
{
    if (baud == m_hostBaud)
        return;
    m_hostBaud = baud;
    m_helloWatch.clear();
    if (m_service) {
        if (baud != updateServiceBaud)
            leaveUpdateService(nowNs);
        return;
    }
    m_application.setHostBaud(baud, toUs(nowNs));
}

QStringList SimulatedModule::takeEvents()
{
    collectApplicationEvents();
    QStringList events;
    events.swap(m_events);
    return events;
}

void SimulatedModule::enterUpdateService(const QByteArray &fromHello, qint64 nowNs)
{
    collectApplicationEvents();
    const FirmwareVersion current = m_application.firmware();
    m_service = std::make_unique<UpdateService>(m_update.faults);
    m_service->setFirmwareVersion(current);
    m_service->setNextFirmwareVersion(
        m_update.hasNextFirmware ? m_update.nextFirmware : nextMinorVersion(current));
    m_serviceInstallsSeen = 0;
    m_events.append(QStringLiteral("dfu-start"));
    m_service->receive(fromHello, nowNs);
    collectServiceEvents();
}

void SimulatedModule::leaveUpdateService(qint64 nowNs)
{
    collectServiceEvents();
    const bool reset = m_service->resetCount() > 0;
    const FirmwareVersion firmware = m_service->firmwareVersion();
    m_service.reset();
    m_answerRun.clear();
    m_helloWatch.clear();
    m_application.restartFirmware(firmware, toUs(nowNs));
    m_application.setHostBaud(m_hostBaud, toUs(nowNs));
    m_events.append(reset ? QStringLiteral("dfu-reset") : QStringLiteral("dfu-abandoned"));
    m_events.append(QStringLiteral("firmware ") + firmware.toString());
}

void SimulatedModule::collectApplicationEvents()
{
    m_events += m_application.takeEvents();
}

void SimulatedModule::collectServiceEvents()
{
    m_events += m_service->takeEvents();
    if (m_service->installCount() > m_serviceInstallsSeen) {
        m_serviceInstallsSeen = m_service->installCount();
        m_installed = m_service->installedImage();
        ++m_installs;
    }
}

} // namespace zel::sim
