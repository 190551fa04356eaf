#pragma once

// The module's six-byte data-control record and its reference magnetic field:
// how the configuration window's texts become the record (on Apply) and how a
// record read from the module becomes texts again. Nothing here needs a
// window, so every code table can be checked on its own.

#include "protocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zel {

// Byte positions within the record.
enum DataCtrlByte : int {
    OdrCodeByte = 0,
    AhrsModeByte = 1,
    Reserved2Byte = 2,
    BaudCodeByte = 3,
    Reserved4Byte = 4,
    OutputEnableByte = 5,
};

// The host never interprets the reserved bytes but always writes these.
constexpr quint8 reserved2Value = 1;
constexpr quint8 reserved4Value = 0;

// What a code that no box can show decodes to; the misspelling is the
// module tool's own and must stay.
inline constexpr char unknownDataCtrlText[] = "Unkown";

// One text per field, as the window's five boxes show them.
struct DataCtrlTexts
{
    QString outputRate;
    QString fusionMode;
    QString baudRate;
    QString dataOutput;
    QString refCity;
};

// The items each box offers, in the order the window lists them.
QStringList outputRateItems();
QStringList fusionModeItems();
QStringList baudRateItems();
QStringList dataOutputItems();
QStringList refCityItems();

// Text to code: exact, case-sensitive whole-text match; -1 when the text
// names no code.
int odrCodeForText(const QString &text);
int ahrsModeForText(const QString &text);
int baudCodeForText(const QString &text);
int outputEnableForText(const QString &text);
// False, with `magField` untouched, when the text names no reference city.
bool magFieldForCity(const QString &city, float &magField);

// Writes the texts into the held record in place. A text that names no code
// leaves its field as it was; the reserved bytes always get their fixed
// values. A held record shorter than six bytes is first padded with zeros.
void encodeDataCtrl(const DataCtrlTexts &texts, QByteArray &dataCtrl, float &magField);

// Code to text; codes without a text give unknownDataCtrlText.
QString odrText(quint8 odrCode);
QString ahrsModeText(quint8 ahrsMode);
QString baudRateText(quint8 baudCode);
QString dataOutputText(quint8 outputEnable);
// The first city, in the module's order, whose field differs from `magField`
// by strictly less than 0.1 in single precision.
QString cityForMagField(float magField);

// Bytes missing from a short record decode as unknown.
DataCtrlTexts decodeDataCtrl(const QByteArray &dataCtrl, float magField);

// The rate the host's port must follow after the module was told to use
// `baudCode`; 0 when the code names no rate, and then the host stays put.
int hostBaudRate(quint8 baudCode);

} // namespace zel
