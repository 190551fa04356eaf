#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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

// A port as the choosers show it: its name, marked " (ZEL)" when its
// description says it is the module's bridge.
QString portEntryText(const SerialPortEntry &port);
// The port name inside a list entry: the text before the first " (".
QString portNameFromEntry(const QString &entry);

// What a port chooser offers: one entry per port, in order, and the entry
// to preselect, the last marked one (else the first; -1 for no ports).
struct PortChoice
{
    QStringList entries;
    int preselected = -1;
};
// The port last used, when it is listed, wins over the marked ones.
PortChoice choosePort(const QList<SerialPortEntry> &ports, const QString &lastUsed = QString());

// The device file behind a port name: Qt opens a bare name under /dev.
QString portDevicePath(const QString &portName);
