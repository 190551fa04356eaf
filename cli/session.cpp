#include "session.h"

#include "openfailure.h"
#include "terminal.h"

#include <QEventLoop>
#include <QTimer>

#include <csignal>
#include <cstring>

namespace zel::cli {

Session::Session(UnixSignals &unixSignals)
{
    connect(&task, &Task::sendVersion, this, [this](const QString &text) {
        version = reportsNoModule(text) ? QString() : text;
        emit changed();
    });
    connect(&task, &Task::sendDataCtrl, this, [this](const QByteArray &record, float field) {
        dataCtrl = record;
        magField = field;
        ++recordsReceived;
        emit changed();
    });
    connect(&task, &Task::sendOpenFailed, this,
        [this](const QString &port, QSerialPort::SerialPortError error, const QString &reason) {
            failure = openFailureText(port, error, reason);
        });
    connect(&task, &Task::sendAwaitingPort, this,
        [this] { writeErr(tr("The port has gone; waiting up to 10 s for it to come back.\n")); });
    connect(&task, &Task::sendPortGoneForGood, this,
        [this] { endLink(tr("the port was gone for more than 10 s")); });
    connect(
        &task, &Task::sendRecordingEnded, this, [this](const QString &reason) { endLink(reason); });
    // As the window does: the module serves one host at a time.
    connect(&task, &Task::sendAlertDisconnectByBLE, this, [this] {
        task.closeSerialPort();
        endLink(tr("the mobile app took over the module"));
    });
    connect(&unixSignals, &UnixSignals::received, this, [this](int signalNumber) {
        caughtSignal = signalNumber;
        emit changed();
    });
}

Session::~Session()
{
    task.stop();
}

bool Session::open(const QString &portName, int baudRate)
{
    task.serialInit(portName, baudRate);
    return failure.isEmpty();
}

void Session::endLink(const QString &reason)
{
    if (linkEnded.isEmpty())
        linkEnded = reason;
    emit changed();
}

bool Session::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    if (done() || interrupted())
        return done();
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    // A coarse timer may end a 20 s bound a second early.
    bound.setTimerType(Qt::PreciseTimer);
    connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &Session::changed, &loop, [&] {
        if (done() || interrupted())
            loop.quit();
    });
    if (timeoutMs >= 0)
        bound.start(timeoutMs);
    loop.exec();
    return done();
}

int Session::interruptionExitCode() const
{
    return caughtSignal != 0 ? exitCodeForSignal(caughtSignal) : ExitFailed;
}

QString Session::interruptionReason() const
{
    if (caughtSignal == SIGINT)
        return tr("interrupted");
    if (caughtSignal != 0)
        return tr("ended by signal %1 (%2)")
            .arg(caughtSignal)
            .arg(QString::fromLocal8Bit(::strsignal(caughtSignal)));
    return linkEnded;
}

} // namespace zel::cli
