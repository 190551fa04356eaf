#include "openfailure.h"

#include "portlist.h"

#include <QCoreApplication>
#include <QFile>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Usually dialout; the device file tells.
QString owningGroup(const QString &devicePath)
{
    struct stat status;
    const group *owner = ::stat(QFile::encodeName(devicePath).constData(), &status) == 0
        ? ::getgrgid(status.st_gid)
        : nullptr;
    return owner ? QString::fromLocal8Bit(owner->gr_name) : QStringLiteral("dialout");
}

} // namespace

QString openFailureText(
    const QString &portName, QSerialPort::SerialPortError error, const QString &reason)
{
    // The texts keep the translation context of the status line that shows them.
    QString text
        = QCoreApplication::translate("StatusLine", "Cannot open %1: %2.").arg(portName, reason);
    if (error != QSerialPort::PermissionError)
        return text;
    const QString device = portDevicePath(portName);
    if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0)
        return text
            + QCoreApplication::translate(
                "StatusLine", "\nAnother program holds the port. Close it and connect again.");
    return text
        + QCoreApplication::translate("StatusLine",
            "\nYour user may not use the port. Add it to the group that owns the "
            "device (%1), then log in again.")
              .arg(owningGroup(device));
}
