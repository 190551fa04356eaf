// zel-sim: the sensor module on a pseudo-terminal, for tests and demos.
//
// Standard output: the port path on the first line, then one line per event
// (the firmware-update service's start with "dfu-", see SimulatedModule).
// Standard input: control lines (ble, silence SEC, garbage N, hangup, quit).

#include "ptyserver.h"
#include "replay.h"
#include "simoptions.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zel::sim;

namespace {

int signalPipe[2] = { -1, -1 };

void onTerminationSignal(int)
{
    const char byte = 1;
    const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    (void)ignored;
}

void writeAll(int fd, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

// Event lines are dropped rather than written into a full pipe: a reader that
// stopped listening must not stall the module.
void writeEventLine(const QString &line)
{
    pollfd out { STDOUT_FILENO, POLLOUT, 0 };
    if (::poll(&out, 1, 0) == 1 && (out.revents & POLLOUT))
        writeAll(STDOUT_FILENO, line.toLocal8Bit() + '\n');
}

// Reads control lines from standard input; end of input only ends the
// control channel, not the simulator.
class ControlReader : public QObject
{
public:
    ControlReader(PtyServer *server, QObject *parent)
        : QObject(parent)
        , m_server(server)
    {
        if (::fcntl(STDIN_FILENO, F_GETFD) == -1)
            return;
        m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &ControlReader::readInput);
    }

private:
    void readInput()
    {
        char buffer[1024];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (n <= 0) {
            m_notifier->setEnabled(false);
            // A pipe that closes means whoever started the simulator (a test,
            // the demo) has gone; a simulator left running would hold on to
            // its output and its port. Other inputs (a terminal, /dev/null)
            // may end without that meaning anything.
            struct stat info;
            if (::fstat(STDIN_FILENO, &info) == 0 && S_ISFIFO(info.st_mode))
                m_server->control(QStringLiteral("quit"));
            return;
        }
        m_pending.append(buffer, int(n));
        int newline;
        while ((newline = m_pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(m_pending.left(newline));
            m_pending.remove(0, newline + 1);
            m_server->control(line);
        }
        if (m_pending.size() > 4096)
            m_pending.clear(); // no sane control line is that long
    }

    PtyServer *m_server;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_pending;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);

    SimOptions options;
    QString error, help;
    switch (parseSimOptions(app.arguments().mid(1), &options, &error, &help)) {
    case ParseResult::Help:
        writeAll(STDOUT_FILENO, help.toLocal8Bit());
        return 0;
    case ParseResult::Error:
        writeAll(STDERR_FILENO, ("zel-sim: " + error + '\n' + help).toLocal8Bit());
        return 2;
    case ParseResult::Run:
        break;
    }
    if (!options.replayPath.isEmpty()
        && !loadReplay(options.replayPath, options.replayRateHz, &options.module.replay, &error)) {
        writeAll(STDERR_FILENO, ("zel-sim: " + error + '\n').toLocal8Bit());
        return 2;
    }

    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("zel-sim: pipe");
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : { SIGTERM, SIGINT, SIGHUP })
        sigaction(signalNumber, &action, nullptr);

    PtyServer server(options.module, options.update, options.server);
    if (!server.start(&error)) {
        writeAll(STDERR_FILENO, ("zel-sim: " + error + '\n').toLocal8Bit());
        return 1;
    }
    writeAll(STDOUT_FILENO, server.announcedPath().toLocal8Bit() + '\n');

    QObject::connect(&server, &PtyServer::eventLine, &writeEventLine);
    QObject::connect(&server, &PtyServer::quitRequested, &app, &QCoreApplication::quit);
    QSocketNotifier terminationNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(
        &terminationNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    ControlReader control(&server, &app);

    const int status = app.exec();
    server.stop();
    return status;
}
