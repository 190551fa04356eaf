// How long a whole firmware update of the largest image takes through the
// simulator's update service at 921600 baud, next to what the line itself
// allows: every byte of both directions plus the quiet gap that ends each
// response. Prints figures, with one "RESULT name value" line for each
// headline figure; never fails.
//
//   bench_dfu [runs (3)]

#include "benchsetup.h"
#include "dfuprocedure.h"
#include "dfuprotocol.h"
#include "firmware.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// The update window's part, left out: only the last log line is kept, as
// it says why an update did not succeed.
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

// The update's pace as the line sets it.
struct WireModel
{
    qint64 toModule = 0;
    qint64 toHost = 0;
    int exchanges = 0;
    double seconds = 0;
};

// Every message the procedure sends for `image` gets one answer: the
// hello's, then an acknowledgement each.
WireModel wireModel(const QByteArray &image)
{
    using namespace zel::dfu;
    WireModel model;
    model.toModule = wireMessage(helloBody()).size() + wireMessage(otaDescriptorBody()).size()
        + wireMessage(updateCommandBody(quint32(image.size()), 0)).size()
        + wireMessage(resetBody()).size();
    const QVector<ChunkPlan> chunks = planChunks(image.size());
    for (const ChunkPlan &chunk : chunks) {
        model.toModule += wireMessage(
            dataChunkBody(chunk.offset, image.constData() + chunk.offset, chunk.length))
                              .size();
    }
    model.exchanges = 4 + chunks.size();
    model.toHost = helloResponseSize + qint64(model.exchanges - 1) * acknowledgementSize;
    const double lineBytesPerSecond = baudRate / 10.0;
    model.seconds = double(model.toModule + model.toHost) / lineBytesPerSecond
        + model.exchanges * responseQuietGapMs / 1000.0;
    return model;
}

void result(const char *name, double value)
{
    std::printf("RESULT %s %.3f\n", name, value);
}

} // namespace

int main(int argc, char *argv[])
{
    bench::quietDiagnostics();
    QCoreApplication app(argc, argv);
    bench::useSimulatorBesideProgram();
    const int runs = argc > 1 ? qMax(1, QString(argv[1]).toInt()) : 3;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("largest.bin"));
    const QByteArray image = firmwareImage(int(zel::dfu::updateSize));
    if (!dir.isValid() || !writeFile(path, image)) {
        std::printf("bench_dfu: cannot write the image in %s\n", qPrintable(dir.path()));
        return 0;
    }
    const WireModel model = wireModel(image);
    std::printf("firmware update of %d bytes through the simulator's update service at "
                "921600 baud, %d exchanges\n",
        int(image.size()), model.exchanges);
    std::printf("model: %lld bytes to the module, %lld to the host, at 92160 bytes per second, "
                "+ %d ms per exchange = %.3f s\n",
        model.toModule, model.toHost, zel::dfu::responseQuietGapMs, model.seconds);
    std::printf("%-4s %10s %7s  %s\n", "run", "wall s", "ratio", "outcome");

    double sum = 0;
    int succeeded = 0;
    for (int run = 1; run <= runs; ++run) {
        SimProcess sim;
        // Output off: a quiet line until the update's hello.
        if (!sim.start({ "--output", "off" })) {
            std::printf("bench_dfu: the simulator did not start (ZEL_SIM=%s)\n",
                qgetenv("ZEL_SIM").constData());
            return 0;
        }
        QSerialPort port;
        QuietSink sink;
        QElapsedTimer wall;
        wall.start();
        const zel::dfu::DfuOutcome outcome
            = zel::dfu::runFirmwareUpdate(port, sim.portPath(), path, sink);
        const double seconds = wall.nsecsElapsed() / 1e9;
        const bool installed = !sim.waitForEvent(QStringLiteral("dfu-installed"), 5000).isEmpty();
        const bool whole = outcome == zel::dfu::DfuOutcome::Succeeded && installed;
        std::printf("%-4d %10.3f %7.3f  %s\n", run, seconds, seconds / model.seconds,
            whole ? "installed" : qPrintable(QStringLiteral("did not succeed: ") + sink.lastLine));
        if (whole) {
            sum += seconds;
            ++succeeded;
        }
    }
    if (succeeded > 0) {
        result("dfu_wall_s", sum / succeeded);
        result("dfu_model_s", model.seconds);
        result("dfu_ratio", sum / succeeded / model.seconds);
    }
    return 0;
}
