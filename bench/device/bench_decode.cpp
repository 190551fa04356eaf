// Decode throughput: the frame scan, the sensor decoder and the console
// text of a stream of sensor frames, on one core, as the worker does them in
// each poll. Prints frames per second next to the line limit at 921600 baud.
//   bench_decode [seconds]

#include "sampletext.h"
#if __has_include("consoleclock.h")
#include "consoleclock.h"
#endif

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTextStream>

#include <cmath>
#include <cstring>

namespace {

// The console text of one poll, built as the tree under test builds it:
// from one stamp per poll appended to the poll's text where the tree has
// the clock for it, else with each frame's text and time taken on its own.
#if __has_include("consoleclock.h")
zel::ConsoleClock consoleClock;
void appendFrameText(QString &console, QString &stamp, const zel::SensorSample &sample)
{
    if (stamp.isEmpty()) {
        console.reserve(4000);
        stamp = consoleClock.stamp();
    }
    zel::appendSensorConsoleText(console, sample, stamp);
}
#else
void appendFrameText(QString &console, QString &, const zel::SensorSample &sample)
{
    const QDateTime now = QDateTime::currentDateTime();
    console += zel::sensorConsoleText(sample, now.date(), now.time());
}
#endif

QByteArray sensorFrame(int k)
{
    QByteArray frame;
    frame.append("\x20\x02\x58\x00", 4);
    auto put = [&frame](float value) {
        char bytes[4];
        std::memcpy(bytes, &value, 4);
        frame.append(bytes, 4);
    };
    const float t = float(k) * 0.002f;
    put(t);
    for (int i = 0; i < 20; ++i)
        put(std::sin(t + float(i)) * float(10 + i));
    const quint32 quality = 3;
    char bytes[4];
    std::memcpy(bytes, &quality, 4);
    frame.append(bytes, 4);
    frame.append("\r\n", 2);
    return frame;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? qMax(0.5, QByteArray(argv[1]).toDouble()) : 3.0;
    QTextStream out(stdout);

    // A few polls' worth of frames, with the odd partial frame carried over
    // between reads as the line delivers them.
    QByteArray stream;
    for (int k = 0; k < 1000; ++k)
        stream += sensorFrame(k);

    constexpr qint64 readSize = 470; // five frames per 5 ms poll at 921600 baud
    QByteArray buffer(int(zel::rxBufferSize), '\0');
    qint64 rxLength = 0;
    qint64 frames = 0;
    qint64 textBytes = 0;
    qint64 offset = 0;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < seconds * 1000) {
        for (int poll = 0; poll < 200; ++poll) {
            const qint64 n = qMin(readSize, stream.size() - offset);
            std::memcpy(buffer.data() + rxLength, stream.constData() + offset, size_t(n));
            offset = (offset + n) % stream.size();
            const qint64 total = rxLength + n;
            const auto *data = reinterpret_cast<const uchar *>(buffer.constData());
            QString console;
            QString stamp;
            const zel::ScanResult scan
                = zel::scanFrames(data, total, [&](zel::FrameKind kind, qint64 index, int) {
                      if (kind != zel::FrameKind::SensorData)
                          return;
                      appendFrameText(console, stamp, zel::decodeSensorPayload(data + index + 4));
                      ++frames;
                  });
            textBytes += console.size();
            const qint64 carried = zel::carryOverLength(total, scan.consumed);
            std::memmove(buffer.data(), buffer.constData() + total - carried, size_t(carried));
            rxLength = carried;
        }
    }
    const double elapsed = double(timer.nsecsElapsed()) / 1e9;
    const double perSecond = double(frames) / elapsed;
    const double lineLimit = 921600.0 / 10.0 / zel::sensorFrameLength;
    out << "decode: " << qint64(perSecond) << " frames/s on one core ("
        << QString::number(1e9 / perSecond, 'f', 0) << " ns per frame, console text included)\n"
        << "line limit at 921600 baud: " << QString::number(lineLimit, 'f', 0) << " frames/s\n"
        << "headroom: " << QString::number(perSecond / lineLimit, 'f', 0) << " x the line limit\n"
        << "(" << textBytes << " console characters built)\n";
    return 0;
}
