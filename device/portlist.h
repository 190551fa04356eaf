#pragma once

#include <QList>
#include <QString>

// A serial port as the port choosers list it: the name to open and the
// description the system (or the user) gives it.
struct SerialPortEntry
{
    QString portName;
    QString description;
};

// The ports Qt SerialPort finds, followed by the extra ports named in the
// environment variable ZEL_EXTRA_PORTS: entries separated by ';', each a path
// optionally followed by '=' and a description. Extra entries that name no
// existing file are left out, so a simulator that has gone away disappears
// from the list.
QList<SerialPortEntry> listSerialPorts();

// The extra-port part on its own, parsed from a ZEL_EXTRA_PORTS value.
QList<SerialPortEntry> parseExtraPorts(const QString &value);
