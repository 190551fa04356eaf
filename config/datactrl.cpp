#include "datactrl.h"

#include <cmath>
#include <iterator>

namespace zel {

namespace {

struct CodeText
{
    int code;
    const char *text;
};

// Encoding knows every rate the module accepts, so that a box offering more
// rates later needs no new table.
const CodeText odrEncodeTable[] = {
    { 0, "10Hz" },
    { 1, "25Hz" },
    { 2, "50Hz" },
    { 3, "100Hz" },
    { 4, "500Hz" },
};

// Decoding names only the rates the window offers: 10 Hz and 500 Hz read as
// unknown, so the box keeps its choice rather than showing a rate it cannot
// select.
const CodeText odrDecodeTable[] = {
    { 1, "25Hz" },
    { 2, "50Hz" },
    { 3, "100Hz" },
};

const CodeText ahrsModeTable[] = { { 0, "AHRS" }, { 1, "IMU" } };
const CodeText baudCodeTable[] = { { 0, "115200" }, { 1, "921600" }, { 2, "38400" } };
const CodeText outputEnableTable[] = { { 0, "Disabled" }, { 1, "Enabled" } };

struct CityField
{
    const char *city;
    float magField;
};

// The order decides which city wins when a received field lies near two.
const CityField cityTable[] = {
    { "Taipei", 45.55f },
    { "San Jose", 47.89f },
    { "Shanghai", 48.97f },
    { "Shenzhen", 38.55f },
    { "Dallas", 48.53f },
};

const float cityTolerance = 0.1f;

template <std::size_t N> int codeFor(const CodeText (&table)[N], const QString &text)
{
    for (const CodeText &entry : table) {
        if (text == QLatin1String(entry.text))
            return entry.code;
    }
    return -1;
}

template <std::size_t N> QString textFor(const CodeText (&table)[N], int code)
{
    for (const CodeText &entry : table) {
        if (entry.code == code)
            return QString::fromLatin1(entry.text);
    }
    return QString::fromLatin1(unknownDataCtrlText);
}

void setByte(QByteArray &dataCtrl, int index, int code)
{
    if (code >= 0)
        dataCtrl[index] = char(code);
}

QString decodeByte(const QByteArray &dataCtrl, int index, QString (*decode)(quint8))
{
    if (index >= dataCtrl.size())
        return QString::fromLatin1(unknownDataCtrlText);
    return decode(quint8(dataCtrl.at(index)));
}

} // namespace

QStringList outputRateItems()
{
    return { QStringLiteral("25Hz"), QStringLiteral("50Hz"), QStringLiteral("100Hz") };
}

QStringList fusionModeItems()
{
    return { QStringLiteral("AHRS"), QStringLiteral("IMU") };
}

QStringList baudRateItems()
{
    return { QStringLiteral("115200"), QStringLiteral("921600") };
}

QStringList dataOutputItems()
{
    return { QStringLiteral("Disabled"), QStringLiteral("Enabled") };
}

QStringList refCityItems()
{
    return { QStringLiteral("Taipei"), QStringLiteral("San Jose"), QStringLiteral("Dallas"),
        QStringLiteral("Shanghai"), QStringLiteral("Shenzhen") };
}

int odrCodeForText(const QString &text)
{
    return codeFor(odrEncodeTable, text);
}

int ahrsModeForText(const QString &text)
{
    return codeFor(ahrsModeTable, text);
}

int baudCodeForText(const QString &text)
{
    return codeFor(baudCodeTable, text);
}

int outputEnableForText(const QString &text)
{
    return codeFor(outputEnableTable, text);
}

bool magFieldForCity(const QString &city, float &magField)
{
    for (const CityField &entry : cityTable) {
        if (city == QLatin1String(entry.city)) {
            magField = entry.magField;
            return true;
        }
    }
    return false;
}

void encodeDataCtrl(const DataCtrlTexts &texts, QByteArray &dataCtrl, float &magField)
{
    if (dataCtrl.size() < dataCtrlRecordLength)
        dataCtrl.append(QByteArray(dataCtrlRecordLength - dataCtrl.size(), '\0'));
    setByte(dataCtrl, OdrCodeByte, odrCodeForText(texts.outputRate));
    setByte(dataCtrl, AhrsModeByte, ahrsModeForText(texts.fusionMode));
    dataCtrl[Reserved2Byte] = char(reserved2Value);
    setByte(dataCtrl, BaudCodeByte, baudCodeForText(texts.baudRate));
    dataCtrl[Reserved4Byte] = char(reserved4Value);
    setByte(dataCtrl, OutputEnableByte, outputEnableForText(texts.dataOutput));
    magFieldForCity(texts.refCity, magField);
}

QString odrText(quint8 odrCode)
{
    return textFor(odrDecodeTable, odrCode);
}

QString ahrsModeText(quint8 ahrsMode)
{
    return textFor(ahrsModeTable, ahrsMode);
}

QString baudRateText(quint8 baudCode)
{
    return textFor(baudCodeTable, baudCode);
}

QString dataOutputText(quint8 outputEnable)
{
    return textFor(outputEnableTable, outputEnable);
}

QString cityForMagField(float magField)
{
    // Kept in float throughout: the module's value is a float, and a double
    // comparison would move the edge of the tolerance. NaN matches nothing.
    for (const CityField &entry : cityTable) {
        if (std::fabs(magField - entry.magField) < cityTolerance)
            return QString::fromLatin1(entry.city);
    }
    return QString::fromLatin1(unknownDataCtrlText);
}

DataCtrlTexts decodeDataCtrl(const QByteArray &dataCtrl, float magField)
{
    DataCtrlTexts texts;
    texts.outputRate = decodeByte(dataCtrl, OdrCodeByte, odrText);
    texts.fusionMode = decodeByte(dataCtrl, AhrsModeByte, ahrsModeText);
    texts.baudRate = decodeByte(dataCtrl, BaudCodeByte, baudRateText);
    texts.dataOutput = decodeByte(dataCtrl, OutputEnableByte, dataOutputText);
    texts.refCity = cityForMagField(magField);
    return texts;
}

int hostBaudRate(quint8 baudCode)
{
    // The unknown text reads as no number, that is 0.
    return baudRateText(baudCode).toInt();
}

} // namespace zel
