#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

class QPlainTextEdit;
class QTimer;

// Carries the worker's console texts to the console: the texts of a burst
// of polls in one append (one append per poll would redo the console's
// layout 200 times a second), none while the live view is paused, and never
// more lines than the console keeps.
class ConsoleFeed : public QObject
{
    Q_OBJECT

public:
    // Limits the console to `maxLines` lines.
    ConsoleFeed(QPlainTextEdit *target, int maxLines);

    // One poll's text; an empty one adds nothing.
    void add(const QString &text);
    // Unpausing shows at once what was held.
    void setPaused(bool paused);

    static constexpr int appendIntervalMs = 33;
    // The main window's console keeps this many lines.
    static constexpr int windowLineLimit = 1000;

private:
    void appendPending();

    QPlainTextEdit *console;
    const int lineLimit;
    bool paused = false;
    // The texts not yet shown, the lines of each and of all of them.
    QStringList pendingTexts;
    QList<int> pendingTextLines;
    int pendingLines = 0;
    QTimer *appendTimer;
};
