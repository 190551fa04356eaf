#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair for tests that play the module: the test holds the
// master end, the code under test opens the slave path like a serial port.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return masterFd >= 0; }
    QString slavePath() const { return slave; }

    // Writes all bytes to the master end (the module's side of the wire).
    bool write(const QByteArray &bytes);
    // Whatever the host has sent so far, without waiting.
    QByteArray readAvailable();
    // Reads until `count` bytes have arrived or `timeoutMs` has passed.
    QByteArray readExactly(int count, int timeoutMs = 5000);
    // The line speed the host set on its end.
    int hostBaudRate() const;
    // Closes the master end: the host's port hangs up.
    void hangUp();

private:
    int masterFd = -1;
    int slaveFd = -1;
    QString slave;
};
