#include "transportbar.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>

namespace {

QToolButton *buttonFor(QAction *action)
{
    auto *button = new QToolButton;
    button->setDefaultAction(action);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

SegmentSlider::SegmentSlider(QWidget *parent)
    : QSlider(Qt::Horizontal, parent)
{
}

void SegmentSlider::setMarks(const QList<int> &values)
{
    marks = values;
    update();
}

void SegmentSlider::paintEvent(QPaintEvent *event)
{
    QSlider::paintEvent(event);
    if (marks.isEmpty())
        return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove
        = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle
        = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    for (int value : marks) {
        const int x = groove.left() + handle.width() / 2
            + QStyle::sliderPositionFromValue(
                minimum(), maximum(), value, groove.width() - handle.width());
        painter.drawLine(x, rect().top() + 1, x, rect().bottom() - 1);
    }
}

TransportBar::TransportBar(QWidget *parent)
    : QWidget(parent)
    , playAction(new QAction(tr("Play"), this))
    , stepBackAction(new QAction(tr("Step Back"), this))
    , stepOnAction(new QAction(tr("Step Forward"), this))
    , speedBox(new QComboBox)
    , slider(new SegmentSlider)
    , timeLabel(new QLabel)
{
    setObjectName(QStringLiteral("transportBar"));
    playAction->setShortcut(Qt::Key_Space);
    stepBackAction->setShortcut(Qt::Key_Left);
    stepOnAction->setShortcut(Qt::Key_Right);
    playAction->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    stepBackAction->setIcon(style()->standardIcon(QStyle::SP_MediaSeekBackward));
    stepOnAction->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
    connect(playAction, &QAction::triggered, this, [this] { emit playingRequested(!playing); });
    connect(stepBackAction, &QAction::triggered, this, [this] { emit stepRequested(-1); });
    connect(stepOnAction, &QAction::triggered, this, [this] { emit stepRequested(1); });

    for (double speed : speeds()) {
        speedBox->addItem(
            speed > 0 ? QStringLiteral("%1\u00d7").arg(speed) : tr("as fast as drawn"), speed);
    }
    speedBox->setCurrentIndex(speeds().indexOf(1.0));
    speedBox->setObjectName(QStringLiteral("playbackSpeed"));
    speedBox->setFocusPolicy(Qt::NoFocus);
    connect(speedBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        [this](int index) { emit speedChosen(speeds().value(index, 1)); });

    slider->setObjectName(QStringLiteral("seekSlider"));
    slider->setFocusPolicy(Qt::NoFocus);
    connect(
        slider, &QSlider::valueChanged, this, [this](int ms) { emit seekRequested(ms / 1000.0); });
    timeLabel->setObjectName(QStringLiteral("playbackTime"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buttonFor(playAction));
    layout->addWidget(buttonFor(stepBackAction));
    layout->addWidget(buttonFor(stepOnAction));
    layout->addWidget(speedBox);
    layout->addWidget(slider, 1);
    layout->addWidget(timeLabel);
    setPlaying(false);
}

const QList<double> &TransportBar::speeds()
{
    static const QList<double> offered { 0.25, 0.5, 1, 2, 4, 8, 0 };
    return offered;
}

void TransportBar::setRecording(int lengthMs, const QList<int> &segmentStartsMs)
{
    const QSignalBlocker quiet(slider);
    slider->setRange(0, lengthMs);
    slider->setPageStep(std::max(1, lengthMs / 20));
    slider->setMarks(segmentStartsMs);
}

void TransportBar::setPosition(int ms, const QString &timeText)
{
    // The user's drag wins over the playing.
    if (!slider->isSliderDown()) {
        const QSignalBlocker quiet(slider);
        slider->setValue(ms);
    }
    timeLabel->setText(timeText);
}

void TransportBar::setPlaying(bool play)
{
    playing = play;
    playAction->setText(play ? tr("Pause") : tr("Play"));
    playAction->setIcon(style()->standardIcon(play ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    stepBackAction->setEnabled(!play);
    stepOnAction->setEnabled(!play);
}

bool TransportBar::takesKey(int key) const
{
    if (!isVisible())
        return false;
    for (const QAction *action : { playAction, stepBackAction, stepOnAction }) {
        if (action->isEnabled() && action->shortcut() == QKeySequence(key))
            return true;
    }
    return false;
}
