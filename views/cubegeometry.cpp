#include "cubegeometry.h"

namespace zel {

namespace {
constexpr float sA = 0.33f;
constexpr float sB = 0.66f;

// Each face's four vertices are ordered so that, as a strip, both of its
// triangles are counter-clockwise seen from outside; culling relies on it.
const std::array<CubeVertex, cubeVertexCount> vertices = { {
    // z = +1
    { -1.0f, -1.0f, 1.0f, 0.0f, 0.0f },
    { 1.0f, -1.0f, 1.0f, sA, 0.0f },
    { -1.0f, 1.0f, 1.0f, 0.0f, 0.5f },
    { 1.0f, 1.0f, 1.0f, sA, 0.5f },
    // x = +1
    { 1.0f, -1.0f, 1.0f, 0.0f, 0.5f },
    { 1.0f, -1.0f, -1.0f, sA, 0.5f },
    { 1.0f, 1.0f, 1.0f, 0.0f, 1.0f },
    { 1.0f, 1.0f, -1.0f, sA, 1.0f },
    // z = -1
    { 1.0f, -1.0f, -1.0f, sB, 0.5f },
    { -1.0f, -1.0f, -1.0f, 1.0f, 0.5f },
    { 1.0f, 1.0f, -1.0f, sB, 1.0f },
    { -1.0f, 1.0f, -1.0f, 1.0f, 1.0f },
    // x = -1
    { -1.0f, -1.0f, -1.0f, sB, 0.0f },
    { -1.0f, -1.0f, 1.0f, 1.0f, 0.0f },
    { -1.0f, 1.0f, -1.0f, sB, 0.5f },
    { -1.0f, 1.0f, 1.0f, 1.0f, 0.5f },
    // y = -1
    { -1.0f, -1.0f, -1.0f, sA, 0.0f },
    { 1.0f, -1.0f, -1.0f, sB, 0.0f },
    { -1.0f, -1.0f, 1.0f, sA, 0.5f },
    { 1.0f, -1.0f, 1.0f, sB, 0.5f },
    // y = +1
    { -1.0f, 1.0f, 1.0f, sA, 0.5f },
    { 1.0f, 1.0f, 1.0f, sB, 0.5f },
    { -1.0f, 1.0f, -1.0f, sA, 1.0f },
    { 1.0f, 1.0f, -1.0f, sB, 1.0f },
} };

// Repeating a face's last index and the next face's first keeps every face
// starting on an even position, so the strip's alternating winding lines up.
const std::array<quint16, cubeIndexCount> indices = { {
    0,
    1,
    2,
    3,
    3,
    4,
    4,
    5,
    6,
    7,
    7,
    8,
    8,
    9,
    10,
    11,
    11,
    12,
    12,
    13,
    14,
    15,
    15,
    16,
    16,
    17,
    18,
    19,
    19,
    20,
    20,
    21,
    22,
    23,
} };
} // namespace

const std::array<CubeVertex, cubeVertexCount> &cubeVertices()
{
    return vertices;
}

const std::array<quint16, cubeIndexCount> &cubeIndices()
{
    return indices;
}

int nextSpinAngle(int spinAngle)
{
    return spinAngle % 360 + 1;
}

QMatrix4x4 spinModelMatrix(int spinAngle)
{
    QMatrix4x4 matrix;
    matrix.translate(0.0f, 0.0f, -5.0f);
    matrix.rotate(static_cast<float>(spinAngle), 1.0f, 0.0f, 0.0f);
    matrix.rotate(static_cast<float>(spinAngle), 0.0f, 1.0f, 0.0f);
    return matrix;
}

QMatrix4x4 orientationModelMatrix(const AngleAxis &orientation)
{
    QMatrix4x4 matrix;
    matrix.translate(0.0f, 0.0f, -5.0f);
    const float degrees = static_cast<float>(static_cast<double>(orientation.angle) * 57.2957795);
    matrix.rotate(degrees, -orientation.x, orientation.z, orientation.y);
    return matrix;
}

QMatrix4x4 cubeProjection(int width, int height)
{
    const double aspect = height == 0 ? width : static_cast<double>(width) / height;
    QMatrix4x4 projection;
    projection.perspective(45.0f, static_cast<float>(aspect), 3.0f, 7.0f);
    return projection;
}

} // namespace zel
