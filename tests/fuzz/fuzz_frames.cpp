// Arbitrary bytes from the module through the receive side: reads of sizes
// taken from the input, the frame scan, the carry-over into the next read,
// and every decoder, each run on a heap copy of exactly one frame so that a
// read outside the frame is caught. Nothing may crash, the scan's and the
// carry-over's results stay within the data, and a data log row holds the
// payload's floats in order as fixed six-decimal texts.
//
// Input: byte 0's low three bits count the read-size bytes that follow; they
// give the first 64 reads in turn (0: as much as fits), later reads take all
// that fits; the rest of the input is the byte stream.

#include "sampletext.h"
#include "task.h"

#include <QDate>
#include <QTime>

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

// The worker's decoders log every reply; at fuzzing speed that is most of the run.
void dropMessages(QtMsgType, const QMessageLogContext &, const QString &) { }

void decode(Task &task, zel::FrameKind kind, const uchar *frame, int payloadLength)
{
    // Class, type and payload length of each kind, in the kinds' order.
    static const int accepted[] = { 0x200258, 0x20050c, 0x200900, 0x100104 };
    const int key = frame[0] << 16 | frame[1] << 8 | payloadLength;
    check(key == accepted[int(kind)] || (kind == zel::FrameKind::VersionReply && key == 0x10010c),
        "a frame's kind matches its class, type and length");
    const std::vector<uchar> copy(frame, frame + zel::frameOverhead + payloadLength);
    const uchar *data = copy.data();
    int length = payloadLength;
    if (kind == zel::FrameKind::SensorData) {
        task.parseSensorFrame(data, 0, length, QDate(2024, 5, 17), QTime(12, 34, 56, 789));
        const QList<QByteArray> fields
            = zel::csvRow(zel::decodeSensorPayload(data + 4)).trimmed().split(',');
        check(fields.size() == 17, "a data log row has 17 fields");
        for (int i = 1; i < 17; ++i) {
            float value;
            std::memcpy(&value, data + 4 + 4 * i, sizeof value);
            check(fields[i] == QByteArray::number(double(value), 'f', 6),
                "a row holds the payload's floats in order, fixed to six decimals");
        }
    } else if (kind == zel::FrameKind::DataCtrlReply) {
        task.parseDataCtrlFrame(data, 0, length);
    } else if (kind == zel::FrameKind::VersionReply) {
        task.parseVersionFrame(data, 0, length);
    } else {
        return;
    }
    check(length == zel::frameOverhead + payloadLength, "a decoder gives back the frame length");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *input, size_t size)
{
    qInstallMessageHandler(dropMessages);
    if (size == 0)
        return 0;
    const size_t sizeCount = std::min<size_t>(input[0] & 0x07, size - 1);
    const uint8_t *stream = input + 1 + sizeCount;
    const size_t streamSize = size - 1 - sizeCount;
    Task task(nullptr);
    // On the heap and no larger than the worker's, so that a read past it is caught.
    std::vector<uchar> rx(zel::rxBufferSize);
    qint64 rxLength = 0;
    for (size_t position = 0, read = 0; position < streamSize; ++read) {
        qint64 wanted = zel::rxBufferSize - rxLength;
        if (sizeCount > 0 && read < 64 && input[1 + read % sizeCount] > 0)
            wanted = std::min<qint64>(wanted, input[1 + read % sizeCount]);
        const qint64 count = std::min<qint64>(wanted, qint64(streamSize - position));
        std::memcpy(rx.data() + rxLength, stream + position, size_t(count));
        position += size_t(count);
        const qint64 total = rxLength + count;
        qint64 frameEnd = 0;
        bool sawBleNotice = false;
        const zel::ScanResult scan = zel::scanFrames(
            rx.data(), total, [&](zel::FrameKind kind, qint64 index, int payloadLength) {
                check(!sawBleNotice, "the scan stops at a BLE notice");
                check(index >= frameEnd && index + zel::frameOverhead + payloadLength <= total,
                    "frames come in order within the data");
                frameEnd = index + zel::frameOverhead + payloadLength;
                sawBleNotice = kind == zel::FrameKind::BleNotice;
                decode(task, kind, rx.data() + index, payloadLength);
            });
        check(scan.consumed == frameEnd && scan.stoppedAtBleNotice == sawBleNotice,
            "the scan ends its consumed part at the last frame");
        const qint64 carried = zel::carryOverLength(total, scan.consumed);
        check(carried == std::min<qint64>(total - scan.consumed, 999),
            "the unconsumed tail is carried over, no more than its newest 999 bytes");
        std::memmove(rx.data(), rx.data() + total - carried, size_t(carried));
        rxLength = carried;
    }
    return 0;
}
