#include "ptyserver.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTextStream>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace zel::sim {

namespace {

// The line is served in small slices, as a UART's FIFO would empty.
constexpr int tickMs = 1;

struct SpeedEntry
{
    speed_t speed;
    int baud;
};

constexpr SpeedEntry speeds[] = {
    { B1200, 1200 },
    { B2400, 2400 },
    { B4800, 4800 },
    { B9600, 9600 },
    { B19200, 19200 },
    { B38400, 38400 },
    { B57600, 57600 },
    { B115200, 115200 },
    { B230400, 230400 },
    { B460800, 460800 },
    { B921600, 921600 },
};

int baudFromSpeed(speed_t speed)
{
    for (const SpeedEntry &entry : speeds) {
        if (entry.speed == speed)
            return entry.baud;
    }
    return 0; // some rate the module never runs at
}

speed_t speedFromBaud(int baud)
{
    for (const SpeedEntry &entry : speeds) {
        if (entry.baud == baud)
            return entry.speed;
    }
    return B115200;
}

int timerMs(double seconds)
{
    return int(std::min(std::llround(seconds * 1000.0), 2000000000LL));
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(
        QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

PtyServer::PtyServer(const ModuleOptions &module, const UpdateOptions &update,
    const PtyServerOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_module(module, update)
{
    m_tick.setTimerType(Qt::PreciseTimer);
    m_tick.setInterval(tickMs);
    connect(&m_tick, &QTimer::timeout, this, &PtyServer::tick);
}

PtyServer::~PtyServer()
{
    stop();
}

bool PtyServer::start(QString *error)
{
    m_clock.start();
    if (!m_options.recordPath.isEmpty()) {
        m_record.setFileName(m_options.recordPath);
        if (!m_record.open(QIODevice::WriteOnly | QIODevice::Append)) {
            *error = QStringLiteral("cannot open %1: %2")
                         .arg(m_options.recordPath, m_record.errorString());
            return false;
        }
    }
    if (!openPty(error))
        return false;
    if (!m_options.linkPath.isEmpty() && !pointLink(error)) {
        closePty();
        return false;
    }
    if (m_options.hangupAfterSeconds >= 0)
        QTimer::singleShot(
            timerMs(m_options.hangupAfterSeconds), Qt::PreciseTimer, this, &PtyServer::hangUp);
    if (m_options.exitAfterSeconds >= 0)
        QTimer::singleShot(
            timerMs(m_options.exitAfterSeconds), Qt::PreciseTimer, this, &PtyServer::quitRequested);
    m_tick.start();
    return true;
}

QString PtyServer::announcedPath() const
{
    return m_options.linkPath.isEmpty() ? m_slavePath : m_options.linkPath;
}

void PtyServer::control(const QString &line)
{
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return;
    const QString command = words.first();
    bool ok = words.size() == 1;
    ApplicationFirmware &application = m_module.application();
    const qint64 nowUs = nowNs() / 1000;
    const bool applicationCommand = command == QLatin1String("ble")
        || command == QLatin1String("silence") || command == QLatin1String("garbage");
    if (applicationCommand && m_module.inUpdateService()) {
        // Those are the application firmware's doing, and it is not running.
        std::fprintf(
            stderr, "zel-sim: update service running, ignoring '%s'\n", qPrintable(line.trimmed()));
        return;
    }
    if (command == QLatin1String("ble") && ok) {
        application.sendBleNotice(nowUs);
    } else if (command == QLatin1String("silence") && words.size() == 2) {
        const double seconds = words.at(1).toDouble(&ok);
        if (ok && std::isfinite(seconds) && seconds >= 0)
            application.silence(seconds, nowUs);
        else
            ok = false;
    } else if (command == QLatin1String("garbage") && words.size() == 2) {
        const int count = words.at(1).toInt(&ok);
        if (ok && count >= 0)
            application.sendGarbage(count, nowUs);
        else
            ok = false;
    } else if (command == QLatin1String("hangup") && ok) {
        hangUp();
    } else if (command == QLatin1String("quit") && ok) {
        emit quitRequested();
    } else {
        ok = false;
    }
    if (!ok)
        std::fprintf(stderr, "zel-sim: ignoring control line '%s'\n", qPrintable(line.trimmed()));
    flushModuleEvents();
}

void PtyServer::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_tick.stop();
    removeLink();
    closePty();
    m_record.close();
}

qint64 PtyServer::nowNs() const
{
    return m_clock.nsecsElapsed();
}

void PtyServer::tick()
{
    // What the host has written counts before what the module sends next:
    // its request may change what that is.
    readFromHost();
    // The update service paces its answers itself: what it hands over is
    // due now.
    const QByteArray out = m_module.transmit(nowNs());
    const QList<QByteArray> frames = m_module.takeSentSensorFrames();
    // While the port is gone the module talks to nobody, so nothing counts
    // as sent.
    if (m_master >= 0) {
        writeToHost(out);
        recordFrames(frames);
    }
    flushModuleEvents();
}

void PtyServer::readFromHost()
{
    if (m_master < 0)
        return;
    // Only the bytes already waiting are taken, and at the line speed seen
    // after they were counted: a host sets its speed before it writes, and
    // drains what it wrote before it changes the speed again.
    int waiting = 0;
    if (::ioctl(m_master, FIONREAD, &waiting) != 0 || waiting <= 0)
        waiting = 4096;
    syncHostBaud();
    QByteArray fromHost(qMin(waiting, 16 * 4096), Qt::Uninitialized);
    const ssize_t n = ::read(m_master, fromHost.data(), size_t(fromHost.size()));
    if (n > 0)
        m_module.receive(fromHost.left(int(n)), nowNs());
    flushModuleEvents();
}

void PtyServer::syncHostBaud()
{
    if (m_slave < 0)
        return;
    termios settings;
    if (tcgetattr(m_slave, &settings) != 0)
        return;
    m_module.setHostBaud(baudFromSpeed(cfgetospeed(&settings)), nowNs());
}

void PtyServer::flushModuleEvents()
{
    // The image is on disk before the line that reports it goes out, so a
    // reader of the line can compare it at once.
    saveInstalledImage();
    for (const QString &line : m_module.takeEvents())
        emit eventLine(line);
}

void PtyServer::saveInstalledImage()
{
    if (m_module.installCount() == m_imagesSaved)
        return;
    m_imagesSaved = m_module.installCount();
    if (m_options.dfuImagePath.isEmpty())
        return;
    QSaveFile file(m_options.dfuImagePath);
    const QByteArray image = m_module.installedImage();
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size() || !file.commit()) {
        std::fprintf(stderr, "zel-sim: cannot write %s: %s\n", qPrintable(m_options.dfuImagePath),
            qPrintable(file.errorString()));
        emit eventLine(QStringLiteral("dfu-image-error"));
    }
}

void PtyServer::writeToHost(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    // A host that does not read lets the terminal's buffer fill up; like a
    // real receiver's overflowing FIFO, whatever does not fit is lost.
    const ssize_t written = ::write(m_master, bytes.constData(), size_t(bytes.size()));
    Q_UNUSED(written);
}

void PtyServer::recordFrames(const QList<QByteArray> &frames)
{
    if (!m_record.isOpen() || frames.isEmpty())
        return;
    for (const QByteArray &frame : frames) {
        m_record.write(frame);
        m_record.flush();
    }
}

bool PtyServer::openPty(QString *error)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    char name[256];
    if (grantpt(master) != 0 || unlockpt(master) != 0
        || ptsname_r(master, name, sizeof name) != 0) {
        *error = systemError("pseudo-terminal setup");
        ::close(master);
        return false;
    }
    // Holding the slave open ourselves keeps the master readable while no
    // host has the port open, and lets us read the host's line settings.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        *error = systemError("open slave");
        ::close(master);
        return false;
    }
    termios settings;
    if (tcgetattr(slave, &settings) == 0) {
        cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        const speed_t speed = speedFromBaud(m_module.application().uartBaud());
        cfsetispeed(&settings, speed);
        cfsetospeed(&settings, speed);
        tcsetattr(slave, TCSANOW, &settings);
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    m_master = master;
    m_slave = slave;
    m_slavePath = QString::fromLocal8Bit(name);
    m_hostNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_hostNotifier, &QSocketNotifier::activated, this, &PtyServer::readFromHost);
    return true;
}

void PtyServer::closePty()
{
    delete m_hostNotifier;
    m_hostNotifier = nullptr;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
}

bool PtyServer::pointLink(QString *error)
{
    const QString link = m_options.linkPath;
    const QFileInfo existing(link);
    if (existing.exists() && !existing.isSymLink()) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(link);
        return false;
    }
    // Re-pointing goes through a fresh link and a rename so that the path
    // never names a half-made link.
    const QByteArray target = QFile::encodeName(m_slavePath);
    const QByteArray temporary = QFile::encodeName(link + QStringLiteral(".%1.tmp").arg(getpid()));
    ::unlink(temporary.constData());
    if (::symlink(target.constData(), temporary.constData()) != 0
        || ::rename(temporary.constData(), QFile::encodeName(link).constData()) != 0) {
        *error = systemError("link");
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

void PtyServer::removeLink()
{
    if (m_options.linkPath.isEmpty())
        return;
    // Only our own link goes: someone may have put something else there.
    const QByteArray link = QFile::encodeName(m_options.linkPath);
    char target[4096];
    const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
    if (length > 0 && QByteArray(target, int(length)) == QFile::encodeName(m_slavePath))
        ::unlink(link.constData());
}

void PtyServer::hangUp()
{
    if (m_master < 0 || m_stopped)
        return;
    // Like an unplugged bridge: the device node and its link go away.
    removeLink();
    closePty();
    emit eventLine(QStringLiteral("hangup"));
    if (m_options.reappearAfterSeconds >= 0)
        QTimer::singleShot(
            timerMs(m_options.reappearAfterSeconds), Qt::PreciseTimer, this, &PtyServer::reappear);
}

void PtyServer::reappear()
{
    if (m_master >= 0 || m_stopped)
        return;
    QString error;
    if (!openPty(&error)) {
        std::fprintf(stderr, "zel-sim: cannot reappear: %s\n", qPrintable(error));
        return;
    }
    if (!m_options.linkPath.isEmpty() && !pointLink(&error))
        std::fprintf(stderr, "zel-sim: %s\n", qPrintable(error));
    emit eventLine(QStringLiteral("reappear %1").arg(m_slavePath));
}

} // namespace zel::sim
