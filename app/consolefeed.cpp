#include "consolefeed.h"

#include <QPlainTextEdit>
#include <QTimer>

ConsoleFeed::ConsoleFeed(QPlainTextEdit *target, int maxLines)
    : QObject(target)
    , console(target)
    , lineLimit(maxLines)
    , appendTimer(new QTimer(this))
{
    console->setMaximumBlockCount(lineLimit);
    appendTimer->setSingleShot(true);
    appendTimer->setInterval(appendIntervalMs);
    connect(appendTimer, &QTimer::timeout, this, &ConsoleFeed::appendPending);
}

void ConsoleFeed::add(const QString &text)
{
    if (text.isEmpty())
        return;
    const int lines = text.count(QLatin1Char('\n')) + 1;
    pendingTexts += text;
    pendingTextLines += lines;
    pendingLines += lines;
    // Texts beyond what the console shows would only be dropped again.
    while (pendingLines - pendingTextLines.first() >= lineLimit) {
        pendingLines -= pendingTextLines.takeFirst();
        pendingTexts.removeFirst();
    }
    if (!paused && !appendTimer->isActive())
        appendTimer->start();
}

void ConsoleFeed::setPaused(bool pause)
{
    paused = pause;
    if (!paused)
        appendPending();
}

void ConsoleFeed::appendPending()
{
    if (pendingTexts.isEmpty() || paused)
        return;
    console->appendPlainText(pendingTexts.join(QLatin1Char('\n')));
    pendingTexts.clear();
    pendingTextLines.clear();
    pendingLines = 0;
}
