// zel-sim as its own process, reached the way the tool reaches the module:
// through a serial port, here its pseudo-terminal.

#include "simtestsupport.h"

#include <QSerialPort>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace simtest;

namespace {

constexpr int patience = 10000; // ms; only ever waited out on a failure

// The zel-sim process, its first line and its event lines.
class Sim
{
public:
    ~Sim()
    {
        process.kill();
        process.waitForFinished(patience);
    }

    bool start(const QStringList &arguments)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            while (process.canReadLine()) {
                const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
                if (firstLine.isEmpty())
                    firstLine = line;
                else
                    events.append(line);
            }
        });
        process.start(QString::fromLocal8Bit(qgetenv("ZEL_SIM")), arguments);
        while (firstLine.isEmpty()) {
            if (!process.waitForReadyRead(patience))
                return false;
        }
        return true;
    }

    void control(const QByteArray &line) { process.write(line + '\n'); }
    bool saw(const QString &event) const { return events.contains(event); }

    QProcess process;
    QString firstLine;
    QStringList events;
};

// Reads what has arrived on the port into received; true once it holds
// what `enough` asks for.
template <typename Predicate> bool gather(QSerialPort &port, QByteArray &received, Predicate enough)
{
    received += port.readAll();
    return enough(received);
}

QString linkTarget(const QString &link)
{
    return QFileInfo(link).isSymLink() ? QFile::symLinkTarget(link) : QString();
}

QString tempPath(const QString &name)
{
    return QDir(QDir::tempPath()).filePath(name);
}

bool sensorFramesAtLeast(const QByteArray &received, int count)
{
    return sensorFrames(received).size() >= count;
}

} // namespace

class TestSimProcess : public QObject
{
    Q_OBJECT

private slots:
    void answersAndStreams();
    void rateMismatchGarblesTheLine();
    void followsTheHostToANewRate();
    void hangupTakesThePortAway();
    void linkFollowsAReappearingPort();
    void recordHoldsTheFramesReceived();
    void controlLinesActAtOnce();
    void exitsCleanly_data();
    void exitsCleanly();
    void badOptionsExitWithUsage_data();
    void badOptionsExitWithUsage();
};

void TestSimProcess::answersAndStreams()
{
    Sim sim;
    QVERIFY(sim.start({}));
    QVERIFY(sim.firstLine.startsWith("/dev/"));
    QSerialPort port(sim.firstLine);
    port.setBaudRate(115200);
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QCOMPARE(port.write(versionRequest), 6);

    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT(gather(port, received,
                                 [](const QByteArray &r) {
                                     return sensorFramesAtLeast(r, 20)
                                         && !framesWithHeader(r, hex("1001")).isEmpty();
                                 }),
        patience);
    QCOMPARE(framesWithHeader(received, hex("1001")), QList<QByteArray> { longVersionReply });
    QTRY_VERIFY_WITH_TIMEOUT(sim.saw("version-request"), patience);

    const QList<Sensor> samples = decodeSensors(received);
    for (int i = 1; i < samples.size(); ++i) {
        QVERIFY(std::abs(samples[i].timestamp() - samples[i - 1].timestamp() - 0.02f) < 1e-4f);
        QCOMPARE(samples[i].quality, 3u);
    }
}

void TestSimProcess::rateMismatchGarblesTheLine()
{
    Sim sim;
    QVERIFY(sim.start({}));
    QSerialPort port(sim.firstLine);
    port.setBaudRate(921600);
    QVERIFY(port.open(QIODevice::ReadWrite));
    QTRY_VERIFY_WITH_TIMEOUT(sim.saw("garbled"), patience);
    port.clear(); // what was sent before the host set its rate
    QCOMPARE(port.write(versionRequest), 6);
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT(
        gather(port, received, [](const QByteArray &r) { return r.size() >= 3000; }), patience);
    QVERIFY(findFrames(received).isEmpty());
    QVERIFY(!sim.saw("version-request"));

    QVERIFY(port.setBaudRate(115200));
    port.clear();
    received.clear();
    QTRY_VERIFY_WITH_TIMEOUT(
        gather(port, received, [](const QByteArray &r) { return sensorFramesAtLeast(r, 5); }),
        patience);
}

void TestSimProcess::followsTheHostToANewRate()
{
    Sim sim;
    QVERIFY(sim.start({ "--output", "off" }));
    QSerialPort port(sim.firstLine);
    port.setBaudRate(115200);
    QVERIFY(port.open(QIODevice::ReadWrite));
    QCOMPARE(port.write(dataCtrlWrite(hex("030001010001"), 48.53f)), 18);
    QTRY_VERIFY_WITH_TIMEOUT(sim.saw("baud 921600"), patience);
    QVERIFY(sim.saw("datactrl-write 030001010001 48.53"));

    // The tool re-opens its port at the module's new rate.
    port.close();
    port.setBaudRate(921600);
    QVERIFY(port.open(QIODevice::ReadWrite));
    port.clear();
    QCOMPARE(port.write(dataCtrlRequest), 6);
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT(
        gather(port, received, [](const QByteArray &r) { return sensorFramesAtLeast(r, 50); }),
        patience);
    const QList<QByteArray> replies = framesWithHeader(received, hex("2005"));
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies.first().mid(4, 6), hex("030001010001"));
    QCOMPARE(floatAt(replies.first(), 12), 48.53f);
}

void TestSimProcess::hangupTakesThePortAway()
{
    const QString link = tempPath("vanishing-port");
    Sim sim;
    QVERIFY(sim.start({ "--hangup-after", "0.3", "--link", link }));
    const QString slave = linkTarget(link);
    QSerialPort port(link);
    port.setBaudRate(115200);
    QVERIFY(port.open(QIODevice::ReadWrite));
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT(
        gather(port, received, [](const QByteArray &r) { return sensorFramesAtLeast(r, 1); }),
        patience);
    QTRY_VERIFY_WITH_TIMEOUT(port.error() != QSerialPort::NoError, patience);
    QTRY_VERIFY_WITH_TIMEOUT(sim.saw("hangup"), patience);
    // Like an unplugged adapter: the device node and the link to it are gone.
    QVERIFY(!QFile::exists(slave));
    QVERIFY(linkTarget(link).isEmpty());
}

void TestSimProcess::linkFollowsAReappearingPort()
{
    const QString link = tempPath("reappearing-port");
    Sim sim;
    QVERIFY(sim.start({ "--link", link, "--hangup-after", "0.3", "--reappear-after", "0.3" }));
    QCOMPARE(sim.firstLine, link);
    QVERIFY(linkTarget(link).startsWith("/dev/"));

    QTRY_VERIFY_WITH_TIMEOUT(sim.events.filter("reappear ").size() == 1, patience);
    QCOMPARE(sim.events.first(), "hangup");
    const QString newTarget = sim.events.filter("reappear ").first().mid(9);
    QCOMPARE(linkTarget(link), newTarget);
    QSerialPort port(link);
    port.setBaudRate(115200);
    QVERIFY(port.open(QIODevice::ReadWrite));
    QCOMPARE(port.write(versionRequest), 6);
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT(
        gather(port, received,
            [](const QByteArray &r) { return !framesWithHeader(r, hex("1001")).isEmpty(); }),
        patience);
}

void TestSimProcess::recordHoldsTheFramesReceived()
{
    const QString recordPath = tempPath("record.bin");
    QFile::remove(recordPath);
    Sim sim;
    QVERIFY(sim.start({ "--record", recordPath, "--odr", "3", "--garbage-every", "4" }));
    QSerialPort port(sim.firstLine);
    port.setBaudRate(115200);
    QVERIFY(port.open(QIODevice::ReadWrite));
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT(
        gather(port, received, [](const QByteArray &r) { return sensorFramesAtLeast(r, 40); }),
        patience);
    sim.control("quit");
    QVERIFY(sim.process.waitForFinished(patience));

    QFile file(recordPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray record = file.readAll();
    QCOMPARE(record.size() % 94, 0);
    QList<QByteArray> recorded;
    for (int i = 0; i < record.size(); i += 94)
        recorded.append(record.mid(i, 94));
    // The frames received are a run of the frames recorded, byte for byte.
    const QList<QByteArray> frames = sensorFrames(received);
    const int start = recorded.indexOf(frames.first());
    QVERIFY(start >= 0);
    QCOMPARE(recorded.mid(start, frames.size()), frames);
}

void TestSimProcess::controlLinesActAtOnce()
{
    Sim sim;
    QVERIFY(sim.start({ "--output", "off" }));
    QSerialPort port(sim.firstLine);
    port.setBaudRate(115200);
    QVERIFY(port.open(QIODevice::ReadWrite));

    QByteArray received;
    sim.control("ble");
    QTRY_VERIFY_WITH_TIMEOUT(
        gather(port, received, [](const QByteArray &r) { return r.size() >= 6; }), patience);
    QCOMPARE(received, hex("200900000d0a"));
    QTRY_VERIFY_WITH_TIMEOUT(sim.saw("ble"), patience);

    received.clear();
    sim.control("garbage 300");
    QTRY_VERIFY_WITH_TIMEOUT(
        gather(port, received, [](const QByteArray &r) { return r.size() >= 300; }), patience);
    QCOMPARE(received.size(), 300);
    QVERIFY(!received.contains("\r\n"));
}

void TestSimProcess::exitsCleanly_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("SIGTERM") << "SIGTERM";
    QTest::newRow("SIGINT") << "SIGINT";
    QTest::newRow("quit") << "quit";
    QTest::newRow("exit-after") << "exit-after";
    QTest::newRow("end of input") << "end of input";
}

void TestSimProcess::exitsCleanly()
{
    QFETCH(QString, how);
    const QString link = tempPath("port-" + how);
    QStringList arguments { "--link", link };
    if (how == "exit-after")
        arguments << "--exit-after"
                  << "0.5";
    Sim sim;
    QVERIFY(sim.start(arguments));
    QVERIFY(!linkTarget(link).isEmpty());

    if (how == "quit") {
        sim.control("quit");
    } else if (how == "end of input") {
        // Whoever started it through a pipe has gone.
        sim.process.closeWriteChannel();
    } else {
        QSerialPort port(link);
        port.setBaudRate(115200);
        QVERIFY(port.open(QIODevice::ReadWrite));
        port.clear();
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT(
            gather(port, received, [](const QByteArray &r) { return sensorFramesAtLeast(r, 1); }),
            patience);
        if (how != "exit-after")
            ::kill(pid_t(sim.process.processId()), how == "SIGTERM" ? SIGTERM : SIGINT);
    }
    QVERIFY(sim.process.waitForFinished(patience));
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(linkTarget(link).isEmpty());
}

void TestSimProcess::badOptionsExitWithUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unsupported rate") << QStringList { "--baud", "57600" };
    QTest::newRow("rate code out of range") << QStringList { "--odr", "5" };
    QTest::newRow("unknown mode") << QStringList { "--mode", "fast" };
    QTest::newRow("unknown output state") << QStringList { "--output", "maybe" };
    QTest::newRow("short firmware version") << QStringList { "--fw-version", "1.2" };
    QTest::newRow("version number too big") << QStringList { "--fw-version", "16.0.0" };
    QTest::newRow("negative time") << QStringList { "--poor-quality", "-1" };
    QTest::newRow("bad silence") << QStringList { "--silence-after", "2:x" };
    QTest::newRow("missing value") << QStringList { "--garbage-bytes" };
    QTest::newRow("unknown option") << QStringList { "--bogus" };
    QTest::newRow("stray argument") << QStringList { "port" };
    QTest::newRow("negative chunk") << QStringList { "--dfu-refuse-chunk", "-1" };
    QTest::newRow("message number not a number") << QStringList { "--dfu-long-gap", "x" };
    QTest::newRow("two hello faults") << QStringList { "--dfu-no-hello", "--dfu-wrong-hello" };
    QTest::newRow("flag with a value") << QStringList { "--dfu-split-answers=yes" };
    QTest::newRow("next version too big") << QStringList { "--dfu-next-version", "1.16.0" };
    QTest::newRow("image file missing") << QStringList { "--dfu-image" };
}

void TestSimProcess::badOptionsExitWithUsage()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(QString::fromLocal8Bit(qgetenv("ZEL_SIM")), arguments);
    QVERIFY(process.waitForFinished(patience));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(process.readAllStandardError().contains("usage: zel-sim"));
}

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_sim_process.moc"
