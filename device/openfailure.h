#pragma once

#include <QSerialPort>
#include <QString>

// What a user is told when a port will not open: the port, Qt's reason
// and, when Qt reports a permission problem, whether the device file is
// out of this user's reach (and which group owns it) or held by another
// program.
QString openFailureText(
    const QString &portName, QSerialPort::SerialPortError error, const QString &reason);
