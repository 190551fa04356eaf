#include "geoengine.h"
#include "cubegeometry.h"

#include <QOpenGLShaderProgram>

#include <cstddef>

GeoEngine::GeoEngine()
    : indexBuf(QOpenGLBuffer::IndexBuffer)
{
    initializeOpenGLFunctions();
    arrayBuf.create();
    indexBuf.create();
    initCubeGeometry();
}

GeoEngine::~GeoEngine()
{
    arrayBuf.destroy();
    indexBuf.destroy();
}

void GeoEngine::initCubeGeometry()
{
    const auto &vertices = zel::cubeVertices();
    const auto &indices = zel::cubeIndices();
    arrayBuf.bind();
    arrayBuf.allocate(vertices.data(), static_cast<int>(sizeof(vertices)));
    indexBuf.bind();
    indexBuf.allocate(indices.data(), static_cast<int>(sizeof(indices)));
}

void GeoEngine::drawCubeGeometry(QOpenGLShaderProgram *program)
{
    arrayBuf.bind();
    indexBuf.bind();

    constexpr int stride = sizeof(zel::CubeVertex);
    const int position = program->attributeLocation("a_position");
    program->enableAttributeArray(position);
    program->setAttributeBuffer(position, GL_FLOAT, offsetof(zel::CubeVertex, x), 3, stride);

    const int texcoord = program->attributeLocation("a_texcoord");
    program->enableAttributeArray(texcoord);
    program->setAttributeBuffer(texcoord, GL_FLOAT, offsetof(zel::CubeVertex, s), 2, stride);

    glDrawElements(GL_TRIANGLE_STRIP, zel::cubeIndexCount, GL_UNSIGNED_SHORT, nullptr);
}
