#include "remembered.h"

#include <QApplication>
#include <QIcon>
#include <QSettings>
#include <QStringList>

namespace {
const QString geometryKey = QStringLiteral("window/geometry");
const QString openGraphsKey = QStringLiteral("window/openGraphs");
const QString logFolderKey = QStringLiteral("log/folder");
const QString portKey = QStringLiteral("connection/port");
const QString baudRateKey = QStringLiteral("connection/baudRate");
} // namespace

void setUpApplication()
{
    Q_INIT_RESOURCE(resources);
    QApplication::setApplicationName(QStringLiteral("Orvix ZEL PC Tool"));
    QApplication::setOrganizationName(QStringLiteral("Orvix"));
    QApplication::setOrganizationDomain(QStringLiteral("orvix.example"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":icons/launcher.ico")));
}

namespace remembered {

QByteArray windowGeometry()
{
    return QSettings().value(geometryKey).toByteArray();
}

QList<int> openGraphs()
{
    QList<int> open;
    for (const QString &text : QSettings().value(openGraphsKey).toStringList()) {
        bool isNumber = false;
        const int index = text.toInt(&isNumber);
        if (isNumber)
            open << index;
    }
    return open;
}

void setWindows(const QByteArray &geometry, const QList<int> &openGraphs)
{
    QStringList open;
    for (int index : openGraphs)
        open << QString::number(index);
    QSettings settings;
    settings.setValue(geometryKey, geometry);
    settings.setValue(openGraphsKey, open);
}

QString logFolder()
{
    return QSettings().value(logFolderKey).toString();
}

void setLogFolder(const QString &folder)
{
    QSettings().setValue(logFolderKey, folder);
}

QString portName()
{
    return QSettings().value(portKey).toString();
}

QString baudRate()
{
    return QSettings().value(baudRateKey).toString();
}

void setConnection(const QString &portName, int baudRate)
{
    QSettings settings;
    settings.setValue(portKey, portName);
    settings.setValue(baudRateKey, baudRate);
}

} // namespace remembered
