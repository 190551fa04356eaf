#include "cubeview.h"

#include <QSurfaceFormat>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <map>

namespace {

// Picture columns and rows of the atlas, as the mesh's texture cells cut it.
struct Cell
{
    int column;
    int row; // 0 top, 1 bottom, as the picture is seen
};

QVector<QRgb> panelGrounds;

int colourDistance(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
}

// Which panel covers most of the picture, told by panel ground colours.
// Returns the panel's index (row * 3 + column) and how many pixels it won.
QPair<int, int> dominantPanel(const QImage &picture)
{
    QVector<int> votes(panelGrounds.size(), 0);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = picture.pixel(x, y);
            for (int p = 0; p < panelGrounds.size(); ++p) {
                if (colourDistance(pixel, panelGrounds[p]) <= 12) {
                    ++votes[p];
                    break;
                }
            }
        }
    }
    int best = 0;
    for (int p = 1; p < votes.size(); ++p)
        if (votes[p] > votes[best])
            best = p;
    return { best, votes[best] };
}

class TestableCube : public CubeView
{
public:
    TestableCube() = default;
    TestableCube(const QString &vertex, const QString &fragment)
        : CubeView(ShaderFiles { vertex, fragment }, nullptr)
    {
    }

    void resizeTo(int w, int h)
    {
        makeCurrent();
        resizeGL(w, h);
        doneCurrent();
    }
    using CubeView::projectionMatrix;
};

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace

Q_DECLARE_METATYPE(Cell)

class TestCube : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void idleFramesTumble();
    void facingPanel_data();
    void facingPanel();
    void heightZero();
    void brokenShadersCloseTheWindow_data();
    void brokenShadersCloseTheWindow();
};

void TestCube::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    QSurfaceFormat format;
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);

    // The commonest colour of each texture cell is that panel's ground.
    const QImage atlas(QStringLiteral(":/cube.png"));
    QVERIFY(!atlas.isNull());
    const int columns[4]
        = { 0, int(0.33f * atlas.width()), int(0.66f * atlas.width()), atlas.width() };
    const int half = atlas.height() / 2;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 3; ++column) {
            std::map<QRgb, int> histogram;
            for (int y = row * half; y < (row + 1) * half; ++y)
                for (int x = columns[column]; x < columns[column + 1]; ++x)
                    ++histogram[atlas.pixel(x, y) | 0xff000000u];
            auto commonest = histogram.begin();
            for (auto it = histogram.begin(); it != histogram.end(); ++it)
                if (it->second > commonest->second)
                    commonest = it;
            panelGrounds.append(commonest->first);
        }
    }
}

void TestCube::idleFramesTumble()
{
    CubeView view;
    view.resize(240, 240);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    // Each rendered frame advances the tumble by a degree about X and Y.
    const QImage first = view.grabFramebuffer();
    const QImage second = view.grabFramebuffer();
    QVERIFY(!first.isNull());
    QVERIFY(first != second);
    QVERIFY(dominantPanel(first).second > 500);

    // Once an orientation arrives the cube holds still.
    view.receiveAngleAxis(0.3f, 0, 0, 1);
    const QImage held = view.grabFramebuffer();
    QCOMPARE(view.grabFramebuffer(), held);
    QVERIFY(held != second);

    // Four zeros mean idle again.
    view.receiveAngleAxis(0, 0, 0, 0);
    QVERIFY(view.grabFramebuffer() != view.grabFramebuffer());
}

void TestCube::facingPanel_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<float>("z");
    QTest::addColumn<Cell>("expected");

    // The panel table: z = +1 bottom left, x = +1 top left, z = -1 top right,
    // x = -1 bottom right, y = -1 bottom middle, y = +1 top middle.
    const float quarter = float(M_PI / 2);
    QTest::newRow("angle 0 about X: Y out") << 0.0f << 1.0f << 0.0f << 0.0f << Cell { 0, 1 };
    QTest::newRow("quarter about Z: X out") << quarter << 0.0f << 0.0f << 1.0f << Cell { 2, 1 };
    QTest::newRow("minus quarter about Z: X in")
        << -quarter << 0.0f << 0.0f << 1.0f << Cell { 0, 0 };
    QTest::newRow("half about Z: Y in") << float(M_PI) << 0.0f << 0.0f << 1.0f << Cell { 2, 0 };
    QTest::newRow("quarter about X: Z in") << quarter << 1.0f << 0.0f << 0.0f << Cell { 1, 1 };
    QTest::newRow("minus quarter about X: Z out")
        << -quarter << 1.0f << 0.0f << 0.0f << Cell { 1, 0 };
}

void TestCube::facingPanel()
{
    QFETCH(float, angle);
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(float, z);
    QFETCH(Cell, expected);

    // The orientation arrives while the window is hidden and is what it
    // shows once opened.
    CubeView view;
    view.receiveAngleAxis(angle, x, y, z);
    view.resize(240, 240);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    const QImage picture = view.grabFramebuffer();
    const auto [panel, pixels] = dominantPanel(picture);
    // The face seen square-on fills well over a tenth of the picture.
    QVERIFY2(pixels > 240 * 240 / 10, qPrintable(QString::number(pixels)));
    QCOMPARE(panel, expected.row * 3 + expected.column);
}

void TestCube::heightZero()
{
    TestableCube view;
    view.resize(200, 100);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    view.resizeTo(200, 0);
    const QMatrix4x4 projection = view.projectionMatrix();
    for (int i = 0; i < 16; ++i)
        QVERIFY(std::isfinite(projection.constData()[i]));
    QCOMPARE(projection, zel::cubeProjection(200, 1));
    // And it still draws.
    QVERIFY(!view.grabFramebuffer().isNull());
}

void TestCube::brokenShadersCloseTheWindow_data()
{
    QTest::addColumn<QByteArray>("vertexSource");
    QTest::addColumn<QByteArray>("fragmentSource");

    QFile vertex(QStringLiteral(":/vshader.glsl"));
    QFile fragment(QStringLiteral(":/fshader.glsl"));
    QVERIFY(vertex.open(QIODevice::ReadOnly) && fragment.open(QIODevice::ReadOnly));
    const QByteArray goodVertex = vertex.readAll();
    const QByteArray goodFragment = fragment.readAll();

    QTest::newRow("vertex does not compile")
        << QByteArray("void main() { gl_Position = ; }") << goodFragment;
    QTest::newRow("fragment does not compile") << goodVertex << QByteArray("this is not GLSL");
    QTest::newRow("empty fragment file") << goodVertex << QByteArray("");
    // A null source stands for a file that is not there at all.
    QTest::newRow("vertex file missing") << QByteArray() << goodFragment;
    QTest::newRow("does not link") << QByteArray("uniform mat4 mvp_matrix;\n") << goodFragment;
}

void TestCube::brokenShadersCloseTheWindow()
{
    QFETCH(QByteArray, vertexSource);
    QFETCH(QByteArray, fragmentSource);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString vertexPath = dir.filePath(QStringLiteral("vertex.glsl"));
    const QString fragmentPath = dir.filePath(QStringLiteral("fragment.glsl"));
    if (!vertexSource.isNull())
        QVERIFY(writeFile(vertexPath, vertexSource));
    QVERIFY(writeFile(fragmentPath, fragmentSource));

    TestableCube view(vertexPath, fragmentPath);
    view.resize(160, 160);
    view.show();
    QTRY_VERIFY_WITH_TIMEOUT(!view.isVisible(), 10000);
    // Nothing is drawn, and drawing again does not crash.
    const QImage picture = view.grabFramebuffer();
    QCOMPARE(dominantPanel(picture).second, 0);
}

QTEST_MAIN(TestCube)
#include "tst_views_cube.moc"
