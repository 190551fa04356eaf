#pragma once

#include <QList>
#include <QSlider>
#include <QWidget>

class QAction;
class QComboBox;
class QLabel;
class QToolButton;

// A slider that marks where segments of a recording begin.
class SegmentSlider : public QSlider
{
    Q_OBJECT

public:
    explicit SegmentSlider(QWidget *parent = nullptr);
    void setMarks(const QList<int> &values);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<int> marks;
};

// The controls of a recording being played: play and pause (Space), the
// speed, a slider over the whole recording, a step of one row back or on
// (Left, Right: only while paused) and the time. It asks for what the user
// wants and shows what it is told.
class TransportBar : public QWidget
{
    Q_OBJECT

public:
    explicit TransportBar(QWidget *parent = nullptr);

    // The recording's length, and where its segments after the first begin,
    // in milliseconds from its first row.
    void setRecording(int lengthMs, const QList<int> &segmentStartsMs);
    void setPosition(int ms, const QString &timeText);
    void setPlaying(bool playing);
    // The bar's keys go to it, not to the widget with the focus.
    bool takesKey(int key) const;

    // The speeds offered; 0 is as fast as the views draw.
    static const QList<double> &speeds();

signals:
    void playingRequested(bool play);
    void seekRequested(double seconds);
    void stepRequested(int rows);
    void speedChosen(double speed);

private:
    QAction *playAction;
    QAction *stepBackAction;
    QAction *stepOnAction;
    QComboBox *speedBox;
    SegmentSlider *slider;
    QLabel *timeLabel;
    bool playing = false;
};
