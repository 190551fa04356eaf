#include "recordingpanel.h"

#include "consolefeed.h"
#include "graphwindows.h"
#include "playback.h"
#include "statusline.h"
#include "transportbar.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressDialog>

#include <algorithm>
#include <utility>

RecordingPanel::RecordingPanel(
    GraphWindows *graphs, ConsoleFeed *console, StatusLine *status, QWidget *window)
    : QObject(window)
    , playback(new Playback(this))
    , bar(new TransportBar)
    , graphWindows(graphs)
    , statusLine(status)
    , dialogParent(window)
{
    bar->hide();
    connect(playback, &Playback::played, this,
        [graphs, console](const zel::SensorSamples &samples, const QString &consoleText) {
            graphs->receiveSamples(samples);
            graphs->holdNewest(); // a step while paused
            console->add(consoleText);
        });
    connect(playback, &Playback::jumped, this,
        [graphs, console](const zel::SensorSamples &recent, const QString &consoleText) {
            graphs->replaceSamples(recent);
            console->add(consoleText);
        });
    connect(playback, &Playback::positionChanged, this, [this] {
        bar->setPosition(
            qRound(playback->rows().elapsed(playback->position()) * 1000), playback->timeText());
        statusLine->setPlayback(playback->positionText());
    });
    // Paused, the charts can be looked back through as the live view's.
    connect(playback, &Playback::playingChanged, this, [this](bool playing) {
        graphWindows->setPaused(!playing);
        bar->setPlaying(playing);
    });
    connect(bar, &TransportBar::playingRequested, playback, &Playback::setPlaying);
    connect(bar, &TransportBar::seekRequested, playback, &Playback::seek);
    connect(bar, &TransportBar::stepRequested, playback, &Playback::step);
    connect(bar, &TransportBar::speedChosen, playback, &Playback::setSpeed);
}

std::optional<zel::Recording> RecordingPanel::read(const QString &path, QString *error)
{
    QProgressDialog progress(
        tr("Opening %1").arg(QFileInfo(path).fileName()), tr("Cancel"), 0, 1000, dialogParent);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    zel::Recording recording;
    const bool read
        = zel::readRecordingFile(path, &recording, error, [&progress](qint64 done, qint64 total) {
              progress.setValue(int(done * 999 / std::max<qint64>(1, total)));
              return !progress.wasCanceled();
          });
    if (!read)
        return std::nullopt;
    return recording;
}

void RecordingPanel::play(zel::Recording recording, const QString &fileName)
{
    QList<int> segmentMarks;
    for (int start : recording.segmentStarts()) {
        if (start > 0)
            segmentMarks << qRound(recording.elapsed(start) * 1000);
    }
    bar->setRecording(qRound(recording.length() * 1000), segmentMarks);
    const bool torn = recording.tornRowLeftOut();
    graphWindows->setPaused(true);
    playback->open(std::move(recording), fileName);
    bar->setPlaying(false);
    bar->show();
    statusLine->setNotice(
        torn ? tr("%1: the last row was cut short and is left out").arg(fileName) : QString());
}

void RecordingPanel::close()
{
    playback->close();
    bar->hide();
    graphWindows->setPaused(false);
}

bool RecordingPanel::takeDrop(QEvent *event, bool canOpen)
{
    const QEvent::Type type = event->type();
    if (!canOpen || (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop))
        return false;
    auto *drop = static_cast<QDropEvent *>(event);
    const QList<QUrl> urls = drop->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()
        || !urls.first().path().endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return false;
    drop->acceptProposedAction();
    // The drag source waits for the answer, not for the file to be read.
    if (type == QEvent::Drop)
        QMetaObject::invokeMethod(
            this, [this, path = urls.first().toLocalFile()] { emit dropped(path); },
            Qt::QueuedConnection);
    return true;
}
