// How long a whole firmware update of the largest image takes through the
// update service over a pseudo-terminal, next to what the line itself
// allows: every byte of both directions at 921600 baud plus the quiet gap
// that ends each exchange. Prints figures; never fails.

#include "ptyupdateserver.h"

#include "dfuprocedure.h"
#include "dfuprotocol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>

#include <cstdio>

namespace {

class QuietSink : public zel::dfu::DfuProcedureSink
{
public:
    void appendLog(const QString &text) override { lastLine = text; }
    void clearLog() override { }
    void setProgress(int value) override { bar = value; }
    int progress() const override { return bar; }
    void updateInterrupted() override { }
    void fileOpenFailed(const QString &) override { }

    QString lastLine;
    int bar = 0;
};

QByteArray image(int length)
{
    QByteArray bytes(length, '\0');
    quint32 state = 0x9E3779B9;
    for (char &byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    return bytes;
}

} // namespace

int main(int argc, char *argv[])
{
    // The per-chunk debug lines would swamp the figures.
    qputenv("QT_LOGGING_RULES", "default.debug=false");
    QCoreApplication app(argc, argv);

    const int runs = 3;
    const qint64 lineBytesPerSecond = 921600 / 10;
    const double quietGapSeconds = zel::dfu::responseQuietGapMs / 1000.0;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("largest.bin"));
    QFile file(path);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly)
        || file.write(image(int(zel::dfu::updateSize))) != zel::dfu::updateSize) {
        std::printf("bench_dfu: cannot write the test image: %s\n", qPrintable(file.errorString()));
        return 0;
    }
    file.close();

    const int exchanges = 4 + zel::dfu::planChunks(zel::dfu::updateSize).size();
    std::printf("firmware update of %lld bytes over a pseudo-terminal at 921600 baud, "
                "%d exchanges\n",
        qint64(zel::dfu::updateSize), exchanges);
    std::printf("%-4s %10s %10s %12s %12s %7s  %s\n", "run", "to module", "to host", "wall s",
        "model s", "ratio", "outcome");

    for (int run = 1; run <= runs; ++run) {
        PtyUpdateServer server;
        if (!server.start()) {
            std::printf("bench_dfu: no pseudo-terminal: %s\n", qPrintable(server.errorString()));
            return 0;
        }
        QSerialPort port;
        QuietSink sink;
        QElapsedTimer wall;
        wall.start();
        const zel::dfu::DfuOutcome outcome
            = zel::dfu::runFirmwareUpdate(port, server.portPath(), path, sink);
        const double wallSeconds = wall.nsecsElapsed() / 1e9;

        const qint64 toModule = server.bytesReceived();
        const qint64 toHost = server.bytesAnswered();
        const double modelSeconds
            = double(toModule + toHost) / lineBytesPerSecond + exchanges * quietGapSeconds;
        std::printf("%-4d %10lld %10lld %12.3f %12.3f %7.3f  %s\n", run, toModule, toHost,
            wallSeconds, modelSeconds, wallSeconds / modelSeconds,
            outcome == zel::dfu::DfuOutcome::Succeeded
                ? "succeeded"
                : qPrintable(QStringLiteral("did not succeed: ") + sink.lastLine));
    }
    std::printf("model: bytes both ways / %lld bytes per second + %.0f ms per exchange\n",
        lineBytesPerSecond, quietGapSeconds * 1000);
    return 0;
}
