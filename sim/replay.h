#pragma once

// A data log the tool recorded, played back as the module's sensor stream.

#include "frames.h"

#include <QString>
#include <QVector>

namespace zel::sim {

struct ReplayRow
{
    SensorSample sample; // quality status left to the module
    qint64 delayUs; // after the row before; for the first, after the last
    // The row's line in the file when time goes back there, which starts a
    // new segment (a looped replay recorded, a module that rebooted while
    // the recording went on); 0 for any other row.
    int segmentLine = 0;
};

// Reads the log at `path` into rows paced by their timestamps (seconds), or
// `rateHz` rows a second when it is positive. A segment's first row follows
// at the spacing of the row before. False with a message naming the line on
// anything that is not such a log.
bool loadReplay(const QString &path, double rateHz, QVector<ReplayRow> *rows, QString *error);

} // namespace zel::sim
