#include "cubeview.h"
#include "geoengine.h"

#include <QHideEvent>
#include <QImage>
#include <QMetaObject>
#include <QOpenGLTexture>
#include <QShowEvent>
#include <QTimerEvent>

// Outside any namespace: the resource initialiser is a global function.
static void initCubeResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {
// Shared by every cube, as the tumble is a property of the program's idle
// state rather than of one window.
int spinAngle = 0;
constexpr int tumbleIntervalMs = 25;
// 25 frames a second follow a streaming attitude smoothly; with software
// OpenGL each frame is costly enough that a higher rate shows in the CPU.
constexpr int followIntervalMs = 40;
} // namespace

CubeView::CubeView(QWidget *parent)
    : QOpenGLWidget(parent)
{
    initCubeResources();
}

CubeView::~CubeView()
{
    // The texture and buffers belong to this widget's context; freeing them
    // with another one current would release someone else's objects.
    makeCurrent();
    delete cubeTexture;
    delete geometries;
    doneCurrent();
    timer.stop();
}

void CubeView::setPaused(bool pause)
{
    paused = pause;
    if (!paused) {
        angleAxis = received;
        update();
    }
}

void CubeView::receiveAngleAxis(float rad, float x, float y, float z)
{
    received = zel::AngleAxis { rad, x, y, z };
    if (paused)
        return;
    attitudeChanged = true;
    angleAxis = received;
}

void CubeView::timerEvent(QTimerEvent *)
{
    // At most one frame per tick: a new attitude at screen rate, or the
    // idle tumble at its own pace.
    const int interval = angleAxis.isIdle() ? tumbleIntervalMs : followIntervalMs;
    if (interval != timerInterval) {
        timerInterval = interval;
        timer.start(timerInterval, this);
    }
    if (attitudeChanged || angleAxis.isIdle()) {
        attitudeChanged = false;
        update();
    }
}

void CubeView::showEvent(QShowEvent *event)
{
    if (geometries)
        timer.start(timerInterval, this);
    QOpenGLWidget::showEvent(event);
}

void CubeView::hideEvent(QHideEvent *event)
{
    timer.stop();
    QOpenGLWidget::hideEvent(event);
}

void CubeView::initializeGL()
{
    initializeOpenGLFunctions();
    glClearColor(0, 0, 0, 1);

    initShaders();
    initTextures();

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);

    geometries = new GeoEngine;
    timer.start(timerInterval, this);
}

void CubeView::initShaders()
{
    // Closing is queued: initializeGL runs in the middle of showing the
    // widget, and hiding it from there would leave the window half shown.
    bool ok
        = program.addShaderFromSourceFile(QOpenGLShader::Vertex, QStringLiteral(":/vshader.glsl"));
    ok = program.addShaderFromSourceFile(QOpenGLShader::Fragment, QStringLiteral(":/fshader.glsl"))
        && ok;
    ok = program.link() && ok;
    ok = program.bind() && ok;
    if (!ok)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CubeView::initTextures()
{
    const QImage image(QStringLiteral(":/cube.png"));
    if (image.isNull()) {
        qInfo("cube texture missing from the resources");
        return;
    }
    // Images have their first row at the top, textures at the bottom.
    cubeTexture = new QOpenGLTexture(image.mirrored(false, true));
    cubeTexture->setMinificationFilter(QOpenGLTexture::Nearest);
    cubeTexture->setMagnificationFilter(QOpenGLTexture::Linear);
    cubeTexture->setWrapMode(QOpenGLTexture::Repeat);
}

void CubeView::resizeGL(int w, int h)
{
    projection = zel::cubeProjection(w, h);
}

void CubeView::paintGL()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // A program that did not link has no attributes to feed; the window is
    // being closed anyway.
    if (!program.isLinked() || !geometries)
        return;

    if (cubeTexture)
        cubeTexture->bind();

    QMatrix4x4 model;
    if (angleAxis.isIdle()) {
        if (!paused)
            spinAngle = zel::nextSpinAngle(spinAngle);
        model = zel::spinModelMatrix(spinAngle);
    } else {
        model = zel::orientationModelMatrix(angleAxis);
    }

    program.setUniformValue("mvp_matrix", projection * model);
    program.setUniformValue("texture", 0);
    geometries->drawCubeGeometry(&program);
}
