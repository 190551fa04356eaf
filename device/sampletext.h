#pragma once

// The texts of a decoded sensor sample: the console lines and the data log's
// CSV rows, with their number formatting.

#include "protocol.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>

namespace zel {

// Number texts shared by the console and the data log.
QString timestampText(float timestamp);
QString valueText(float value);
void appendValueText(QString &text, float value);
// The date and time that begin each console line: "yyyy/MM/dd HH:mm:ss.zzz".
QString consoleStamp(const QDate &date, const QTime &time);
// A time into a recording in the form of a console stamp's time,
// "HH:mm:ss.zzz" (the hours going on past 23), for the lines of a played
// sample; or, `withHours` false, as "mm:ss.zzz" (the minutes going on past
// 59). Rounded to the millisecond; negative times read as 0.
QString elapsedText(double seconds, bool withHours = true);

// The three console lines of one frame, each ending in a line feed.
QString sensorConsoleText(const SensorSample &sample, const QDate &date, const QTime &time);
// The same lines appended to `text`, with a stamp made by consoleStamp: the
// frames of one poll share it, and the text grows without a copy per frame.
void appendSensorConsoleText(QString &text, const SensorSample &sample, const QString &stamp);

// The data log's header line and one row (17 fields, ending in a line feed).
QByteArray csvHeader();
QByteArray csvRow(const SensorSample &sample);
// Creates the data log, or empties it, with its header line; false, with
// `error` saying why, when it cannot be written.
bool createDataLog(const QString &path, QString *error);

} // namespace zel
