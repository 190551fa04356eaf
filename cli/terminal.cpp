#include "terminal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zel::cli {

namespace {

int signalPipe[2] = { -1, -1 };
const char *volatile blockingNotice = nullptr;
volatile std::size_t blockingNoticeLength = 0;
volatile sig_atomic_t signalsWhileBlocked = 0;

void writeAll(int fd, const char *data, std::size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        length -= std::size_t(n);
    }
}

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    if (blockingNotice) {
        if (++signalsWhileBlocked >= 2)
            ::_exit(exitCodeForSignal(signalNumber));
        writeAll(STDERR_FILENO, blockingNotice, blockingNoticeLength);
    } else {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        writeAll(signalPipe[1], reinterpret_cast<const char *>(&byte), 1);
    }
    errno = savedErrno;
}

} // namespace

void writeOut(const QByteArray &bytes)
{
    writeAll(STDOUT_FILENO, bytes.constData(), std::size_t(bytes.size()));
}

void writeErr(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    writeAll(STDERR_FILENO, bytes.constData(), std::size_t(bytes.size()));
}

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

UnixSignals::UnixSignals()
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(signalPipe[0], &byte, 1) == 1)
            emit received(byte);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : { SIGINT, SIGTERM, SIGHUP })
        ::sigaction(signalNumber, &action, nullptr);
}

void UnixSignals::setBlockingNotice(const char *notice)
{
    signalsWhileBlocked = 0;
    blockingNoticeLength = notice ? std::strlen(notice) : 0;
    blockingNotice = notice && *notice ? notice : nullptr;
}

} // namespace zel::cli
