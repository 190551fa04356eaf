#include "ptyupdateserver.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

qint64 monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(
        QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

PtyUpdateServer::PtyUpdateServer(const zel::sim::UpdateFaults &faults)
    : service(faults)
{
}

PtyUpdateServer::~PtyUpdateServer()
{
    stop();
    for (int fd : { masterFd, slaveKeeperFd, wakePipe[0], wakePipe[1] }) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool PtyUpdateServer::start()
{
    masterFd = posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd < 0) {
        error = systemError("posix_openpt");
        return false;
    }
    if (grantpt(masterFd) != 0 || unlockpt(masterFd) != 0) {
        error = systemError("grantpt/unlockpt");
        return false;
    }
    const char *name = ptsname(masterFd);
    if (!name) {
        error = systemError("ptsname");
        return false;
    }
    slavePath = QString::fromLocal8Bit(name);
    slaveKeeperFd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slaveKeeperFd < 0) {
        error = systemError("open terminal side");
        return false;
    }
    // A raw line from the start: no echo of the service's answers back to
    // it, no line editing of binary messages.
    termios raw {};
    if (tcgetattr(slaveKeeperFd, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(slaveKeeperFd, TCSANOW, &raw);
    }
    if (fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK) != 0
        || pipe(wakePipe) != 0) {
        error = systemError("fcntl/pipe");
        return false;
    }
    worker = std::thread([this] { serve(); });
    return true;
}

void PtyUpdateServer::stop()
{
    if (!worker.joinable())
        return;
    stopping = true;
    const char wake = 0;
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &wake, 1);
    worker.join();
}

void PtyUpdateServer::serve()
{
    QByteArray unsent;
    char buffer[65536];
    while (!stopping) {
        qint64 nextDueNs = -1;
        {
            std::lock_guard<std::mutex> lock(serviceMutex);
            unsent += service.takeDue(monotonicNs());
            nextDueNs = service.nextDueNs();
        }
        while (!unsent.isEmpty()) {
            const ssize_t written = ::write(masterFd, unsent.constData(), size_t(unsent.size()));
            if (written <= 0)
                break;
            unsent.remove(0, int(written));
        }

        qint64 waitNs = 50'000'000;
        if (!unsent.isEmpty())
            waitNs = 1'000'000;
        else if (nextDueNs >= 0)
            waitNs = std::max<qint64>(0, nextDueNs - monotonicNs());
        const timespec timeout { time_t(waitNs / 1'000'000'000), long(waitNs % 1'000'000'000) };
        pollfd fds[2] = { { masterFd, POLLIN, 0 }, { wakePipe[0], POLLIN, 0 } };
        if (ppoll(fds, 2, &timeout, nullptr) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            const ssize_t got = ::read(masterFd, buffer, sizeof buffer);
            if (got > 0) {
                std::lock_guard<std::mutex> lock(serviceMutex);
                service.receive(QByteArray(buffer, int(got)), monotonicNs());
            }
        }
    }
}

QByteArray PtyUpdateServer::image() const
{
    std::lock_guard<std::mutex> lock(serviceMutex);
    return service.image();
}

QByteArray PtyUpdateServer::installedImage() const
{
    std::lock_guard<std::mutex> lock(serviceMutex);
    return service.installedImage();
}

zel::sim::FirmwareVersion PtyUpdateServer::firmwareVersion() const
{
    std::lock_guard<std::mutex> lock(serviceMutex);
    return service.firmwareVersion();
}

int PtyUpdateServer::installCount() const
{
    std::lock_guard<std::mutex> lock(serviceMutex);
    return service.installCount();
}

qint64 PtyUpdateServer::bytesReceived() const
{
    std::lock_guard<std::mutex> lock(serviceMutex);
    return service.bytesReceived();
}

qint64 PtyUpdateServer::bytesAnswered() const
{
    std::lock_guard<std::mutex> lock(serviceMutex);
    return service.bytesAnswered();
}
