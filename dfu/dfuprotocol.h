#pragma once

// The update protocol spoken with the module's firmware-update service: the
// CRC-32 framing of host messages, the five host messages, the two response
// shapes and the plan by which an image is cut into data chunks. Everything
// here works on bytes and numbers so that it can be checked without a port
// or a window.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace zel::dfu {

constexpr qint32 baudRate = 921600;

// An image is handled in updates of at most this many bytes; the module has
// no way to place a second update behind the first.
constexpr qint64 updateSize = 295008;
constexpr int chunkSize = 8180;
constexpr int progressFullScale = 500;

constexpr int crcSize = 4;
constexpr int messageHeaderSize = 8; // crc, type, length
constexpr int chunkHeaderSize = messageHeaderSize + 4; // and the offset word
constexpr int helloResponseSize = 88;
constexpr int acknowledgementSize = 20;

constexpr int crcWriteTimeoutMs = 200;
constexpr int bodyWriteTimeoutMs = 1000;
constexpr int firstResponseByteTimeoutMs = 500;
// A response has ended once the line stays quiet this long.
constexpr int responseQuietGapMs = 10;
// A module that never falls quiet, one still streaming its sensor data, is
// not answering; the read of a response ends at the latest once the longest
// answer has had time to come whole after the first-byte limit, or once
// more has come than that answer behind the tail of a stream can hold (the
// margin also covers what a USB bridge holds back).
constexpr int responseTimeLimitMs
    = firstResponseByteTimeoutMs + (helloResponseSize * 10 * 1000 + baudRate - 1) / baudRate;
constexpr int responseSizeLimit = helloResponseSize + 4096;

enum MessageType : quint16 {
    HelloRequest = 0,
    HelloResponse = 1,
    OtaDescriptor = 2,
    UpdateCommand = 3,
    ResetCommand = 6,
    Acknowledgement = 7,
    DataChunk = 8,
};

// CRC-32/ISO-HDLC, the zlib and Ethernet CRC.
quint32 crc32Of(const QByteArray &bytes);

// Message bodies, that is everything of a message but its CRC prefix.
QByteArray helloBody();
QByteArray otaDescriptorBody();
QByteArray updateCommandBody(quint32 imageLength, quint32 imageCrc);
QByteArray resetBody();
// `length` image bytes from `data`, which lie at `offset` in the image.
QByteArray dataChunkBody(quint32 offset, const char *data, int length);

// The four CRC bytes that precede a body on the wire, least significant
// first. An empty body has a zero CRC field.
QByteArray crcPrefix(const QByteArray &body);
// CRC prefix and body: the message exactly as it goes on the wire.
QByteArray wireMessage(const QByteArray &body);

// The unsigned little-endian word at index..index+3; bytes beyond the end of
// the response count as zero.
quint32 readUInt32(const QByteArray &response, int index);
// Eight upper-case hex digits, most significant first.
QString hexUInt32(quint32 value);
// The low 16 bits of the word at byte 4.
quint16 responseType(const QByteArray &response);

// Whether a response acknowledges a message, with the line to log when it
// does not.
struct AckVerdict
{
    bool accepted = false;
    QString logLine;
};
AckVerdict judgeAcknowledgement(const QByteArray &response);

// Whether a response is a proper answer to the hello, with every line the
// Progress Log shows about it, in order. A refused response's lines end with
// the one that tells why.
struct HelloVerdict
{
    bool accepted = false;
    QStringList logLines;
};
HelloVerdict judgeHelloResponse(const QByteArray &response);

// The greeting's answer within what came back. A module that streamed its
// sensor data until the greeting reached it may have sent the start of a
// frame first; a longer response whose last 88 bytes are a hello response
// (type 1) is taken as that answer. Anything else comes back unchanged, to
// be judged as it is.
QByteArray helloAnswerWithin(const QByteArray &response);

// One data chunk of an image and the progress the bar shows once the module
// has acknowledged it.
struct ChunkPlan
{
    quint32 offset = 0;
    int length = 0;
    int progress = 0;
};

// Updates an image of this length needs, rounded up; zero for an empty image.
qint64 updatesNeeded(qint64 imageLength);

// The chunks of an image of at most one update: full chunks, then the
// remainder, which is empty when the length is a multiple of the chunk size
// (the module takes the empty chunk as the end of the image). An image
// shorter than one chunk goes as a single chunk that fills the bar.
QVector<ChunkPlan> planChunks(qint64 imageLength);

} // namespace zel::dfu
