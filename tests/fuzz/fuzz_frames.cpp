// Arbitrary bytes from the module through the worker's receive side: reads
// of sizes taken from the input itself, the frame scan, the carry-over of
// the unconsumed tail into the next read, and every decoder, both the plain
// functions and the worker's own. Whatever arrives, nothing may read outside
// the received data, crash or hang, and what the decoders make of a frame
// must keep its shape.
//
// Input: byte 0 tells how many read-size bytes follow (its low three bits);
// each read-size byte n gives a read of n bytes (0: as much as fits), used
// in turn; the rest of the input is the byte stream. After the first
// `splitReads` reads the rest comes in reads as large as fit: every tiny read
// rescans the carried-over tail, and a long run of them would spend the
// fuzzer's time on one input instead of many.

#include "sampletext.h"
#include "task.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QtGlobal>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_frames: broken: %s\n", what);
        std::abort();
    }
}

// The worker's decoders write a debug line for every reply; at fuzzing
// speed that would be most of the run.
void dropMessages(QtMsgType, const QMessageLogContext &, const QString &) { }

const QDate consoleDate(2024, 5, 17);
const QTime consoleTime(12, 34, 56, 789);

bool sameBits(float value, const uchar *bytes)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == zel::readUInt32(bytes);
}

// A six-decimal text must be the value rounded to six decimals.
void checkValueText(const QString &text, float value)
{
    if (!std::isfinite(value))
        return;
    bool ok = false;
    const double parsed = text.toDouble(&ok);
    check(ok, "a sensor value text reads back as a number");
    const double error = std::fabs(parsed - double(value));
    check(error <= 0.5e-6 + std::fabs(double(value)) * 1e-15,
        "a sensor value text is the value to six decimals");
    const int point = text.indexOf(QLatin1Char('.'));
    check(point >= 0 && text.size() - point - 1 == 6, "a sensor value has six decimals");
}

void checkSensorFrame(Task &task, const uchar *frame, const uchar *buffer, qint64 index)
{
    const uchar *payload = frame + 4;
    const zel::SensorSample sample = zel::decodeSensorPayload(payload);

    std::vector<float> values;
    values.insert(values.end(), sample.acc.begin(), sample.acc.end());
    values.insert(values.end(), sample.mag.begin(), sample.mag.end());
    values.insert(values.end(), sample.gyr.begin(), sample.gyr.end());
    values.insert(values.end(), sample.quat.begin(), sample.quat.end());
    values.insert(values.end(), sample.euler.begin(), sample.euler.end());
    check(sameBits(sample.timestamp, payload), "the timestamp is the payload's first float");
    for (std::size_t i = 0; i < values.size(); ++i)
        check(sameBits(values[i], payload + 4 + 4 * i), "sensor floats come in payload order");
    for (std::size_t i = 0; i < sample.angleAxis.size(); ++i)
        check(sameBits(sample.angleAxis[i], payload + 68 + 4 * i), "angle and axis at 68");
    check(sample.qualityStatus == zel::readUInt32(payload + 84), "quality status at 84");

    const QString console = zel::sensorConsoleText(sample, consoleDate, consoleTime);
    check(console.endsWith(QLatin1Char('\n')), "console text ends in a line feed");
    const QStringList lines = console.left(console.size() - 1).split(QLatin1Char('\n'));
    check(lines.size() == 3, "console text has three lines");
    const char *labels[] = { " Sensors ", " Quaternions ", " Euler Angles " };
    const int counts[] = { 9, 4, 3 };
    const QString stamp = QStringLiteral("2024/05/17 12:34:56.789");
    QStringList consoleValues;
    for (int line = 0; line < 3; ++line) {
        const QString head = stamp + QLatin1String(labels[line]);
        check(lines[line].startsWith(head), "console line starts with stamp and label");
        const QStringList texts = lines[line].mid(head.size()).split(QStringLiteral(", "));
        check(texts.size() == counts[line], "console line holds its number of values");
        consoleValues += texts;
    }
    for (std::size_t i = 0; i < values.size(); ++i)
        checkValueText(consoleValues[int(i)], values[i]);

    const QByteArray row = zel::csvRow(sample);
    check(row.endsWith('\n') && row.count('\n') == 1, "a CSV row ends in its only line feed");
    const QList<QByteArray> fields = row.left(row.size() - 1).split(',');
    check(fields.size() == 17, "a CSV row has 17 fields");
    for (int i = 1; i < 17; ++i)
        check(QString::fromLatin1(fields[i]) == consoleValues[i - 1],
            "CSV values are the console's texts");
    if (std::isfinite(sample.timestamp) && sample.timestamp != 0) {
        bool ok = false;
        const double timestamp = fields[0].toDouble(&ok);
        check(ok, "the CSV timestamp reads back as a number");
        check(std::fabs(timestamp - double(sample.timestamp))
                <= std::fabs(double(sample.timestamp)) * 5.0001e-6,
            "the CSV timestamp has six significant digits");
    }

    int length = zel::sensorPayloadLength;
    const QString workerText
        = task.parseSensorFrame(buffer, index, length, consoleDate, consoleTime);
    check(length == zel::sensorFrameLength, "the worker's sensor decoder gives back 94");
    check(workerText == console, "the worker's console text is the plain one");
}

void checkVersionFrame(
    Task &task, const uchar *frame, int payloadLength, const uchar *buffer, qint64 index)
{
    const uchar *payload = frame + 4;
    const QString text = zel::versionText(payload, payloadLength);
    QString expected = QStringLiteral("%1.%2.%3")
                           .arg(payload[1] >> 4)
                           .arg(payload[1] & 0x0F)
                           .arg(payload[0] >> 4);
    if (payloadLength == zel::versionLongPayloadLength) {
        check(text.startsWith(expected + QStringLiteral("\nDev Id: ")), "long version text");
        check(text.size() == expected.size() + 9 + 17 + 19, "long version text length");
        check(text.endsWith(QStringLiteral("\nProduct Id: QZ")
                  + zel::hexDump(QByteArray(reinterpret_cast<const char *>(payload + 10), 2))),
            "product id closes the long version text");
    } else {
        check(text == expected, "short version text is the version alone");
    }
    check(zel::hexDump(
              QByteArray(reinterpret_cast<const char *>(frame), payloadLength + zel::frameOverhead))
                .size()
            == 2 * (payloadLength + zel::frameOverhead),
        "hex dump has two digits a byte");

    int length = payloadLength;
    task.parseVersionFrame(buffer, index, length);
    check(length == payloadLength + zel::frameOverhead, "the worker's version decoder length");
}

void checkDataCtrlFrame(Task &task, const uchar *frame, const uchar *buffer, qint64 index)
{
    const uchar *payload = frame + 4;
    const zel::DataCtrlReply reply = zel::decodeDataCtrlPayload(payload);
    check(reply.dataCtrl.size() == zel::dataCtrlRecordLength, "the record has six bytes");
    check(std::memcmp(reply.dataCtrl.constData(), payload, 6) == 0, "the record is passed as is");
    check(sameBits(reply.magField, payload + 8), "the field value is the float at 8");

    int length = zel::dataCtrlPayloadLength;
    task.parseDataCtrlFrame(buffer, index, length);
    check(length == zel::dataCtrlPayloadLength + zel::frameOverhead,
        "the worker's data-control decoder length");
}

constexpr std::size_t splitReads = 64;

struct Found
{
    zel::FrameKind kind;
    qint64 index;
    int payloadLength;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(dropMessages);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *input, size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t sizeBytes = std::min<std::size_t>(input[0] & 0x07, size - 1);
    const uint8_t *readSizes = input + 1;
    const uint8_t *stream = input + 1 + sizeBytes;
    const std::size_t streamSize = size - 1 - sizeBytes;

    // A worker of its own for every input, so that a finding replays alone.
    Task task(nullptr);
    // On the heap and no larger than the worker's, so that a read past the
    // buffer is caught.
    std::vector<uchar> rxBuffer(zel::rxBufferSize);
    qint64 rxLength = 0;
    std::size_t position = 0;
    std::size_t readIndex = 0;
    while (position < streamSize) {
        const qint64 capacity = zel::rxBufferSize - rxLength;
        check(capacity > zel::rxBufferSize - 1000, "more than 19000 bytes are free for a read");
        qint64 wanted = capacity;
        if (sizeBytes > 0 && readIndex < splitReads) {
            const uint8_t n = readSizes[readIndex++ % sizeBytes];
            if (n > 0)
                wanted = n;
        }
        const qint64 bytesRead
            = std::min<qint64>(std::min(wanted, capacity), qint64(streamSize - position));
        std::memcpy(rxBuffer.data() + rxLength, stream + position, std::size_t(bytesRead));
        position += std::size_t(bytesRead);

        const qint64 total = rxLength + bytesRead;
        const uchar *data = rxBuffer.data();
        std::vector<Found> frames;
        const zel::ScanResult scan = zel::scanFrames(
            data, total, [&](zel::FrameKind kind, qint64 index, int payloadLength) {
                frames.push_back({ kind, index, payloadLength });
                check(index >= 0 && index + zel::frameOverhead + payloadLength <= total,
                    "a frame lies within the received data");
                const uchar *frame = data + index;
                check(frame[2] == (payloadLength & 0xFF) && frame[3] == (payloadLength >> 8),
                    "the payload length is the frame's length field");
                check(frame[4 + payloadLength] == 0x0D && frame[5 + payloadLength] == 0x0A,
                    "a frame ends in CR LF");
                switch (kind) {
                case zel::FrameKind::SensorData:
                    check(frame[0] == 0x20 && frame[1] == 0x02 && payloadLength == 88,
                        "sensor frame header");
                    checkSensorFrame(task, frame, data, index);
                    break;
                case zel::FrameKind::DataCtrlReply:
                    check(frame[0] == 0x20 && frame[1] == 0x05 && payloadLength == 12,
                        "data-control reply header");
                    checkDataCtrlFrame(task, frame, data, index);
                    break;
                case zel::FrameKind::BleNotice:
                    check(frame[0] == 0x20 && frame[1] == 0x09 && payloadLength == 0,
                        "BLE notice header");
                    break;
                case zel::FrameKind::VersionReply:
                    check(frame[0] == 0x10 && frame[1] == 0x01
                            && (payloadLength == 4 || payloadLength == 12),
                        "version reply header");
                    checkVersionFrame(task, frame, payloadLength, data, index);
                    break;
                }
            });

        qint64 frameEnd = 0;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            check(frames[i].index >= frameEnd, "frames come in order and never overlap");
            frameEnd = frames[i].index + zel::frameOverhead + frames[i].payloadLength;
            check(frames[i].kind != zel::FrameKind::BleNotice || i + 1 == frames.size(),
                "the scan stops at a BLE notice");
        }
        check(scan.consumed == frameEnd, "consumed ends at the last frame");
        check(scan.stoppedAtBleNotice
                == (!frames.empty() && frames.back().kind == zel::FrameKind::BleNotice),
            "the BLE stop is reported");

        const qint64 carried = zel::carryOverLength(total, scan.consumed);
        check(carried >= 0 && carried <= 999, "the carry-over stays below 1000 bytes");
        check(carried <= total - scan.consumed, "only unconsumed bytes are carried over");
        check(total - scan.consumed > 999 || carried == total - scan.consumed,
            "a short tail is carried over whole");
        if (carried > 0)
            std::memmove(
                rxBuffer.data(), rxBuffer.data() + (total - carried), std::size_t(carried));
        rxLength = carried;
    }
    return 0;
}
