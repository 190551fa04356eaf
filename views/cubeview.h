#pragma once

#include "cubegeometry.h"

#include <QBasicTimer>
#include <QMatrix4x4>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>

class GeoEngine;
class QOpenGLTexture;

// The module's attitude as a textured cube. It follows the last orientation
// received and tumbles on its own until the first one arrives.
class CubeView : public QOpenGLWidget, protected QOpenGLFunctions
{
    Q_OBJECT

public:
    explicit CubeView(QWidget *parent = nullptr);
    ~CubeView() override;

    // While paused the cube holds still; on resuming it shows the latest
    // orientation received.
    void setPaused(bool pause);
    // The orientation drawn.
    zel::AngleAxis shownOrientation() const { return angleAxis; }

public slots:
    void receiveAngleAxis(float rad, float x, float y, float z);

protected:
    void timerEvent(QTimerEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

    void initShaders();
    void initTextures();

private:
    zel::AngleAxis angleAxis; // the orientation shown
    zel::AngleAxis received;
    bool paused = false;
    bool attitudeChanged = false;
    int timerInterval = 25;
    QBasicTimer timer;
    QOpenGLShaderProgram program;
    GeoEngine *geometries = nullptr;
    QOpenGLTexture *cubeTexture = nullptr;
    QMatrix4x4 projection;
};
