#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Names the application (and with it where its settings live) and gives
// every window the tool's icon. The tool and its demo driver call it once
// their QApplication exists.
void setUpApplication();

// What the tool keeps in the user's settings for its next start. A missing
// or unreadable settings file gives the defaults: empty texts, no graphs.
namespace remembered {

QByteArray windowGeometry();
// The graph windows open at the last close, by index: the cube, then the
// four charts.
QList<int> openGraphs();
void setWindows(const QByteArray &geometry, const QList<int> &openGraphs);

// Where the last log was saved.
QString logFolder();
void setLogFolder(const QString &folder);

QString portName();
QString baudRate();
void setConnection(const QString &portName, int baudRate);

} // namespace remembered
