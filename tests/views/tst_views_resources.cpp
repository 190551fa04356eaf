#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QtTest>

#include <map>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void atlasHasSixDistinctPanels();
    void iconHoldsEverySize();
};

void TestResources::initTestCase()
{
    Q_INIT_RESOURCE(resources);
}

void TestResources::atlasHasSixDistinctPanels()
{
    const QImage atlas(QStringLiteral(":/cube.png"));
    QVERIFY(!atlas.isNull());
    QCOMPARE(atlas.size(), QSize(1549, 1032));
    QVERIFY(atlas.hasAlphaChannel());

    // The cube tells its faces apart by the commonest colour of each panel,
    // whose cells follow the mesh's texture columns 0.33 and 0.66.
    const int columns[4] = { 0, int(0.33f * 1549), int(0.66f * 1549), 1549 };
    QVector<QRgb> grounds;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 3; ++column) {
            std::map<QRgb, int> histogram;
            for (int y = row * 516; y < (row + 1) * 516; ++y)
                for (int x = columns[column]; x < columns[column + 1]; ++x)
                    ++histogram[atlas.pixel(x, y)];
            auto commonest = histogram.begin();
            for (auto it = histogram.begin(); it != histogram.end(); ++it)
                if (it->second > commonest->second)
                    commonest = it;
            // The ground covers most of the panel and is opaque.
            QVERIFY(commonest->second > 516 * 516 / 3);
            QCOMPARE(qAlpha(commonest->first), 255);
            grounds.append(commonest->first);
        }
    }
    for (int i = 0; i < grounds.size(); ++i) {
        for (int j = i + 1; j < grounds.size(); ++j) {
            const int distance = qAbs(qRed(grounds[i]) - qRed(grounds[j]))
                + qAbs(qGreen(grounds[i]) - qGreen(grounds[j]))
                + qAbs(qBlue(grounds[i]) - qBlue(grounds[j]));
            QVERIFY2(distance > 30,
                qPrintable(QStringLiteral("panels %1 and %2 look alike").arg(i).arg(j)));
        }
    }
}

void TestResources::iconHoldsEverySize()
{
    // The path is used without a slash after the colon, as the windows do.
    QImageReader reader(QStringLiteral(":icons/launcher.ico"));
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    QCOMPARE(reader.imageCount(), 4);
    QVector<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.width(), image.height());
        // Transparent corners, opaque middle.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255);
        sizes.append(image.width());
    }
    QCOMPARE(sizes, QVector<int>({ 16, 32, 48, 256 }));

    const QIcon icon(QStringLiteral(":icons/launcher.ico"));
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes().size(), 4);
}

QTEST_MAIN(TestResources)
#include "tst_views_resources.moc"
