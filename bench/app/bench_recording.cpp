// A recording of an hour at 500 Hz (1.8 million rows, about 300 MB; one
// reboot of the module half-way) opened and moved through as the tool does.
// Writes the file into the build folder the first time. Prints how long
// reading it takes and the resident memory after, before any window exists;
// then, in the main window, how long seeks to places all over it take,
// histories filled included, and what playing at 1x with every graph open
// costs against the same stream live.
//
//   bench_recording [seconds of playing, default 10]

#include "benchsetup.h"
#include "mainwindows.h"
#include "procstats.h"
#include "recordingreader.h"
#include "sampletext.h"
#include "task.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSlider>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int rate = 500;
constexpr int rows = 3600 * rate;

// Motion much like the simulator's, so the texts have their usual lengths.
zel::SensorSample sampleAt(int row)
{
    // The module rebooted half-way: its clock starts again.
    const int sinceStart = row < rows / 2 ? row : row - rows / 2;
    const double t = sinceStart / double(rate);
    zel::SensorSample s;
    s.timestamp = float(row < rows / 2 ? 12.5 + t : t);
    const double yaw = std::fmod(t * 0.2, 2 * M_PI);
    s.acc = { float(0.3 * std::sin(t * 1.3)), float(0.2 * std::cos(t * 0.7)),
        float(9.81 + 0.1 * std::sin(t * 3.1)) };
    s.mag = { float(22 * std::cos(yaw)), float(-22 * std::sin(yaw)), -41.5f };
    s.gyr = { float(2 * std::sin(t)), float(1.5 * std::cos(t * 1.1)), 11.459f };
    s.quat = { float(std::cos(yaw / 2)), 0, 0, float(std::sin(yaw / 2)) };
    s.euler = { float(std::sin(t) * 3), float(std::cos(t) * 2), float(yaw * 180 / M_PI - 180) };
    return s;
}

QString writeRecording()
{
    const QString path = QCoreApplication::applicationDirPath() + "/../bench-recording-1h.csv";
    if (QFileInfo(path).size() > 250 * 1000 * 1000)
        return path;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    QTextStream(stdout) << "writing " << QFileInfo(path).absoluteFilePath() << " (once)"
                        << Qt::endl;
    QByteArray block = zel::csvHeader();
    for (int row = 0; row < rows; ++row) {
        block += zel::csvRow(sampleAt(row));
        if (block.size() > (1 << 20) || row == rows - 1) {
            file.write(block);
            block.clear();
        }
    }
    return path;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QTextStream out(stdout);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const double playSeconds = argc > 1 ? std::max(1.0, QString(argv[1]).toDouble()) : 10.0;
    const QString path = [&] {
        QCoreApplication core(argc, argv);
        return writeRecording();
    }();
    if (path.isEmpty()) {
        out << "cannot write the recording\n";
        return 0;
    }
    const double fileMb = procstats::megabytes(QFileInfo(path).size());

    // Read before any window exists: the resident memory is then the
    // recording's and the program's.
    {
        zel::Recording recording;
        QString error;
        QElapsedTimer clock;
        clock.start();
        if (!zel::readRecordingFile(path, &recording, &error)) {
            out << error << "\n";
            return 0;
        }
        const double seconds = clock.nsecsElapsed() / 1e9;
        out << QString::asprintf("open: %d rows in %.2f s, %.1f MB", recording.rows(), seconds,
            procstats::megabytes(procstats::residentBytes()))
            << "\n";
        out << QString::asprintf("  %.0f rows/s on one core from a %.0f MB file; room for the "
                                 "rows %.1f MB; %zu segments\n",
            recording.rows() / seconds, fileMb, recording.memoryBytes() / 1048576.0,
            recording.segmentStarts().size());
    }

    QApplication app(argc, argv);
    bench::quietDiagnostics();
    MainView window;
    window.show();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("ConnectionView"))
            w->hide();
    }
    QElapsedTimer clock;
    clock.start();
    if (!window.openRecordingFile(path))
        return 0;
    out << QString::asprintf("open in the window: %.2f s, %.1f MB resident with the window\n",
        clock.nsecsElapsed() / 1e9, procstats::megabytes(procstats::residentBytes()));
    QCoreApplication::processEvents();

    // Seeks as the slider asks for them, to places all over the hour.
    auto *slider = window.findChild<QSlider *>(QStringLiteral("seekSlider"));
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> anywhere(slider->minimum(), slider->maximum());
    std::vector<double> seekMs;
    for (int i = 0; i < 40; ++i) {
        clock.start();
        slider->setValue(anywhere(random));
        seekMs.push_back(clock.nsecsElapsed() / 1e6);
    }
    out << QString::asprintf("seek: median %.1f ms, worst %.1f ms over %zu seeks, each chart's "
                             "history filled with the minute before\n",
        median(seekMs), *std::max_element(seekMs.begin(), seekMs.end()), seekMs.size());

    // Playing at 1x with the four charts and the cube open, then the same
    // stream as the device worker hands it over live: a poll's samples and
    // console text every 5 ms.
    const auto trigger = [&window](const char *text) {
        for (QAction *action : window.findChildren<QAction *>()) {
            if (action->text() == QLatin1String(text))
                action->trigger();
        }
    };
    trigger("&Open/Close All Graphs");
    slider->setValue(600 * 1000);
    double cpuBefore = 0;
    const auto startMeasuring = [&] {
        cpuBefore = procstats::cpuSeconds();
        clock.start();
    };
    const auto cpuPercent = [&] {
        return 100 * (procstats::cpuSeconds() - cpuBefore) / (clock.nsecsElapsed() / 1e9);
    };
    QTimer livePoll;
    int liveRow = 600 * rate;
    QElapsedTimer liveClock;
    QObject::connect(&livePoll, &QTimer::timeout, [&] {
        const int due = 600 * rate + int(liveClock.nsecsElapsed() / (1000000000 / rate));
        zel::SensorSamples samples;
        QString text;
        const QString stamp = zel::consoleStamp(QDate::currentDate(), QTime::currentTime());
        for (; liveRow < due; ++liveRow) {
            samples.append(sampleAt(liveRow));
            zel::appendSensorConsoleText(text, samples.last(), stamp);
        }
        text.chop(1);
        emit window.deviceWorker()->sendSamples(samples);
        emit window.deviceWorker()->signalLogMessage(text);
    });
    QTimer::singleShot(1000, [&] {
        startMeasuring();
        trigger("Play");
        QTimer::singleShot(int(playSeconds * 1000), [&] {
            out << QString::asprintf("play at 1x, graphs open (%.1f s): CPU %.1f %% of one core\n",
                clock.nsecsElapsed() / 1e9, cpuPercent());
            trigger("Close Recording");
            startMeasuring();
            liveClock.start();
            livePoll.start(5);
            QTimer::singleShot(int(playSeconds * 1000), [&] {
                out << QString::asprintf("the same stream live, graphs open (%.1f s): CPU %.1f %% "
                                         "of one core\n",
                    clock.nsecsElapsed() / 1e9, cpuPercent());
                window.close();
                QCoreApplication::quit();
            });
        });
    });
    return QApplication::exec();
}
