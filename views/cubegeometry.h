#pragma once

// The cube's mesh and the matrices that place it, as plain data and
// functions: nothing here needs an OpenGL context.

#include <QMatrix4x4>
#include <QtGlobal>

#include <array>

namespace zel {

struct CubeVertex
{
    float x, y, z;
    float s, t;
};
static_assert(sizeof(CubeVertex) == 20, "the vertex buffer layout is five packed floats");

constexpr int cubeVertexCount = 24;
constexpr int cubeIndexCount = 34;

// Four vertices per face, each face's texture cell one panel of the atlas.
const std::array<CubeVertex, cubeVertexCount> &cubeVertices();
// One triangle strip over all faces, joined by degenerate triangles.
const std::array<quint16, cubeIndexCount> &cubeIndices();

// The module's orientation: a rotation of `angle` radians about (x, y, z)
// in the module's frame.
struct AngleAxis
{
    float angle = 0;
    float x = 0;
    float y = 0;
    float z = 0;

    // Only four exact zeros mean "nothing received yet"; angle 0 about a
    // real axis is a valid, unrotated orientation.
    bool isIdle() const { return angle == 0 && x == 0 && y == 0 && z == 0; }
};

// The idle tumble counter runs 1, 2, ..., 360, 1, ...
int nextSpinAngle(int spinAngle);

// Model matrices: the cube sits five units in front of the eye.
QMatrix4x4 spinModelMatrix(int spinAngle);
// The module's Z is the scene's up, its Y points at the viewer and its X to
// the left, hence the axis (-x, z, y).
QMatrix4x4 orientationModelMatrix(const AngleAxis &orientation);

// A 45 degree perspective whose depth range just holds the cube. A height of
// zero is taken as one rather than dividing by it.
QMatrix4x4 cubeProjection(int width, int height);

} // namespace zel
