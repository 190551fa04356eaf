#pragma once

namespace zel::sim {

constexpr double standardGravity = 9.80665; // m/s^2
// Inclination of the simulated earth field below the horizon, typical of
// mid-northern latitudes.
constexpr double fieldInclinationDeg = 36.0;

// Noise-free state of the module at one instant.
//
// Frames: the world frame is right-handed with x east, y north, z up; the body
// frame has z up when the module lies flat with yaw 0. The quaternion rotates
// body vectors into the world frame. The Euler angles are intrinsic Z-Y-X:
// yaw about z, then pitch about the new y, then roll about the new x, so
// R = Rz(yaw) * Ry(pitch) * Rx(roll). The accelerometer reads the reaction
// to gravity (a flat module at rest reads +g on z), the magnetometer the earth
// field pointing north and down, and the gyroscope the body-frame angular
// velocity.
struct MotionSample
{
    double acc[3]; // m/s^2
    double mag[3]; // uT
    double gyr[3]; // dps
    double quat[4]; // w, x, y, z; w stays positive for this motion
    double pitch, roll, yaw; // degrees
    double angle; // radians in [0, pi]
    double axis[3]; // unit vector
};

// The module's slow attitude wander at t seconds since start. The motion is
// a sum of slow sinusoids, bounded so that pitch stays far from +-90 degrees
// and the quaternion never needs a sign flip.
MotionSample motionAt(double t, double magField = 45.55);

} // namespace zel::sim
