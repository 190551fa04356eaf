#pragma once

#include <QOpenGLBuffer>
#include <QOpenGLFunctions>

class QOpenGLShaderProgram;

// The cube's mesh on the GPU: one static vertex buffer, one static index
// buffer, drawn with a single call. Construct and destroy it with the owning
// widget's context current.
class GeoEngine : protected QOpenGLFunctions
{
public:
    GeoEngine();
    virtual ~GeoEngine();

    void drawCubeGeometry(QOpenGLShaderProgram *program);

private:
    void initCubeGeometry();

    QOpenGLBuffer arrayBuf;
    QOpenGLBuffer indexBuf;
};
