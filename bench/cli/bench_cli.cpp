// zel-cli against the simulator at 500 Hz and 921600 baud: `stream` (every
// frame out, none lost, the CPU zel-cli takes) and `record` (rows against
// frames sent). Figures only; the program never fails on one.

#include "logcheck.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

// CPU seconds of the children this process has waited for.
double childCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QString program(const char *name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(name));
}

// Runs zel-cli `command` against a fresh simulator at 500 Hz and 921600
// baud for `seconds`; the rows it wrote land in `rowsFile`.
void measure(const QString &command, double seconds, const QString &rowsFile, const QDir &dir)
{
    const QString sent = dir.filePath(command + QStringLiteral("-sent.bin"));
    QProcess sim;
    sim.start(program("zel-sim"), { "--baud", "921600", "--odr", "4", "--record", sent });
    if (!sim.waitForReadyRead(10000)) {
        std::printf("%s: the simulator did not start\n", qPrintable(command));
        return;
    }
    const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QStringList arguments { command, "--port", port, "--baud", "921600", "--seconds",
        QString::number(seconds) };
    QProcess cli;
    if (command == QLatin1String("record"))
        arguments << rowsFile;
    else
        cli.setStandardOutputFile(rowsFile);
    const double cpuBefore = childCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    cli.start(program("zel-cli"), arguments);
    cli.waitForFinished(int(seconds * 1000) + 30000);
    const double wallSeconds = wall.elapsed() / 1000.0;
    const double cpu = childCpuSeconds() - cpuBefore;
    sim.terminate();
    sim.waitForFinished(5000);

    int rows = 0;
    const QString problem = logcheck::problem(rowsFile, sent, &rows);
    std::printf("%s, %g s at 500 Hz, 921600 baud: exit %d, %d rows (%.1f /s), %s\n",
        qPrintable(command), seconds, cli.exitCode(), rows, rows / seconds,
        problem.isEmpty() ? "one unbroken run of the frames sent, none lost"
                          : qPrintable(QStringLiteral("PROBLEM: ") + problem));
    std::printf("%s: CPU %.2f s in %.2f s wall = %.1f %% of one core\n", qPrintable(command), cpu,
        wallSeconds, 100.0 * cpu / wallSeconds);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({
        { "seconds", "length of the stream run (20)", "S", "20" },
        { "record-seconds", "length of the recording (60; 600 for the long run)", "S", "60" },
    });
    parser.process(app);
    QTemporaryDir dir;
    measure(QStringLiteral("stream"), parser.value("seconds").toDouble(),
        dir.filePath(QStringLiteral("stream.csv")), QDir(dir.path()));
    measure(QStringLiteral("record"), parser.value("record-seconds").toDouble(),
        dir.filePath(QStringLiteral("record.csv")), QDir(dir.path()));
    return 0;
}
