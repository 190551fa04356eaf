#include "ptypair.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <utility>

PtyPair::PtyPair()
{
    masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (masterFd < 0 || grantpt(masterFd) != 0 || unlockpt(masterFd) != 0) {
        hangUp();
        return;
    }
    slave = QString::fromLocal8Bit(ptsname(masterFd));
    // Holding the slave open keeps the master readable while the host closes
    // and re-opens its end, and lets the test read the host's line settings.
    slaveFd = ::open(ptsname(masterFd), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios settings;
    if (slaveFd >= 0 && tcgetattr(slaveFd, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(slaveFd, TCSANOW, &settings);
    }
}

PtyPair::~PtyPair()
{
    hangUp();
}

bool PtyPair::write(const QByteArray &bytes)
{
    qint64 written = 0;
    while (masterFd >= 0 && written < bytes.size()) {
        const ssize_t n
            = ::write(masterFd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        written += qMax<ssize_t>(n, 0);
        pollfd pfd { masterFd, POLLOUT, 0 };
        if (n <= 0)
            ::poll(&pfd, 1, 100);
    }
    return written == bytes.size();
}

QByteArray PtyPair::readAvailable()
{
    QByteArray bytes;
    char chunk[4096];
    ssize_t n;
    while (masterFd >= 0 && (n = ::read(masterFd, chunk, sizeof chunk)) > 0)
        bytes.append(chunk, int(n));
    return bytes;
}

QByteArray PtyPair::readExactly(int count, int timeoutMs)
{
    QByteArray bytes;
    const QDeadlineTimer deadline(timeoutMs);
    while (bytes.size() < count && !deadline.hasExpired() && masterFd >= 0) {
        pollfd pfd { masterFd, POLLIN, 0 };
        ::poll(&pfd, 1, 20);
        char chunk[4096];
        const ssize_t n = ::read(masterFd, chunk, size_t(qMin<int>(count - bytes.size(), 4096)));
        if (n > 0)
            bytes.append(chunk, int(n));
    }
    return bytes;
}

int PtyPair::hostBaudRate() const
{
    termios settings;
    if (slaveFd < 0 || tcgetattr(slaveFd, &settings) != 0)
        return -1;
    const speed_t speed = cfgetospeed(&settings);
    for (auto [code, rate] :
        { std::pair<speed_t, int> { B38400, 38400 }, { B115200, 115200 }, { B921600, 921600 } })
        if (speed == code)
            return rate;
    return 0;
}

void PtyPair::hangUp()
{
    for (int *fd : { &slaveFd, &masterFd }) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}
