#include "cubegeometry.h"
#include "cubeview.h"

#include <QVector3D>
#include <QtTest>

#include <algorithm>
#include <cmath>

class TestCube : public QObject
{
    Q_OBJECT

private slots:
    void orientationTurnsItsFaceToTheViewer_data();
    void orientationTurnsItsFaceToTheViewer();
};

void TestCube::orientationTurnsItsFaceToTheViewer_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<QVector3D>("axis"); // in the module's frame
    QTest::addColumn<QVector3D>("face"); // outward normal of the cube face that ends up in front
    QTest::addColumn<QRgb>("ground"); // that face's panel colour in the texture picture

    // At rest the module's Y points at the viewer, its Z up and its X left.
    const float quarter = float(M_PI / 2);
    QTest::newRow("angle 0 about X: Y out, pale green")
        << 0.0f << QVector3D(1, 0, 0) << QVector3D(0, 0, 1) << QRgb(0xe6f7e2);
    QTest::newRow("quarter about Z: X out, pale pink")
        << quarter << QVector3D(0, 0, 1) << QVector3D(-1, 0, 0) << QRgb(0xfde6e6);
    QTest::newRow("quarter about X: Z in, blue")
        << quarter << QVector3D(1, 0, 0) << QVector3D(0, -1, 0) << QRgb(0xbdcff2);
}

void TestCube::orientationTurnsItsFaceToTheViewer()
{
    QFETCH(float, angle);
    QFETCH(QVector3D, axis);
    QFETCH(QVector3D, face);
    QFETCH(QRgb, ground);

    const QMatrix4x4 model = zel::orientationModelMatrix({ angle, axis.x(), axis.y(), axis.z() });
    QVERIFY((model.mapVector(face) - QVector3D(0, 0, 1)).length() < 1e-5f);

    // Received while hidden, shown once opened.
    CubeView view;
    view.receiveAngleAxis(angle, axis.x(), axis.y(), axis.z());
    view.resize(240, 240);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QImage picture = view.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    const auto *pixels = reinterpret_cast<const QRgb *>(picture.constBits());
    const int area = picture.width() * picture.height();
    const auto groundPixels = std::count(pixels, pixels + area, ground | 0xff000000u);
    // The face seen square-on covers about a third of the picture.
    QVERIFY2(groundPixels > area / 8, qPrintable(QString::number(groundPixels)));

    // A new attitude while shown brings a new frame.
    QSignalSpy frames(&view, &QOpenGLWidget::frameSwapped);
    view.receiveAngleAxis(angle + 1, axis.x(), axis.y(), axis.z());
    QVERIFY(frames.wait());
}

QTEST_MAIN(TestCube)
#include "tst_views_cube.moc"
