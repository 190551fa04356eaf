// Writes the seed inputs of the fuzz targets: real frames as the module
// sends them, alone, split over reads, mixed with junk; and real answers of
// the module's update service, taken from the service model itself.
//
//   fuzz_make_corpus tests/fuzz/corpus

#include "dfuprotocol.h"
#include "framebuilder.h"
#include "updateservice.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <initializer_list>
#include <limits>

namespace {

bool writeSeed(const QDir &dir, const char *name, const QByteArray &bytes)
{
    QFile file(dir.filePath(QLatin1String(name)));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    return true;
}

// The frame target's input: how many read sizes follow, the sizes, then the
// byte stream. No sizes means one read of everything.
QByteArray stream(std::initializer_list<quint8> readSizes, const QByteArray &bytes)
{
    QByteArray input;
    input.append(char(readSizes.size()));
    for (quint8 size : readSizes)
        input.append(char(size));
    return input + bytes;
}

zel::SensorSample oddSample()
{
    zel::SensorSample s = testframes::sample(-2.5f, 1);
    s.timestamp = std::numeric_limits<float>::denorm_min();
    s.acc = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity() };
    s.mag = { -0.0f, 0.0000005f, -0.0000004f };
    s.gyr = { std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(), 0.1234565f };
    return s;
}

bool writeFrameSeeds(const QDir &dir)
{
    using namespace testframes;
    const QByteArray sensor = sensorFrame(3);
    const QByteArray longVersion = versionReply(QByteArray::fromHex("301200000A1B2C3D4E5F0105"));
    const QByteArray dataCtrl = dataCtrlReply(QByteArray::fromHex("020000020001"));
    const QByteArray junk = QByteArray::fromHex("FF00A5");
    QByteArray noTerminator;
    for (int i = 0; i < 1200; ++i)
        noTerminator.append(char(0x20 + i % 0x50));

    bool ok = true;
    ok &= writeSeed(dir, "sensor_frame", stream({}, sensor));
    ok &= writeSeed(dir, "sensor_frame_split_50_44", stream({ 50, 44 }, sensor));
    ok &= writeSeed(dir, "sensor_frames_odd_values",
        stream({}, sensorFrame(oddSample()) + sensorFrame(sample(0.5f, 0)) + sensor));
    ok &= writeSeed(dir, "version_short", stream({}, shortVersionReply()));
    ok &= writeSeed(dir, "version_long", stream({}, longVersion));
    ok &= writeSeed(dir, "version_after_junk", stream({}, junk + shortVersionReply()));
    ok &= writeSeed(dir, "datactrl_reply", stream({}, dataCtrl));
    ok &= writeSeed(dir, "ble_notice_then_frame", stream({}, bleNotice() + sensor));
    ok &= writeSeed(dir, "frame_then_ble_notice", stream({}, sensor + bleNotice() + junk));
    // Well formed, but no kind the tool takes: a data frame of the wrong
    // length and the frames the tool itself sends.
    ok &= writeSeed(dir, "foreign_frames",
        stream({},
            frame(0x20, 0x02, QByteArray(12, '\x01')) + zel::versionRequestFrame()
                + zel::maintenanceFrame(zel::MaintenanceCommand::Reset)
                + zel::dataCtrlWriteFrame(QByteArray::fromHex("020000020001"), 45.5f) + sensor));
    ok &= writeSeed(dir, "length_past_the_data", stream({ 30, 0 }, sensor + dataCtrl));
    ok &= writeSeed(dir, "junk_1200_without_terminator", stream({}, noTerminator));
    ok &= writeSeed(dir, "junk_1200_then_frame", stream({ 250, 0 }, noTerminator + sensor));
    ok &= writeSeed(dir, "frame_and_start_of_next", stream({ 97, 0 }, sensor + sensor));
    ok &= writeSeed(dir, "byte_by_byte", stream({ 1 }, longVersion + dataCtrl + sensor));
    ok &= writeSeed(dir, "session",
        stream({ 7, 64, 0 },
            shortVersionReply() + junk + longVersion + dataCtrl + sensor + sensor + bleNotice()));
    return ok;
}

// Runs one host message through the service model and returns its answer.
QByteArray answerOf(zel::sim::UpdateService &service, const QByteArray &body, qint64 &nowNs)
{
    service.receive(zel::dfu::wireMessage(body), nowNs);
    nowNs += 1'000'000'000;
    return service.takeDue(nowNs);
}

bool writeUpdateSeeds(const QDir &dir)
{
    using namespace zel::dfu;
    QByteArray image(3000, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 7);

    qint64 now = 0;
    zel::sim::UpdateService service;
    bool ok = true;
    ok &= writeSeed(dir, "hello_answer", answerOf(service, helloBody(), now));
    ok &= writeSeed(dir, "descriptor_ack", answerOf(service, otaDescriptorBody(), now));
    ok &= writeSeed(dir, "update_command_ack",
        answerOf(service, updateCommandBody(quint32(image.size()), crc32Of(image)), now));
    ok &= writeSeed(dir, "chunk_ack",
        answerOf(service, dataChunkBody(0, image.constData(), image.size()), now));
    ok &= writeSeed(dir, "reset_ack", answerOf(service, resetBody(), now));
    // A chunk nobody announced is refused with a status word.
    ok &= writeSeed(dir, "chunk_refused",
        answerOf(service, dataChunkBody(0, image.constData(), image.size()), now));

    zel::sim::UpdateFaults faults;
    faults.hello = zel::sim::UpdateFaults::Hello::WrongType;
    zel::sim::UpdateService wrongType(faults);
    ok &= writeSeed(dir, "hello_answer_wrong_type", answerOf(wrongType, helloBody(), now));
    faults.hello = zel::sim::UpdateFaults::Hello::WrongLength;
    zel::sim::UpdateService wrongLength(faults);
    ok &= writeSeed(dir, "hello_answer_wrong_length", answerOf(wrongLength, helloBody(), now));
    faults = {};
    faults.refuseDescriptor = true;
    zel::sim::UpdateService refusing(faults);
    answerOf(refusing, helloBody(), now);
    ok &= writeSeed(dir, "descriptor_refused", answerOf(refusing, otaDescriptorBody(), now));
    ok &= writeSeed(dir, "empty", QByteArray());
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    const QString frames = QStringLiteral("fuzz_frames");
    const QString update = QStringLiteral("fuzz_dfu_response");
    if (!root.mkpath(frames) || !root.mkpath(update)) {
        std::fprintf(stderr, "cannot make the corpus folders in %s\n", argv[1]);
        return 1;
    }
    const bool ok = writeFrameSeeds(QDir(root.filePath(frames)))
        && writeUpdateSeeds(QDir(root.filePath(update)));
    return ok ? 0 : 1;
}
