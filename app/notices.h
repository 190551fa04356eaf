#pragma once

#include <QCoreApplication>

class QMessageBox;

// The notices about the module that come and go without waiting for the
// user: the low-quality warning, the magnetometer calibration's guidance and
// its result, and the identify notice. They are windows of their own, with
// no parent.
class DeviceNotices
{
    Q_DECLARE_TR_FUNCTIONS(MainView)

public:
    DeviceNotices();
    ~DeviceNotices();
    DeviceNotices(const DeviceNotices &) = delete;
    DeviceNotices &operator=(const DeviceNotices &) = delete;

    void showIdentify();
    // The calibration succeeds once the module has kept good quality for
    // more than ten frames.
    void startMagCalibration();
    void poorQuality();
    void goodQuality();

private:
    QMessageBox *lowQualityBox;
    QMessageBox *magCalibrationBox;
    QMessageBox *magCalibrationSuccessBox;
    bool magCalibrating = false;
    int goodQualityCount = 0;
};
