// The simulated attitude must be one rotation seen through every field of a
// sample: quaternion, Euler angles, angle-axis, gravity, earth field and rate.

#include "applicationfirmware.h"
#include "motion.h"
#include "simtestsupport.h"

#include <QtTest>

#include <array>
#include <cmath>
#include <numeric>

using namespace simtest;

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double degrees = 180 / pi;
constexpr double g = 9.80665;

using Quat = std::array<double, 4>; // w, x, y, z
using Vec = std::array<double, 3>;
// A sample in wire order: timestamp, acc, mag, gyr, quaternion, pitch, roll,
// yaw, angle, axis.
using Sample = std::array<double, 21>;

Quat multiply(const Quat &a, const Quat &b)
{
    return { a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3],
        a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2],
        a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1],
        a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0] };
}

Quat conjugate(const Quat &q)
{
    return { q[0], -q[1], -q[2], -q[3] };
}

Vec rotate(const Quat &q, const double *v)
{
    const Quat r = multiply(multiply(q, { 0, v[0], v[1], v[2] }), conjugate(q));
    return { r[1], r[2], r[3] };
}

double norm(const double *v, int n)
{
    return std::sqrt(std::inner_product(v, v + n, v, 0.0));
}

Quat quaternionOf(const Sample &s)
{
    return { s[10], s[11], s[12], s[13] };
}

// Yaw about z, then pitch about the new y, then roll about the new x.
Quat fromEuler(double pitchDeg, double rollDeg, double yawDeg)
{
    const auto about = [](int axis, double angleDeg) {
        Quat q { std::cos(angleDeg / degrees / 2), 0, 0, 0 };
        q[axis] = std::sin(angleDeg / degrees / 2);
        return q;
    };
    return multiply(multiply(about(3, yawDeg), about(2, pitchDeg)), about(1, rollDeg));
}

Sample fromMotion(double t, double magField)
{
    const zel::sim::MotionSample m = zel::sim::motionAt(t, magField);
    Sample s { t };
    std::copy(m.acc, m.acc + 3, s.begin() + 1);
    std::copy(m.mag, m.mag + 3, s.begin() + 4);
    std::copy(m.gyr, m.gyr + 3, s.begin() + 7);
    std::copy(m.quat, m.quat + 4, s.begin() + 10);
    s[14] = m.pitch;
    s[15] = m.roll;
    s[16] = m.yaw;
    s[17] = m.angle;
    std::copy(m.axis, m.axis + 3, s.begin() + 18);
    return s;
}

// Body rate in dps from the attitudes h seconds before and after.
Vec rateFromAttitudes(const Quat &before, const Quat &at, const Quat &after, double h)
{
    Quat derivative;
    for (int i = 0; i < 4; ++i)
        derivative[i] = (after[i] - before[i]) / (2 * h);
    const Quat omega = multiply(conjugate(at), derivative);
    return { 2 * omega[1] * degrees, 2 * omega[2] * degrees, 2 * omega[3] * degrees };
}

struct Tolerance
{
    double acc; // m/s^2
    double mag; // uT
    double unit; // quaternion and axis components
    double direction; // fraction of a measured vector's length
};

QString inconsistency(const Sample &s, double magField, const Tolerance &tol)
{
    const Quat q = quaternionOf(s);
    if (std::abs(norm(q.data(), 4) - 1) > tol.unit)
        return "quaternion not unit";
    if (std::abs(norm(&s[1], 3) - g) > tol.acc)
        return QString("|acc| %1").arg(norm(&s[1], 3));
    if (std::abs(norm(&s[4], 3) - magField) > tol.mag)
        return QString("|mag| %1").arg(norm(&s[4], 3));

    const Quat euler = fromEuler(s[14], s[15], s[16]);
    const double angle = s[17];
    const Quat angleAxis { std::cos(angle / 2), std::sin(angle / 2) * s[18],
        std::sin(angle / 2) * s[19], std::sin(angle / 2) * s[20] };
    if (angle < 0 || angle > pi || std::abs(norm(&s[18], 3) - 1) > tol.unit)
        return "angle or axis out of range";
    const double sign = q[0] < 0 ? -1 : 1; // q and -q are the same rotation
    for (int i = 0; i < 4; ++i) {
        if (std::abs(euler[i] - q[i]) > tol.unit)
            return "Euler angles and quaternion disagree";
        if (std::abs(angleAxis[i] - sign * q[i]) > tol.unit)
            return "angle-axis and quaternion disagree";
    }

    // Taken back to the world, gravity points up and the field north-down.
    const Vec up = rotate(q, &s[1]);
    const Vec field = rotate(q, &s[4]);
    if (std::hypot(up[0], up[1]) / g > tol.direction || up[2] < 0)
        return "acceleration is not gravity";
    const double inclination = std::atan2(-field[2], field[1]) * degrees;
    if (std::abs(field[0]) / magField > tol.direction || std::abs(inclination - 36) > 0.5)
        return QString("field not north and down: inclination %1").arg(inclination);
    return QString();
}

} // namespace

class TestSimMotion : public QObject
{
    Q_OBJECT

private slots:
    void motionIsOneRotation();
    void streamedFramesAreConsistent_data();
    void streamedFramesAreConsistent();
};

void TestSimMotion::motionIsOneRotation()
{
    const Tolerance exact { 1e-9, 1e-9, 1e-9, 1e-9 };
    const double h = 1e-5;
    double largestAngle = 0, largestRate = 0;
    for (double t = 0.1; t < 120; t += 0.05) {
        const Sample s = fromMotion(t, 45.55);
        const QString why = inconsistency(s, 45.55, exact);
        QVERIFY2(why.isEmpty(), qPrintable(QString("t=%1: %2").arg(t).arg(why)));
        QVERIFY(std::abs(s[14]) < 60); // pitch far from the Z-Y-X singularity

        const Vec numeric = rateFromAttitudes(quaternionOf(fromMotion(t - h, 45.55)),
            quaternionOf(s), quaternionOf(fromMotion(t + h, 45.55)), h);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::abs(numeric[i] - s[7 + i]) < 1e-4,
                qPrintable(
                    QString("t=%1 gyr %2: %3 vs %4").arg(t).arg(i).arg(numeric[i]).arg(s[7 + i])));
        largestAngle = std::max(largestAngle, s[17]);
        largestRate = std::max(largestRate, norm(&s[7], 3));
    }
    // Not a trivial motion.
    QVERIFY(largestAngle > pi / 2);
    QVERIFY(largestRate > 10);
}

void TestSimMotion::streamedFramesAreConsistent_data()
{
    QTest::addColumn<float>("magField");
    QTest::addColumn<int>("odrCode");
    QTest::addColumn<double>("period");

    QTest::newRow("Taipei, 100 Hz") << 45.55f << 3 << 0.01;
    QTest::newRow("Shenzhen, 50 Hz") << 38.55f << 2 << 0.02;
}

void TestSimMotion::streamedFramesAreConsistent()
{
    QFETCH(float, magField);
    QFETCH(int, odrCode);
    QFETCH(double, period);

    zel::sim::ModuleOptions options;
    options.magField = magField;
    options.odrCode = odrCode;
    zel::sim::ApplicationFirmware model(options);
    QByteArray wire;
    for (qint64 now = 0; now <= 5000000; now += 1000)
        wire += model.transmit(now);
    const QList<Sensor> sensors = decodeSensors(wire);
    QVERIFY(sensors.size() >= int(4.9 / period));

    // Floats and the sensors' small noise loosen the limits.
    const Tolerance onWire { 0.02, 0.2, 2e-5, 0.005 };
    QList<Sample> samples;
    for (const Sensor &sensor : sensors) {
        QCOMPARE(sensor.quality, 3u);
        Sample s;
        std::copy(sensor.v, sensor.v + 21, s.begin());
        QVERIFY(std::abs(s[0] - (samples.size() + 1) * period) < 1e-5); // seconds since start
        const QString why = inconsistency(s, magField, onWire);
        QVERIFY2(why.isEmpty(), qPrintable(QString("t=%1: %2").arg(s[0]).arg(why)));
        samples.append(s);
    }
    for (int i = 1; i + 1 < samples.size(); ++i) {
        const Vec numeric = rateFromAttitudes(quaternionOf(samples[i - 1]),
            quaternionOf(samples[i]), quaternionOf(samples[i + 1]), period);
        for (int axis = 0; axis < 3; ++axis)
            QVERIFY2(std::abs(numeric[axis] - samples[i][7 + axis]) < 0.3,
                qPrintable(QString("t=%1 gyr %2: %3 vs %4")
                               .arg(samples[i][0])
                               .arg(axis)
                               .arg(numeric[axis])
                               .arg(samples[i][7 + axis])));
    }
}

QTEST_GUILESS_MAIN(TestSimMotion)
#include "tst_sim_motion.moc"
