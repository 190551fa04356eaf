// Arbitrary bytes as a response of the module's firmware-update service,
// through every function that judges or shows one. A response may be of any
// length, so none of them may read outside it, and the verdicts must follow
// the two accepted shapes exactly.

#include "bytes.h"
#include "dfuprotocol.h"

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
quint32 wordAt(const uint8_t *data, size_t size, int index)
{
    quint32 value = 0;
    for (int at = index + 3; at >= index; --at)
        value = value << 8 | (at >= 0 && size_t(at) < size ? data[at] : 0);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace zel::dfu;
    const QByteArray response(reinterpret_cast<const char *>(data), int(size));
    const quint16 type = quint16(wordAt(data, size, 4));
    for (int index = -5; index <= int(size) + 1; ++index)
        check(readUInt32(response, index) == wordAt(data, size, index),
            "words read little-endian, zero outside the response");
    check(responseType(response) == type, "the type is the low half of the word at 4");

    const AckVerdict ack = judgeAcknowledgement(response);
    check(ack.accepted
            == (size == acknowledgementSize && type == Acknowledgement
                && wordAt(data, size, 12) == 0),
        "an acknowledgement is 20 bytes of type 7 with status 0");

    const HelloVerdict hello = judgeHelloResponse(response);
    check(hello.accepted == (size == helloResponseSize && type == HelloResponse),
        "a hello answer is 88 bytes of type 1");
    check(hello.logLines.value(0) == QStringLiteral("response : %1").arg(size),
        "the hello log starts with the response's size");
    return 0;
}
