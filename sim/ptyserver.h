#pragma once

#include "simulatedmodule.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace zel::sim {

// What the server does around the module: the port's link and faults, the
// files it writes, and when it stops.
struct PtyServerOptions
{
    QString linkPath; // a symlink kept pointing at the port; empty: none
    QString recordPath; // where every sensor frame sent is appended
    QString dfuImagePath; // where each installed image is written
    double hangupAfterSeconds = -1; // negative: never
    double reappearAfterSeconds = -1; // negative: the port stays away
    double exitAfterSeconds = -1; // negative: run until told to stop
};

// Puts the simulated module behind a pseudo-terminal in real time. The host
// opens the slave end as if it were the USB-to-UART bridge; the server feeds
// the master end's input to the module, writes the module's paced output
// back, and follows the line rate the host sets on the slave. The same
// terminal serves the application firmware and the update service.
class PtyServer : public QObject
{
    Q_OBJECT
public:
    PtyServer(const ModuleOptions &module, const UpdateOptions &update,
        const PtyServerOptions &options, QObject *parent = nullptr);
    ~PtyServer() override;

    // Opens the port, the link and the record file, and starts the clock.
    bool start(QString *error);
    // The path the host should open: the link when there is one.
    QString announcedPath() const;
    QString slavePath() const { return m_slavePath; }
    // One line from the control channel (the executable's standard input).
    void control(const QString &line);
    // Closes the port and removes the link; safe to call more than once.
    void stop();

signals:
    void eventLine(const QString &line);
    void quitRequested();

private:
    qint64 nowNs() const;
    void tick();
    void readFromHost();
    void syncHostBaud();
    void flushModuleEvents();
    void saveInstalledImage();
    void writeToHost(const QByteArray &bytes);
    void recordFrames(const QList<QByteArray> &frames);
    bool openPty(QString *error);
    void closePty();
    bool pointLink(QString *error);
    void removeLink();
    void hangUp();
    void reappear();

    PtyServerOptions m_options;
    SimulatedModule m_module;
    int m_imagesSaved = 0;
    QElapsedTimer m_clock;
    QTimer m_tick;
    QFile m_record;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QSocketNotifier *m_hostNotifier = nullptr;
    bool m_stopped = false;
};

} // namespace zel::sim
