// Arbitrary bytes as a data log opened in the tool. Whatever the file holds,
// reading it must not read outside it, and what is read must make a time
// line the player can move along: time into the recording never going back,
// and every time found again at or before its row.

#include "recordingreader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_recording: broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zel::Recording recording;
    QString error;
    if (!zel::readRecording(reinterpret_cast<const char *>(data), size, QStringLiteral("fuzz.csv"),
            &recording, &error)) {
        check(error.startsWith(QLatin1String("fuzz.csv")), "a message names the file");
        return 0;
    }
    check(recording.rows() > 0, "a recording read has rows");
    check(recording.segmentStarts().front() == 0, "the first segment starts at the first row");
    double previous = 0;
    for (int row = 0; row < recording.rows(); ++row) {
        const double elapsed = recording.elapsed(row);
        check(std::isfinite(recording.sample(row).timestamp), "every row has a time");
        check(elapsed >= previous, "time into the recording never goes back");
        check(recording.rowAt(elapsed) <= row, "a row's time leads to it or an earlier row");
        previous = elapsed;
    }
    check(recording.rowAt(2 * previous + 1) == recording.rows() - 1,
        "beyond the end is the last row");
    return 0;
}
