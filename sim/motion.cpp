#include "motion.h"

#include <cmath>

namespace zel::sim {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double degToRad = pi / 180.0;

struct Wave
{
    double amplitudeDeg;
    double periodS;
    double phase;
};

struct Angle
{
    double value; // radians
    double rate; // radians per second
};

// Incommensurate periods keep the motion from repeating visibly.
constexpr Wave yawWaves[] = { { 100.0, 37.0, 0.3 }, { 40.0, 11.0, 1.1 } };
constexpr Wave pitchWaves[] = { { 25.0, 13.0, 0.7 }, { 10.0, 5.3, 2.0 } };
constexpr Wave rollWaves[] = { { 30.0, 17.0, 2.5 }, { 12.0, 4.1, 0.4 } };

template <int N> Angle evaluate(const Wave (&waves)[N], double t)
{
    Angle a { 0, 0 };
    for (const Wave &w : waves) {
        const double omega = 2 * pi / w.periodS;
        a.value += w.amplitudeDeg * degToRad * std::sin(omega * t + w.phase);
        a.rate += w.amplitudeDeg * degToRad * omega * std::cos(omega * t + w.phase);
    }
    return a;
}

// Rotates a world vector into the body frame: v_body = R^T v_world.
void worldToBody(const double q[4], const double world[3], double body[3])
{
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    const double r[3][3] = {
        { 1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y) },
        { 2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x) },
        { 2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y) },
    };
    for (int i = 0; i < 3; ++i)
        body[i] = r[0][i] * world[0] + r[1][i] * world[1] + r[2][i] * world[2];
}

} // namespace

MotionSample motionAt(double t, double magField)
{
    const Angle yaw = evaluate(yawWaves, t);
    const Angle pitch = evaluate(pitchWaves, t);
    const Angle roll = evaluate(rollWaves, t);

    MotionSample s {};
    s.yaw = yaw.value / degToRad;
    s.pitch = pitch.value / degToRad;
    s.roll = roll.value / degToRad;

    const double cy = std::cos(yaw.value / 2), sy = std::sin(yaw.value / 2);
    const double cp = std::cos(pitch.value / 2), sp = std::sin(pitch.value / 2);
    const double cr = std::cos(roll.value / 2), sr = std::sin(roll.value / 2);
    s.quat[0] = cr * cp * cy + sr * sp * sy;
    s.quat[1] = sr * cp * cy - cr * sp * sy;
    s.quat[2] = cr * sp * cy + sr * cp * sy;
    s.quat[3] = cr * cp * sy - sr * sp * cy;

    const double vectorNorm
        = std::sqrt(s.quat[1] * s.quat[1] + s.quat[2] * s.quat[2] + s.quat[3] * s.quat[3]);
    s.angle = 2 * std::atan2(vectorNorm, s.quat[0]);
    if (vectorNorm > 1e-12) {
        for (int i = 0; i < 3; ++i)
            s.axis[i] = s.quat[i + 1] / vectorNorm;
    } else {
        s.axis[2] = 1; // no rotation: any axis will do
    }

    const double gravityUp[3] = { 0, 0, standardGravity };
    worldToBody(s.quat, gravityUp, s.acc);

    const double inclination = fieldInclinationDeg * degToRad;
    const double field[3]
        = { 0, magField * std::cos(inclination), -magField * std::sin(inclination) };
    worldToBody(s.quat, field, s.mag);

    // Body rates of the Z-Y-X sequence from the Euler angle rates.
    const double sinRoll = std::sin(roll.value), cosRoll = std::cos(roll.value);
    const double sinPitch = std::sin(pitch.value), cosPitch = std::cos(pitch.value);
    const double p = roll.rate - yaw.rate * sinPitch;
    const double q = pitch.rate * cosRoll + yaw.rate * sinRoll * cosPitch;
    const double r = -pitch.rate * sinRoll + yaw.rate * cosRoll * cosPitch;
    s.gyr[0] = p / degToRad;
    s.gyr[1] = q / degToRad;
    s.gyr[2] = r / degToRad;
    return s;
}

} // namespace zel::sim
