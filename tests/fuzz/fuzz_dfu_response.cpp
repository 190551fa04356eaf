// Arbitrary bytes as a response of the module's firmware-update service,
// through every function that judges or shows one. A response is taken
// from the wire whole and may be of any length, so none of them may read
// outside it, and the verdicts must follow the two accepted shapes exactly.

#include "bytes.h"
#include "dfuprotocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_dfu_response: broken: %s\n", what);
        std::abort();
    }
}

// The little-endian word at `index`, bytes outside the response as zero.
quint32 wordAt(const uint8_t *data, std::size_t size, int index)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i) {
        const long at = long(index) + i;
        value <<= 8;
        if (at >= 0 && std::size_t(at) < size)
            value |= data[at];
    }
    return value;
}

bool isUpperHex(const QString &text)
{
    for (const QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace zel::dfu;
    const QByteArray response(reinterpret_cast<const char *>(data), int(size));
    const quint16 type = quint16(wordAt(data, size, 4) & 0xFFFF);
    const quint32 status = wordAt(data, size, 12);

    check(responseType(response) == type, "the response type is the low half of the word at 4");
    for (int index = -5; index <= int(size) + 1; ++index)
        check(readUInt32(response, index) == wordAt(data, size, index),
            "words read unsigned little-endian, zero outside");

    const QString dump = zel::hexDump(response);
    check(dump.size() == 2 * int(size) && isUpperHex(dump), "two upper-case digits a byte");
    check(QByteArray::fromHex(dump.toLatin1()) == response, "the hex dump reads back");
    const QString word = hexUInt32(readUInt32(response, 0));
    check(word.size() == 8 && isUpperHex(word), "a word shows as eight hex digits");
    check(word.toUInt(nullptr, 16) == readUInt32(response, 0), "most significant digit first");

    const AckVerdict ack = judgeAcknowledgement(response);
    const bool ackExpected = size == acknowledgementSize && type == Acknowledgement && status == 0;
    check(ack.accepted == ackExpected, "an acknowledgement is 20 bytes, type 7, status 0");
    check(ack.accepted == ack.logLine.isEmpty(), "only a refusal is logged");
    check(ack.accepted || ack.logLine.startsWith(QStringLiteral("send_ackd_command ")),
        "a refusal names the acknowledged command");
    if (size == acknowledgementSize && type == Acknowledgement && status != 0)
        check(ack.logLine
                == QStringLiteral("send_ackd_command status wrong: ") + QString::number(status),
            "a wrong status is shown unsigned");

    const HelloVerdict hello = judgeHelloResponse(response);
    const bool helloExpected = size == helloResponseSize && type == HelloResponse;
    check(hello.accepted == helloExpected, "a hello answer is 88 bytes of type 1");
    check(!hello.logLines.isEmpty()
            && hello.logLines.first() == QStringLiteral("response : ") + QString::number(size),
        "the answer's size is logged first");
    if (hello.accepted) {
        check(hello.logLines.size() == 8, "an accepted hello answer logs eight lines");
        check(hello.logLines[1] == QStringLiteral("response string:") + dump,
            "the whole answer is dumped");
        check(hello.logLines[4] == QStringLiteral("version = ") + hexUInt32(wordAt(data, size, 8)),
            "the version word at 8");
    } else if (size == helloResponseSize) {
        check(hello.logLines.size() == 3, "a wrong type ends the log at the status line");
    } else {
        check(hello.logLines.size() == 1, "a wrong size logs only the size");
    }
    return 0;
}
