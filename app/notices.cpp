#include "notices.h"

#include <QMessageBox>
#include <QTimer>

namespace {

constexpr int noticeHideMs = 3000;
constexpr int identifyNoticeHideMs = 60000;

QMessageBox *newNotice(QMessageBox::Icon icon, const QString &title, const QString &text)
{
    auto *box = new QMessageBox;
    box->setWindowTitle(title);
    box->setText(text);
    box->setIcon(icon);
    return box;
}

// Shows a notice and closes it once `ms` have passed. Showing it again
// drops the earlier timer, so that one cannot cut the new showing short.
void showForAWhile(QMessageBox *box, int ms)
{
    delete box->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    auto *timer = new QTimer(box);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, box, &QWidget::close);
    timer->start(ms);
    box->show();
}

} // namespace

DeviceNotices::DeviceNotices()
    : lowQualityBox(newNotice(QMessageBox::Warning, QStringLiteral("Low Quality"),
        QStringLiteral("Move to another location\nOr try to start calibration "
                       "again\n(Rotate device in 6 dimensions for 30 seconds)\n")))
    , magCalibrationBox(newNotice(QMessageBox::Information, tr("Mag Calibration"),
          tr("Rotate the device in 6 dimensions for 30 seconds.")))
    , magCalibrationSuccessBox(newNotice(QMessageBox::Information, tr("Mag Calibration Success"),
          tr("Keep the device steady to calibrate gyroscope.")))
{
}

DeviceNotices::~DeviceNotices()
{
    delete lowQualityBox;
    delete magCalibrationBox;
    delete magCalibrationSuccessBox;
}

void DeviceNotices::showIdentify()
{
    QMessageBox *box = newNotice(QMessageBox::NoIcon, tr("Identify"),
        tr("Status LED will blink in bright blue for 1 minute."));
    box->setAttribute(Qt::WA_DeleteOnClose);
    showForAWhile(box, identifyNoticeHideMs);
}

void DeviceNotices::startMagCalibration()
{
    magCalibrating = true;
    goodQualityCount = 0;
    showForAWhile(magCalibrationBox, noticeHideMs);
}

void DeviceNotices::poorQuality()
{
    lowQualityBox->show();
}

void DeviceNotices::goodQuality()
{
    if (lowQualityBox->isVisible())
        lowQualityBox->close();
    if (!magCalibrating)
        return;
    if (goodQualityCount > 10) {
        magCalibrating = false;
        goodQualityCount = 0;
        magCalibrationBox->hide();
        showForAWhile(magCalibrationSuccessBox, noticeHideMs);
    } else {
        ++goodQualityCount;
    }
}
