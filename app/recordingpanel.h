#pragma once

#include "recordingreader.h"

#include <QObject>
#include <QString>

#include <optional>

class ConsoleFeed;
class GraphWindows;
class Playback;
class QEvent;
class QWidget;
class StatusLine;
class TransportBar;

// A recording opened in the main window: read with a progress dialog that
// can cancel it, played into the same charts, cube and console as the
// module's stream, steered by the transport bar under the console.
class RecordingPanel : public QObject
{
    Q_OBJECT

public:
    RecordingPanel(GraphWindows *graphs, ConsoleFeed *console, StatusLine *status, QWidget *window);

    // The bar, for the window to lay out; hidden while nothing plays.
    TransportBar *transportBar() const { return bar; }

    // Reads a data log; nothing when it was refused (`error` says why) or
    // the user cancelled (`error` stays empty).
    std::optional<zel::Recording> read(const QString &path, QString *error);
    // Shows the recording paused at its first row.
    void play(zel::Recording recording, const QString &fileName);
    void close();

    // Takes a drag or drop of one data log while `canOpen`; true when it was
    // one. A drop is answered at once and the file read afterwards.
    bool takeDrop(QEvent *event, bool canOpen);

signals:
    void dropped(const QString &path);

private:
    Playback *playback;
    TransportBar *bar;
    GraphWindows *graphWindows;
    StatusLine *statusLine;
    QWidget *dialogParent;
};
