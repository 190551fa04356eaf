#include "portlist.h"

#include <QFileInfo>
#include <QSerialPortInfo>

QList<SerialPortEntry> parseExtraPorts(const QString &value)
{
    QList<SerialPortEntry> ports;
    const QStringList entries = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        const int separator = entry.indexOf(QLatin1Char('='));
        SerialPortEntry port;
        port.portName = (separator < 0 ? entry : entry.left(separator)).trimmed();
        port.description = separator < 0 ? QString() : entry.mid(separator + 1).trimmed();
        if (port.portName.isEmpty() || !QFileInfo::exists(port.portName))
            continue;
        ports.append(port);
    }
    return ports;
}

QList<SerialPortEntry> listSerialPorts()
{
    QList<SerialPortEntry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append({ info.portName(), info.description() });
    ports.append(parseExtraPorts(qEnvironmentVariable("ZEL_EXTRA_PORTS")));
    return ports;
}

QString portEntryText(const SerialPortEntry &port)
{
    if (port.description.contains(QLatin1String("Enhanced")))
        return port.portName + QStringLiteral(" (ZEL)");
    return port.portName;
}

QString portNameFromEntry(const QString &entry)
{
    return entry.left(entry.indexOf(QStringLiteral(" (")));
}

PortChoice choosePort(const QList<SerialPortEntry> &ports, const QString &lastUsed)
{
    PortChoice choice;
    int lastUsedAt = -1;
    for (const SerialPortEntry &port : ports) {
        const QString entry = portEntryText(port);
        const bool marked = entry != port.portName;
        if (marked || choice.entries.isEmpty())
            choice.preselected = choice.entries.size();
        if (!lastUsed.isEmpty() && port.portName == lastUsed)
            lastUsedAt = choice.entries.size();
        choice.entries.append(entry);
    }
    if (lastUsedAt >= 0)
        choice.preselected = lastUsedAt;
    return choice;
}

QString portDevicePath(const QString &portName)
{
    return portName.contains(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
}
