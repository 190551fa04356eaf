// The data-control record's code tables in both directions, without a
// window: the boxes' texts written into the record, the module's record read
// back as texts, and the host rate that follows the record's baud code.

#include "datactrl.h"

#include <QtTest>

using namespace zel;

namespace {

QStringList textsOf(const DataCtrlTexts &texts)
{
    return { texts.outputRate, texts.fusionMode, texts.baudRate, texts.dataOutput, texts.refCity };
}

} // namespace

class TstConfigDataCtrl : public QObject
{
    Q_OBJECT

private slots:
    void itemsOfEachBox();
    void textsAndRecordBothWays_data();
    void textsAndRecordBothWays();
    void encodingBeyondTheBoxes();
    void unknownCodesAndNearbyFields();
};

void TstConfigDataCtrl::itemsOfEachBox()
{
    QCOMPARE(outputRateItems(), QStringList({ "25Hz", "50Hz", "100Hz" }));
    QCOMPARE(fusionModeItems(), QStringList({ "AHRS", "IMU" }));
    QCOMPARE(baudRateItems(), QStringList({ "115200", "921600" }));
    QCOMPARE(dataOutputItems(), QStringList({ "Disabled", "Enabled" }));
    QCOMPARE(
        refCityItems(), QStringList({ "Taipei", "San Jose", "Dallas", "Shanghai", "Shenzhen" }));
}

void TstConfigDataCtrl::textsAndRecordBothWays_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<float>("magField");

    QTest::newRow("Taipei") << QStringList { "25Hz", "AHRS", "115200", "Disabled", "Taipei" }
                            << QByteArray::fromHex("010001000000") << 45.55f;
    QTest::newRow("San Jose") << QStringList { "50Hz", "IMU", "921600", "Enabled", "San Jose" }
                              << QByteArray::fromHex("020101010001") << 47.89f;
    QTest::newRow("Dallas") << QStringList { "100Hz", "AHRS", "38400", "Enabled", "Dallas" }
                            << QByteArray::fromHex("030001020001") << 48.53f;
    QTest::newRow("Shanghai") << QStringList { "25Hz", "IMU", "115200", "Disabled", "Shanghai" }
                              << QByteArray::fromHex("010101000000") << 48.97f;
    QTest::newRow("Shenzhen") << QStringList { "50Hz", "AHRS", "921600", "Disabled", "Shenzhen" }
                              << QByteArray::fromHex("020001010000") << 38.55f;
}

void TstConfigDataCtrl::textsAndRecordBothWays()
{
    QFETCH(QStringList, texts);
    QFETCH(QByteArray, record);
    QFETCH(float, magField);
    // Every byte held before is one no text gives, the reserved ones included.
    QByteArray held = QByteArray::fromHex("ffffffffffff");
    float field = 0;
    encodeDataCtrl({ texts[0], texts[1], texts[2], texts[3], texts[4] }, held, field);
    QCOMPARE(held.toHex(' '), record.toHex(' '));
    QCOMPARE(field, magField);
    QCOMPARE(textsOf(decodeDataCtrl(record, magField)), texts);
    QCOMPARE(hostBaudRate(quint8(record.at(BaudCodeByte))), texts[2].toInt());
}

void TstConfigDataCtrl::encodingBeyondTheBoxes()
{
    // Rates no box offers still encode; a text naming no code, matched exactly
    // and case-sensitively, leaves its byte; a short record is padded.
    QByteArray held = QByteArray::fromHex("aabbccddeeff");
    float field = 12.5f;
    encodeDataCtrl({ "500Hz", "Unkown", "9600", "enabled", "taipei" }, held, field);
    QCOMPARE(held.toHex(' '), QByteArray("04 bb 01 dd 00 ff"));
    QCOMPARE(field, 12.5f);
    held = QByteArray::fromHex("02");
    encodeDataCtrl({ "10Hz", "", "", "", "" }, held, field);
    QCOMPARE(held.toHex(' '), QByteArray("00 00 01 00 00 00"));
}

void TstConfigDataCtrl::unknownCodesAndNearbyFields()
{
    const auto decoded = [](const char *record, float magField) {
        return textsOf(decodeDataCtrl(QByteArray::fromHex(record), magField));
    };
    // 10 Hz and codes past the tables; 45.7 lies 0.15 from Taipei.
    QCOMPARE(decoded("000201030002", 45.7f),
        QStringList({ "Unkown", "Unkown", "Unkown", "Unkown", "Unkown" }));
    // A baud code without a rate: the host's port stays where it is.
    QCOMPARE(hostBaudRate(3), 0);
    // 45.6 lies 0.05 from Taipei; the reserved bytes are not read.
    QCOMPARE(decoded("040009000900", 45.6f),
        QStringList({ "Unkown", "AHRS", "115200", "Disabled", "Taipei" }));
    // 38.46 lies 0.09 from Shenzhen.
    QCOMPARE(
        decoded("0101", 38.46f), QStringList({ "25Hz", "IMU", "Unkown", "Unkown", "Shenzhen" }));
    QCOMPARE(decoded("010001000000", float(qQNaN())).last(), "Unkown");
}

QTEST_GUILESS_MAIN(TstConfigDataCtrl)
#include "tst_config_datactrl.moc"
