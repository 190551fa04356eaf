#include "recordingreader.h"

#include "logfield.h"
#include "sampletext.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zel {

namespace {

// Far more than a row of the tool's ever takes; a line that does not end
// within a block is not a row.
constexpr std::size_t blockSize = 1 << 20;
// Field texts quoted in a message are cut to this.
constexpr int quotedFieldLimit = 24;

QByteArray headerLine()
{
    return csvHeader().chopped(1);
}

} // namespace

// Takes the log's lines in order, as many complete ones at a time as there
// are, and keeps the line number for its messages.
class RecordingParser
{
public:
    RecordingParser(const QString &fileName, qint64 expectedBytes, Recording &out)
        : name(fileName)
        , expected(expectedBytes)
        , recording(out)
    {
    }

    // Parses the complete lines of data..data+size; the bytes taken (up to
    // just past the last line end), or -1 on a fault.
    std::ptrdiff_t parseLines(const char *data, std::size_t size)
    {
        const char *end = data + size;
        const char *at = data;
        while (const auto *lineEnd = static_cast<const char *>(std::memchr(at, '\n', end - at))) {
            if (!parseLine(at, lineEnd > at && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd))
                return -1;
            at = lineEnd + 1;
        }
        reserveForFile(at - data);
        return at - data;
    }

    // Ends the log with `rest`, the text after the last line end.
    bool finish(const char *rest, std::size_t size)
    {
        if (line == 0) {
            if (size == 0)
                return failWithoutLine(QStringLiteral("the file is empty"));
            ++line;
            if (QByteArray::fromRawData(rest, int(std::min<std::size_t>(size, 1 << 16)))
                != headerLine())
                return notTheHeader();
        } else if (size > 0) {
            recording.torn = true;
        }
        if (recording.rows() == 0)
            return failWithoutLine(QStringLiteral("no rows after the header"));
        return true;
    }

    bool lineTooLong()
    {
        ++line;
        return fail(QStringLiteral("a line far longer than a row"));
    }

    QString error;

private:
    bool parseLine(const char *begin, const char *end)
    {
        ++line;
        if (line == 1) {
            if (QByteArray::fromRawData(begin, int(end - begin)) != headerLine())
                return notTheHeader();
            return true;
        }
        float row[recordingColumns];
        int fields = 0;
        int badField = -1;
        const char *badBegin = nullptr;
        const char *badEnd = nullptr;
        // An empty line has no fields at all.
        for (const char *field = begin; begin != end; ++fields) {
            const auto *comma = static_cast<const char *>(std::memchr(field, ',', end - field));
            const char *fieldEnd = comma ? comma : end;
            if (fields < recordingColumns && badField < 0
                && !readLogField(field, fieldEnd, fields, &row[fields])) {
                badField = fields;
                badBegin = field;
                badEnd = fieldEnd;
            }
            if (!comma) {
                ++fields;
                break;
            }
            field = comma + 1;
        }
        if (fields != recordingColumns)
            return fail(QStringLiteral("%1 fields, expected %2").arg(fields).arg(recordingColumns));
        if (badField >= 0)
            return fail(QStringLiteral("%1 \"%2\" is not a number")
                            .arg(columnName(badField), quoted(badBegin, badEnd)));
        if (!std::isfinite(row[0]))
            return fail(QStringLiteral("Timestamp \"%1\" is not a finite number")
                            .arg(quoted(begin,
                                static_cast<const char *>(std::memchr(begin, ',', end - begin)))));
        append(row);
        return true;
    }

    static QString columnName(int column)
    {
        return QString::fromLatin1(headerLine()).section(QLatin1Char(','), column, column);
    }

    static QString quoted(const char *begin, const char *end)
    {
        return QString::fromLatin1(
            begin, int(std::min<std::ptrdiff_t>(end - begin, quotedFieldLimit)));
    }

    void append(const float *row)
    {
        std::vector<float> &values = recording.values;
        const float time = row[0];
        if (values.empty()) {
            recording.segments.push_back(0);
            recording.segmentElapsed.push_back(0);
            segmentStartTime = time;
        } else if (time < previousTime) {
            recording.segments.push_back(recording.rows());
            recording.segmentElapsed.push_back(
                recording.segmentElapsed.back() + (double(previousTime) - segmentStartTime));
            segmentStartTime = time;
        }
        previousTime = time;
        values.insert(values.end(), row, row + recordingColumns);
    }

    // Once the first rows show how long a row is, room for the whole file
    // is taken at once: growing by doubling would copy a hundred megabytes
    // on the way. Room beyond what is filled is never touched, so it costs
    // address space, not memory.
    void reserveForFile(std::ptrdiff_t taken)
    {
        parsedBytes += taken;
        if (reserved || recording.rows() < 100)
            return;
        reserved = true;
        const double bytesPerRow = double(parsedBytes) / recording.rows();
        const double rows = double(expected) / bytesPerRow * 1.1 + 100;
        recording.values.reserve(std::size_t(std::min(rows, 1e9)) * recordingColumns);
    }

    bool notTheHeader()
    {
        return fail(
            QStringLiteral("not the data log's header of %1 columns").arg(recordingColumns));
    }

    bool fail(const QString &what)
    {
        error = QStringLiteral("%1:%2: %3").arg(name).arg(line).arg(what);
        return false;
    }

    bool failWithoutLine(const QString &what)
    {
        error = QStringLiteral("%1: %2").arg(name, what);
        return false;
    }

    QString name;
    qint64 expected;
    Recording &recording;
    int line = 0;
    float previousTime = 0;
    double segmentStartTime = 0;
    qint64 parsedBytes = 0;
    bool reserved = false;
};

SensorSample Recording::sample(int row) const
{
    const float *v = values.data() + std::size_t(row) * recordingColumns;
    SensorSample s;
    s.timestamp = v[0];
    std::copy(v + 1, v + 4, s.acc.begin());
    std::copy(v + 4, v + 7, s.mag.begin());
    std::copy(v + 7, v + 10, s.gyr.begin());
    std::copy(v + 10, v + 14, s.quat.begin());
    std::copy(v + 14, v + 17, s.euler.begin());
    s.angleAxis = angleAxisFromQuaternion(s.quat[0], s.quat[1], s.quat[2], s.quat[3]);
    return s;
}

double Recording::elapsed(int row) const
{
    const auto segment = std::size_t(
        std::upper_bound(segments.begin(), segments.end(), row) - segments.begin() - 1);
    return segmentElapsed[segment] + (double(timestamp(row)) - timestamp(segments[segment]));
}

int Recording::rowAt(double seconds) const
{
    const auto segment = std::size_t(std::max<std::ptrdiff_t>(0,
        std::lower_bound(segmentElapsed.begin(), segmentElapsed.end(), seconds)
            - segmentElapsed.begin() - 1));
    int low = segments[segment];
    int high = segment + 1 < segments.size() ? segments[segment + 1] : rows();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (elapsed(middle) < seconds)
            low = middle + 1;
        else
            high = middle;
    }
    return std::min(low, rows() - 1);
}

bool readRecording(
    const char *data, std::size_t size, const QString &name, Recording *recording, QString *error)
{
    Recording read;
    RecordingParser parser(name, qint64(size), read);
    const std::ptrdiff_t taken = parser.parseLines(data, size);
    if (taken < 0 || !parser.finish(data + taken, size - std::size_t(taken))) {
        *error = parser.error;
        return false;
    }
    *recording = std::move(read);
    return true;
}

bool readRecordingFile(
    const QString &path, Recording *recording, QString *error, const ReadProgress &progress)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(name, file.errorString());
        return false;
    }
    const qint64 total = file.size();
    Recording read;
    RecordingParser parser(name, total, read);
    std::vector<char> buffer(blockSize);
    std::size_t held = 0;
    qint64 done = 0;
    for (;;) {
        if (held == buffer.size()) {
            parser.lineTooLong();
            *error = parser.error;
            return false;
        }
        const qint64 got = file.read(buffer.data() + held, qint64(buffer.size() - held));
        if (got < 0) {
            *error = QStringLiteral("%1: %2").arg(name, file.errorString());
            return false;
        }
        if (got == 0)
            break;
        done += got;
        held += std::size_t(got);
        const std::ptrdiff_t taken = parser.parseLines(buffer.data(), held);
        if (taken < 0) {
            *error = parser.error;
            return false;
        }
        held -= std::size_t(taken);
        std::memmove(buffer.data(), buffer.data() + taken, held);
        if (progress && !progress(done, total)) {
            error->clear();
            return false;
        }
    }
    if (!parser.finish(buffer.data(), held)) {
        *error = parser.error;
        return false;
    }
    *recording = std::move(read);
    return true;
}

} // namespace zel
