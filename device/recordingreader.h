#pragma once

// A data log the tool wrote, read back to be played: the rows as the
// numbers they were written from, and the module's time through them.

#include "protocol.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <vector>

namespace zel {

constexpr int recordingColumns = 17;

class Recording
{
public:
    int rows() const { return int(values.size() / recordingColumns); }
    float timestamp(int row) const { return values[std::size_t(row) * recordingColumns]; }
    // The row as the module sent it, its attitude worked out from the
    // quaternion.
    SensorSample sample(int row) const;

    // The first row of every segment: where the module's time goes back (it
    // rebooted while the recording went on) a new one starts. The first
    // segment starts at row 0.
    const std::vector<int> &segmentStarts() const { return segments; }
    // Seconds from the first row to `row`, each segment going on from where
    // the one before ended.
    double elapsed(int row) const;
    double length() const { return rows() > 0 ? elapsed(rows() - 1) : 0; }
    // The first row at or after `seconds` from the first row; the last row
    // beyond the end.
    int rowAt(double seconds) const;

    // A last row cut short (a full disk, a crash) was left out.
    bool tornRowLeftOut() const { return torn; }
    std::size_t memoryBytes() const
    {
        return values.capacity() * sizeof(float) + segments.capacity() * sizeof(int)
            + segmentElapsed.capacity() * sizeof(double);
    }

private:
    friend class RecordingParser;

    // Seventeen 32-bit floats a row, in the file's column order: an hour at
    // 500 rows a second is 122 MB.
    std::vector<float> values;
    std::vector<int> segments;
    std::vector<double> segmentElapsed; // elapsed() at each segment's start
    bool torn = false;
};

// Reads a data log held in memory. False with a message that names the
// file as `name`, the line and what is wrong ("drive.csv:4: 16 fields,
// expected 17") on anything that is not a data log; a last row with no line
// end is left out.
bool readRecording(
    const char *data, std::size_t size, const QString &name, Recording *recording, QString *error);

// Reads the data log at `path` a block at a time, calling `progress` with
// the bytes read so far and the file's size after each block; when it
// returns false the reading stops, with false and no message.
using ReadProgress = std::function<bool(qint64 done, qint64 total)>;
bool readRecordingFile(
    const QString &path, Recording *recording, QString *error, const ReadProgress &progress = {});

} // namespace zel
