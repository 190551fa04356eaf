#include "cubegeometry.h"

#include <QVector3D>
#include <QtTest>

#include <cmath>

using zel::AngleAxis;

namespace {

QVector3D position(int index)
{
    const zel::CubeVertex &v = zel::cubeVertices()[index];
    return { v.x, v.y, v.z };
}

// The outward normal of the face a vertex index belongs to (four per face).
QVector3D faceNormal(int face)
{
    QVector3D sum;
    for (int i = 0; i < 4; ++i)
        sum += position(face * 4 + i);
    return sum / 4;
}

bool fuzzyEqual(const QVector3D &a, const QVector3D &b)
{
    return (a - b).length() < 1e-5f;
}

} // namespace

class TestGeometry : public QObject
{
    Q_OBJECT

private slots:
    void stripTrianglesFaceOutwards();
    void texturesAreNotMirrored();
    void facingFace_data();
    void facingFace();
    void zeroAngleIsNotIdle();
    void spinCounterWraps();
    void spinTurnsAboutXThenY();
    void projectionHeightZero();
};

void TestGeometry::stripTrianglesFaceOutwards()
{
    // Walk the strip as the GPU does: odd triangles swap their first two
    // vertices. Every triangle that is not degenerate must wind
    // counter-clockwise seen from outside, or culling would drop it.
    const auto &indices = zel::cubeIndices();
    QVector<int> trianglesPerFace(6, 0);
    for (int k = 0; k + 2 < zel::cubeIndexCount; ++k) {
        int a = indices[k], b = indices[k + 1];
        const int c = indices[k + 2];
        if (a == b || b == c || a == c)
            continue;
        if (k % 2 == 1)
            std::swap(a, b);
        QCOMPARE(a / 4, c / 4);
        QCOMPARE(b / 4, c / 4);
        const QVector3D normal
            = QVector3D::crossProduct(position(b) - position(a), position(c) - position(a));
        QVERIFY2(QVector3D::dotProduct(normal, faceNormal(c / 4)) > 0,
            qPrintable(QStringLiteral("triangle %1 faces inwards").arg(k)));
        ++trianglesPerFace[c / 4];
    }
    QCOMPARE(trianglesPerFace, QVector<int>(6, 2));

    // Six distinct faces, one per side of the cube.
    for (int f = 0; f < 6; ++f) {
        QCOMPARE(faceNormal(f).length(), 1.0f);
        for (int g = f + 1; g < 6; ++g)
            QVERIFY(!fuzzyEqual(faceNormal(f), faceNormal(g)));
    }
}

void TestGeometry::texturesAreNotMirrored()
{
    // Seen from outside, each face's texture must keep its handedness, or
    // the letters on the panels would read backwards.
    const auto &v = zel::cubeVertices();
    for (int face = 0; face < 6; ++face) {
        const int a = face * 4, b = a + 1, c = a + 2;
        const float st
            = (v[b].s - v[a].s) * (v[c].t - v[a].t) - (v[c].s - v[a].s) * (v[b].t - v[a].t);
        QVERIFY2(st > 0, qPrintable(QStringLiteral("face %1 is mirrored").arg(face)));
    }
}

void TestGeometry::facingFace_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<QVector3D>("axis");
    QTest::addColumn<QVector3D>("faceTowardViewer");

    const float quarter = float(M_PI / 2);
    QTest::newRow("angle 0 about X") << 0.0f << QVector3D(1, 0, 0) << QVector3D(0, 0, 1);
    QTest::newRow("quarter about Z") << quarter << QVector3D(0, 0, 1) << QVector3D(-1, 0, 0);
    QTest::newRow("minus quarter about Z") << -quarter << QVector3D(0, 0, 1) << QVector3D(1, 0, 0);
    QTest::newRow("half about Z") << float(M_PI) << QVector3D(0, 0, 1) << QVector3D(0, 0, -1);
    QTest::newRow("quarter about X") << quarter << QVector3D(1, 0, 0) << QVector3D(0, -1, 0);
    QTest::newRow("minus quarter about X") << -quarter << QVector3D(1, 0, 0) << QVector3D(0, 1, 0);
    QTest::newRow("quarter about Y, unnormalised")
        << quarter << QVector3D(0, 3, 0) << QVector3D(0, 0, 1);
}

void TestGeometry::facingFace()
{
    QFETCH(float, angle);
    QFETCH(QVector3D, axis);
    QFETCH(QVector3D, faceTowardViewer);

    const QMatrix4x4 model
        = zel::orientationModelMatrix(AngleAxis { angle, axis.x(), axis.y(), axis.z() });
    // The cube's centre stays five units in front of the eye.
    QVERIFY(fuzzyEqual(model.map(QVector3D()), QVector3D(0, 0, -5)));
    // The face turned towards the eye is the one whose normal now points
    // along +z.
    QVERIFY(fuzzyEqual(model.mapVector(faceTowardViewer), QVector3D(0, 0, 1)));
}

void TestGeometry::zeroAngleIsNotIdle()
{
    QVERIFY(AngleAxis {}.isIdle());
    const AngleAxis zeroAboutX { 0, 1, 0, 0 };
    QVERIFY(!zeroAboutX.isIdle());
    QMatrix4x4 translated;
    translated.translate(0, 0, -5);
    QCOMPARE(zel::orientationModelMatrix(zeroAboutX), translated);
}

void TestGeometry::spinCounterWraps()
{
    int spin = 0;
    QVector<int> seen;
    for (int frame = 0; frame < 362; ++frame) {
        spin = zel::nextSpinAngle(spin);
        seen.append(spin);
    }
    QCOMPARE(seen.first(), 1);
    QCOMPARE(seen.at(359), 360);
    QCOMPARE(seen.at(360), 1);
    QCOMPARE(seen.at(361), 2);
}

void TestGeometry::spinTurnsAboutXThenY()
{
    // A point on the Y axis is untouched by the turn about Y that is applied
    // to it first, so only the turn about X moves it.
    const QMatrix4x4 model = zel::spinModelMatrix(90);
    QVERIFY(fuzzyEqual(model.map(QVector3D(0, 1, 0)), QVector3D(0, 0, -4)));
    // A point on X is first turned about Y onto -Z, then left there by X.
    QVERIFY(fuzzyEqual(model.map(QVector3D(1, 0, 0)), QVector3D(0, 1, -5)));
    // Successive idle frames differ.
    QVERIFY(!qFuzzyCompare(zel::spinModelMatrix(1), zel::spinModelMatrix(2)));
}

void TestGeometry::projectionHeightZero()
{
    const QMatrix4x4 flat = zel::cubeProjection(200, 0);
    for (int i = 0; i < 16; ++i)
        QVERIFY(std::isfinite(flat.constData()[i]));
    // Height zero is taken as aspect = width, the same as a height of one.
    QCOMPARE(flat, zel::cubeProjection(200, 1));
    QVERIFY(flat != zel::cubeProjection(200, 200));
}

QTEST_APPLESS_MAIN(TestGeometry)
#include "tst_views_geometry.moc"
