#include "datactrl.h"

#include <QtTest>

#include <limits>

using namespace zel;

namespace {

QStringList asList(const DataCtrlTexts &texts)
{
    return { texts.outputRate, texts.fusionMode, texts.baudRate, texts.dataOutput, texts.refCity };
}

} // namespace

class TestConfigRecord : public QObject
{
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void decode_data();
    void decode();
    void hostBaudRateFollowsCode();
    void windowItemsRoundTrip();
};

void TestConfigRecord::encode_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<float>("magField");

    // The held record starts as 77 77 77 77 77 77 with 12.5.
    QTest::newRow("window defaults")
        << QStringList { "25Hz", "AHRS", "115200", "Disabled", "Taipei" }
        << QByteArray("\x01\x00\x01\x00\x00\x00", 6) << 45.55f;
    QTest::newRow("10Hz IMU 921600")
        << QStringList { "10Hz", "IMU", "921600", "Enabled", "San Jose" }
        << QByteArray("\x00\x01\x01\x01\x00\x01", 6) << 47.89f;
    QTest::newRow("500Hz 38400") << QStringList { "500Hz", "AHRS", "38400", "Disabled", "Dallas" }
                                 << QByteArray("\x04\x00\x01\x02\x00\x00", 6) << 48.53f;
    QTest::newRow("50Hz Shanghai") << QStringList { "50Hz", "IMU", "115200", "Enabled", "Shanghai" }
                                   << QByteArray("\x02\x01\x01\x00\x00\x01", 6) << 48.97f;
    QTest::newRow("100Hz Shenzhen")
        << QStringList { "100Hz", "AHRS", "921600", "Disabled", "Shenzhen" }
        << QByteArray("\x03\x00\x01\x01\x00\x00", 6) << 38.55f;
    // Only whole, case-exact texts count; the reserved bytes are written anyway.
    QTest::newRow("unmatched texts keep fields")
        << QStringList { "25hz", " IMU", "9600", "", "taipei" }
        << QByteArray("\x77\x77\x01\x77\x00\x77", 6) << 12.5f;
}

void TestConfigRecord::encode()
{
    QFETCH(QStringList, texts);
    QFETCH(QByteArray, record);
    QFETCH(float, magField);

    QByteArray held(dataCtrlRecordLength, char(0x77));
    float heldField = 12.5f;
    encodeDataCtrl({ texts[0], texts[1], texts[2], texts[3], texts[4] }, held, heldField);
    QCOMPARE(held, record);
    QCOMPARE(heldField, magField);
}

void TestConfigRecord::decode_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<float>("magField");
    QTest::addColumn<QStringList>("texts");

    const QString unknown = QStringLiteral("Unkown");
    const QByteArray zeros(6, '\0');
    QTest::newRow("first codes") << QByteArray("\x01\x00\x09\x00\x09\x00", 6) << 45.55f
                                 << QStringList { "25Hz", "AHRS", "115200", "Disabled", "Taipei" };
    QTest::newRow("second codes") << QByteArray("\x02\x01\x01\x01\x00\x01", 6) << 47.9f
                                  << QStringList { "50Hz", "IMU", "921600", "Enabled", "San Jose" };
    QTest::newRow("100Hz 38400") << QByteArray("\x03\x00\x01\x02\x00\x00", 6) << 48.53f
                                 << QStringList { "100Hz", "AHRS", "38400", "Disabled", "Dallas" };
    QTest::newRow("odr 0, past tables") << QByteArray("\x00\x02\x01\x03\x00\x02",
        6) << 45.7f << QStringList { unknown, unknown, unknown, unknown, unknown };
    QTest::newRow("odr 4, 40.0") << QByteArray("\x04\x00\x01\x00\x00\x00", 6) << 40.0f
                                 << QStringList { unknown, "AHRS", "115200", "Disabled", unknown };
    QTest::newRow("odr 255, 45.6") << QByteArray("\xFF\x00\x01\x00\x00\x00",
        6) << 45.6f << QStringList { unknown, "AHRS", "115200", "Disabled", "Taipei" };
    // Both lie a nominal 0.1 from Taipei; single-precision rounding decides.
    QTest::newRow("45.45 inside") << zeros << 45.45f
                                  << QStringList { unknown, "AHRS", "115200", "Disabled",
                                         "Taipei" };
    QTest::newRow("45.65 outside")
        << zeros << 45.65f << QStringList { unknown, "AHRS", "115200", "Disabled", unknown };
    QTest::newRow("NaN") << zeros << std::numeric_limits<float>::quiet_NaN()
                         << QStringList { unknown, "AHRS", "115200", "Disabled", unknown };
    QTest::newRow("two bytes only") << QByteArray("\x02\x01", 2) << 45.55f
                                    << QStringList { "50Hz", "IMU", unknown, unknown, "Taipei" };
}

void TestConfigRecord::decode()
{
    QFETCH(QByteArray, record);
    QFETCH(float, magField);
    QFETCH(QStringList, texts);

    QCOMPARE(asList(decodeDataCtrl(record, magField)), texts);
}

void TestConfigRecord::hostBaudRateFollowsCode()
{
    const int rates[] = { 115200, 921600, 38400, 0, 0 };
    const quint8 codes[] = { 0, 1, 2, 3, 255 };
    for (int i = 0; i < 5; ++i)
        QCOMPARE(hostBaudRate(codes[i]), rates[i]);
}

void TestConfigRecord::windowItemsRoundTrip()
{
    // Whatever the user can pick must come back as the same picks once the
    // module echoes the record.
    int combinations = 0;
    for (const QString &rate : outputRateItems())
        for (const QString &mode : fusionModeItems())
            for (const QString &baud : baudRateItems())
                for (const QString &output : dataOutputItems())
                    for (const QString &city : refCityItems()) {
                        const DataCtrlTexts picks { rate, mode, baud, output, city };
                        QByteArray record;
                        float magField = 0;
                        encodeDataCtrl(picks, record, magField);
                        QCOMPARE(asList(decodeDataCtrl(record, magField)), asList(picks));
                        ++combinations;
                    }
    QCOMPARE(combinations, 3 * 2 * 2 * 2 * 5);
}

QTEST_APPLESS_MAIN(TestConfigRecord)
#include "tst_config_record.moc"
