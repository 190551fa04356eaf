#include "ptypair.h"

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (masterFd < 0)
        return;
    if (grantpt(masterFd) != 0 || unlockpt(masterFd) != 0) {
        ::close(masterFd);
        masterFd = -1;
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
        if (n > 0) {
            written += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd pfd { masterFd, POLLOUT, 0 };
            ::poll(&pfd, 1, 100);
        }
    }
    return written == bytes.size();
}

qint64 PtyPair::writeSome(const char *data, qint64 size)
{
    if (masterFd < 0)
        return -1;
    const ssize_t n = ::write(masterFd, data, size_t(size));
    if (n < 0)
        return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    return n;
}

QByteArray PtyPair::readAvailable()
{
    QByteArray bytes;
    char chunk[4096];
    while (masterFd >= 0) {
        const ssize_t n = ::read(masterFd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        bytes.append(chunk, int(n));
    }
    return bytes;
}

QByteArray PtyPair::readExactly(int count, int timeoutMs)
{
    QByteArray bytes;
    QElapsedTimer timer;
    timer.start();
    while (bytes.size() < count && timer.elapsed() < timeoutMs && masterFd >= 0) {
        pollfd pfd { masterFd, POLLIN, 0 };
        ::poll(&pfd, 1, 20);
        char chunk[4096];
        const ssize_t n
            = ::read(masterFd, chunk, size_t(qMin<int>(count - bytes.size(), sizeof chunk)));
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
    switch (cfgetospeed(&settings)) {
    case B38400:
        return 38400;
    case B115200:
        return 115200;
    case B921600:
        return 921600;
    case B9600:
        return 9600;
    default:
        return 0;
    }
}

void PtyPair::hangUp()
{
    if (slaveFd >= 0)
        ::close(slaveFd);
    if (masterFd >= 0)
        ::close(masterFd);
    slaveFd = masterFd = -1;
}
