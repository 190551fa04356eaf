#include "commands.h"

#include "datactrl.h"
#include "dfuprocedure.h"
#include "dfuprotocol.h"
#include "openfailure.h"
#include "portlist.h"
#include "sampletext.h"
#include "session.h"
#include "terminal.h"
#include "uarttask.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QTimer>

#include <algorithm>

namespace zel::cli {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("zel-cli", text);
}

constexpr int answerTimeoutMs = 3000;
constexpr int calibrationTimeoutMs = 60000;
// The window calls a calibration done after more good frames than this.
constexpr int goodFramesAfterCalibration = 10;

// One command's options, parsed; the run ends at parse() with `exitCode`
// for --help and for bad usage.
class CommandLine
{
public:
    CommandLine(const char *commandName, const QString &description)
        : name(QString::fromLatin1(commandName))
    {
        parser.setApplicationDescription(description + QStringLiteral("\n\n") + exitCodesText());
        parser.addPositionalArgument(name, QString(), name);
        parser.addHelpOption();
    }

    void addLinkOptions(int defaultTimeoutMs, const QString &timeoutMeaning)
    {
        defined << QStringLiteral("port") << QStringLiteral("baud") << QStringLiteral("timeout");
        parser.addOptions({
            { { "p", "port" },
                tr("the module's port (default: the one port marked as the module's)"),
                tr("NAME") },
            { { "b", "baud" }, tr("the port's baud rate: 38400, 115200 or 921600 (115200)"),
                tr("RATE"), QStringLiteral("115200") },
            { { "t", "timeout" }, timeoutMeaning + tr(" (%1 ms)").arg(defaultTimeoutMs), tr("MS"),
                QString::number(defaultTimeoutMs) },
        });
    }
    void addStopOptions()
    {
        defined << QStringLiteral("frames") << QStringLiteral("seconds");
        parser.addOptions({
            { "frames", tr("stop after N frames"), tr("N") },
            { "seconds", tr("stop after S seconds"), tr("S") },
        });
    }
    void addJsonOption()
    {
        defined << QStringLiteral("json");
        parser.addOption({ "json", tr("print JSON") });
    }

    bool parse(QStringList arguments)
    {
        arguments.first() = QStringLiteral("zel-cli"); // for the usage line
        if (!parser.parse(arguments)) {
            exitCode = usageError(parser.errorText());
            return false;
        }
        if (parser.isSet(QStringLiteral("help"))) {
            writeOut(parser.helpText().toLocal8Bit());
            exitCode = ExitOk;
            return false;
        }
        operands = parser.positionalArguments().mid(1);
        port = value("port");
        json = defined.contains(QStringLiteral("json")) && parser.isSet(QStringLiteral("json"));
        bool ok = true;
        if (!value("baud").isEmpty()) {
            baudRate = value("baud").toInt(&ok);
            if (!ok || !isAcceptedBaudRate(baudRate))
                return failParse(tr("--baud takes 38400, 115200 or 921600"));
        }
        if (!value("timeout").isEmpty()) {
            timeoutMs = value("timeout").toInt(&ok);
            if (!ok || timeoutMs < 0)
                return failParse(tr("--timeout takes milliseconds"));
        }
        if (!value("frames").isEmpty()) {
            frames = value("frames").toLongLong(&ok);
            if (!ok || frames < 1)
                return failParse(tr("--frames takes a count of 1 or more"));
        }
        if (!value("seconds").isEmpty()) {
            const double seconds = value("seconds").toDouble(&ok);
            if (!ok || seconds <= 0 || seconds > 1e6)
                return failParse(tr("--seconds takes a positive number"));
            stopAfterMs = qRound(seconds * 1000);
        }
        return true;
    }

    int usageError(const QString &text) const
    {
        writeErr(QStringLiteral("zel-cli %1: %2\nTry 'zel-cli %1 --help'.\n").arg(name, text));
        return ExitUsage;
    }

    QCommandLineParser parser;
    QString name;
    int exitCode = ExitOk;
    QStringList operands;
    QString port;
    int baudRate = 115200;
    int timeoutMs = answerTimeoutMs;
    qint64 frames = -1; // no count
    int stopAfterMs = -1; // no bound
    bool json = false;
    QStringList defined;

private:
    // Empty for an option this command does not take.
    QString value(const char *option) const
    {
        const QString optionName = QLatin1String(option);
        return defined.contains(optionName) ? parser.value(optionName) : QString();
    }
    bool failParse(const QString &text)
    {
        exitCode = usageError(text);
        return false;
    }
};

int fail(int exitCode, const QString &reason)
{
    writeErr(QStringLiteral("zel-cli: %1\n").arg(reason));
    return exitCode;
}

// A wait that ended without its answer: interrupted, or out of time.
int failWait(const Session &session, const QString &timeoutReason)
{
    if (session.interrupted())
        return fail(session.interruptionExitCode(), session.interruptionReason());
    return fail(ExitFailed, timeoutReason);
}

// The named port, else the one port marked as the module's, as the window
// marks it.
int resolvePort(const QString &named, QString *port)
{
    *port = named;
    if (!named.isEmpty())
        return ExitOk;
    QStringList marked;
    for (const SerialPortEntry &entry : listSerialPorts()) {
        if (portEntryText(entry) != entry.portName)
            marked << entry.portName;
    }
    if (marked.size() == 1) {
        *port = marked.first();
        return ExitOk;
    }
    return fail(ExitNoPort,
        marked.isEmpty() ? tr("no port is marked as the module's; name one with --port")
                         : tr("%1 ports are marked as the module's (%2); name one with --port")
                               .arg(marked.size())
                               .arg(marked.join(QStringLiteral(", "))));
}

int openSession(Session &session, const CommandLine &line)
{
    QString port;
    if (const int code = resolvePort(line.port, &port); code != ExitOk)
        return code;
    if (!session.open(port, line.baudRate))
        return fail(ExitNoPort, session.failure);
    return ExitOk;
}

// Connects and waits for what the window waits for before it offers the
// device actions: the firmware version, then the configuration record.
int readModule(Session &session, const CommandLine &line)
{
    if (const int code = openSession(session, line); code != ExitOk)
        return code;
    if (session.waitFor([&] { return !session.version.isEmpty() && session.recordsReceived > 0; },
            line.timeoutMs))
        return ExitOk;
    return failWait(session,
        tr("the module did not answer within %1 ms at %2 baud")
            .arg(line.timeoutMs)
            .arg(line.baudRate));
}

// The record with the configuration window's names for its values; the
// version's further lines (device and product id) become keys of their own.
QByteArray recordText(const QString &version, const QByteArray &dataCtrl, float magField, bool json)
{
    QList<QPair<QString, QString>> fields;
    const QStringList versionLines = version.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &versionLine : versionLines) {
        const QString key = versionLine.section(QStringLiteral(": "), 0, 0);
        if (key == versionLine)
            fields.append({ QStringLiteral("firmware"), versionLine });
        else
            fields.append({ key.toLower().replace(QLatin1Char(' '), QLatin1Char('_')),
                versionLine.section(QStringLiteral(": "), 1) });
    }
    const DataCtrlTexts texts = decodeDataCtrl(dataCtrl, magField);
    fields.append({ { QStringLiteral("rate"), texts.outputRate },
        { QStringLiteral("mode"), texts.fusionMode }, { QStringLiteral("baud"), texts.baudRate },
        { QStringLiteral("output"), texts.dataOutput }, { QStringLiteral("city"), texts.refCity },
        { QStringLiteral("magfield"), QString::number(double(magField)) },
        { QStringLiteral("record"), QString::fromLatin1(dataCtrl.toHex()) } });
    QJsonObject object;
    QByteArray text;
    for (const auto &[key, value] : fields) {
        object.insert(key, key == QLatin1String("magfield") ? QJsonValue(value.toDouble()) : value);
        text += (key + QLatin1Char('=') + value + QLatin1Char('\n')).toUtf8();
    }
    return json ? QJsonDocument(object).toJson() : text;
}

int runPorts(const QStringList &arguments, UnixSignals &)
{
    CommandLine line("ports",
        tr("Lists the serial ports and the extra ports of ZEL_EXTRA_PORTS, one a line: name, "
           "description and * for the module's, separated by tabs."));
    line.addJsonOption();
    if (!line.parse(arguments))
        return line.exitCode;
    QJsonArray array;
    QByteArray text;
    for (const SerialPortEntry &port : listSerialPorts()) {
        const bool module = portEntryText(port) != port.portName;
        array.append(QJsonObject {
            { "name", port.portName }, { "description", port.description }, { "module", module } });
        text += QStringLiteral("%1\t%2\t%3\n")
                    .arg(port.portName, port.description, module ? QStringLiteral("*") : QString())
                    .toUtf8();
    }
    writeOut(line.json ? QJsonDocument(array).toJson() : text);
    return ExitOk;
}

int runInfo(const QStringList &arguments, UnixSignals &unixSignals)
{
    CommandLine line("info",
        tr("Prints the module's firmware version and configuration record as key=value lines."));
    line.addLinkOptions(answerTimeoutMs, tr("wait MS for each answer"));
    line.addJsonOption();
    if (!line.parse(arguments))
        return line.exitCode;
    Session session(unixSignals);
    if (const int code = readModule(session, line); code != ExitOk)
        return code;
    writeOut(recordText(session.version, session.dataCtrl, session.magField, line.json));
    return ExitOk;
}

// The keys of `config set`, each a box of the configuration window.
struct ConfigKey
{
    const char *name;
    QString DataCtrlTexts::*text;
    bool (*valid)(const QString &value);
};

const ConfigKey configKeys[] = {
    { "rate", &DataCtrlTexts::outputRate, [](const QString &v) { return odrCodeForText(v) >= 0; } },
    { "mode", &DataCtrlTexts::fusionMode,
        [](const QString &v) { return ahrsModeForText(v) >= 0; } },
    { "baud", &DataCtrlTexts::baudRate, [](const QString &v) { return baudCodeForText(v) >= 0; } },
    { "output", &DataCtrlTexts::dataOutput,
        [](const QString &v) { return outputEnableForText(v) >= 0; } },
    { "city", &DataCtrlTexts::refCity,
        [](const QString &v) {
            float field = 0;
            return magFieldForCity(v, field);
        } },
};

// What the module must read back: every field the host interprets.
bool sameSettings(
    const QByteArray &written, float writtenField, const QByteArray &read, float readField)
{
    if (read.size() < dataCtrlRecordLength)
        return false;
    for (int byte : { OdrCodeByte, AhrsModeByte, BaudCodeByte, OutputEnableByte }) {
        if (written.at(byte) != read.at(byte))
            return false;
    }
    return writtenField == readField;
}

int runConfig(const QStringList &arguments, UnixSignals &unixSignals)
{
    CommandLine line("config",
        tr("config set KEY=VALUE...: writes the module's record with the keys changed, reads it "
           "back and prints it. Keys and values as 'zel-cli info' prints them: rate (10Hz, 25Hz, "
           "50Hz, 100Hz, 500Hz), mode (AHRS, IMU), baud (115200, 921600, 38400), output "
           "(Enabled, Disabled), city (Taipei, San Jose, Dallas, Shanghai, Shenzhen). A new baud "
           "rate moves this end of the link too."));
    line.parser.addPositionalArgument(QStringLiteral("set"), QString(), QStringLiteral("set"));
    line.parser.addPositionalArgument(
        QStringLiteral("KEY=VALUE"), tr("a setting to change"), QStringLiteral("KEY=VALUE..."));
    line.addLinkOptions(answerTimeoutMs, tr("wait MS for each answer"));
    line.addJsonOption();
    if (!line.parse(arguments))
        return line.exitCode;
    if (line.operands.value(0) != QLatin1String("set") || line.operands.size() < 2)
        return line.usageError(tr("say: config set KEY=VALUE..."));
    QList<QPair<const ConfigKey *, QString>> changes;
    for (const QString &operand : line.operands.mid(1)) {
        const QString key = operand.section(QLatin1Char('='), 0, 0);
        const QString value = operand.section(QLatin1Char('='), 1);
        const auto *known = std::find_if(std::begin(configKeys), std::end(configKeys),
            [&](const ConfigKey &entry) { return key == QLatin1String(entry.name); });
        if (!operand.contains(QLatin1Char('=')) || known == std::end(configKeys))
            return line.usageError(tr("unknown setting '%1'").arg(operand));
        if (!known->valid(value))
            return line.usageError(tr("%1 cannot be '%2'").arg(key, value));
        changes.append({ known, value });
    }

    Session session(unixSignals);
    if (const int code = readModule(session, line); code != ExitOk)
        return code;
    // As the window's Apply: the boxes show the record read, edited.
    DataCtrlTexts texts = decodeDataCtrl(session.dataCtrl, session.magField);
    for (const auto &[key, value] : changes)
        texts.*(key->text) = value;
    QByteArray record = session.dataCtrl;
    float magField = session.magField;
    encodeDataCtrl(texts, record, magField);
    const int recordsBefore = session.recordsReceived;
    session.task.setDataCtrl(record, magField);
    if (const int rate = hostBaudRate(quint8(record.at(BaudCodeByte))))
        session.task.setBaudRate(rate, false);
    if (!session.waitFor([&] { return session.recordsReceived > recordsBefore; }, line.timeoutMs))
        return failWait(session,
            tr("the module did not read its record back within %1 ms").arg(line.timeoutMs));
    writeOut(recordText(QString(), session.dataCtrl, session.magField, line.json));
    if (!sameSettings(record, magField, session.dataCtrl, session.magField))
        return fail(ExitFailed,
            tr("the module reads back %1 after the write of %2")
                .arg(QString::fromLatin1(session.dataCtrl.toHex()),
                    QString::fromLatin1(record.toHex())));
    return ExitOk;
}

// Runs the stream until --frames, --seconds or an interruption; the first
// frame must come within --timeout.
int streamUntilStopped(
    Session &session, const CommandLine &line, const qint64 &frames, QString *reason)
{
    QElapsedTimer clock;
    clock.start();
    if (!session.waitFor([&] { return frames > 0; }, line.timeoutMs)) {
        *reason = session.interrupted() ? session.interruptionReason()
                                        : tr("no sensor data within %1 ms").arg(line.timeoutMs);
        return session.interrupted() ? session.interruptionExitCode() : ExitFailed;
    }
    const int remainingMs
        = line.stopAfterMs < 0 ? -1 : int(std::max<qint64>(0, line.stopAfterMs - clock.elapsed()));
    const bool counted
        = session.waitFor([&] { return line.frames >= 0 && frames >= line.frames; }, remainingMs);
    if (!counted && session.interrupted()) {
        *reason = session.interruptionReason();
        return session.interruptionExitCode();
    }
    *reason
        = counted ? tr("%1 frames").arg(line.frames) : tr("%1 s").arg(line.stopAfterMs / 1000.0);
    return ExitOk;
}

int runStream(const QStringList &arguments, UnixSignals &unixSignals)
{
    CommandLine line("stream",
        tr("Writes the sensor stream to standard output as the data log's CSV rows, header "
           "first, until --frames, --seconds, Ctrl-C or SIGTERM, or the port is gone for good."));
    line.addLinkOptions(answerTimeoutMs, tr("wait MS for the first sensor frame"));
    line.addStopOptions();
    if (!line.parse(arguments))
        return line.exitCode;
    Session session(unixSignals);
    if (const int code = openSession(session, line); code != ExitOk)
        return code;
    writeOut(csvHeader());
    qint64 rows = 0;
    QObject::connect(
        &session.task, &Task::sendSamples, &session, [&](const SensorSamples &samples) {
            QByteArray text;
            for (const SensorSample &sample : samples) {
                if (line.frames >= 0 && rows == line.frames)
                    break;
                text += csvRow(sample);
                ++rows;
            }
            writeOut(text);
            emit session.changed();
        });
    QString reason;
    const int code = streamUntilStopped(session, line, rows, &reason);
    if (code != ExitOk)
        writeErr(QStringLiteral("zel-cli: stream ended: %1\n").arg(reason));
    return code;
}

int runRecord(const QStringList &arguments, UnixSignals &unixSignals)
{
    CommandLine line("record",
        tr("Records the sensor stream to FILE as the window's Start Saving Log does, through "
           "silences and a port that is back within 10 s, until --frames, --seconds, Ctrl-C or "
           "SIGTERM (the last row whole). Rows so far on standard error once a second on a "
           "terminal; the reason when it ends."));
    line.parser.addPositionalArgument(QStringLiteral("FILE"), tr("the CSV file to write"));
    line.addLinkOptions(answerTimeoutMs, tr("wait MS for the first sensor frame"));
    line.addStopOptions();
    if (!line.parse(arguments))
        return line.exitCode;
    if (line.operands.size() != 1)
        return line.usageError(tr("name one FILE to record to"));
    const QString fileName = line.operands.first();
    Session session(unixSignals);
    if (const int code = openSession(session, line); code != ExitOk)
        return code;
    if (QString error; !createDataLog(fileName, &error))
        return fail(ExitUsage, tr("cannot create %1: %2").arg(fileName, error));
    session.task.startSaveLog(fileName);

    // The worker writes a frame's row after the frame's own signals: at the
    // frame after the last one wanted, every wanted row is written, and the
    // recording stops before that frame's row.
    qint64 rows = 0;
    QObject::connect(&session.task, &Task::sendEul, &session, [&] {
        if (line.frames >= 0 && rows == line.frames)
            session.task.stopSaveLog();
        else
            ++rows;
        emit session.changed();
    });
    QTimer progress;
    if (stderrIsTerminal()) {
        QObject::connect(
            &progress, &QTimer::timeout, &session, [&] { writeErr(tr("\r%1 rows").arg(rows)); });
        progress.start(1000);
    }
    QString reason;
    const int code = streamUntilStopped(session, line, rows, &reason);
    session.task.stopSaveLog();
    writeErr(tr("%1%2 rows recorded to %3: %4\n")
                 .arg(stderrIsTerminal() ? QStringLiteral("\r\033[K") : QString())
                 .arg(rows)
                 .arg(fileName, reason));
    return code;
}

int runMaintenance(const QStringList &arguments, UnixSignals &unixSignals,
    MaintenanceCommand command, const char *name, const QString &description)
{
    const bool calibrate = command == MaintenanceCommand::Calibrate;
    CommandLine line(name, description);
    line.addLinkOptions(calibrate ? calibrationTimeoutMs : answerTimeoutMs,
        calibrate ? tr("wait MS for the calibration to end") : tr("wait MS for each answer"));
    if (!line.parse(arguments))
        return line.exitCode;
    Session session(unixSignals);
    if (const int code = readModule(session, line); code != ExitOk)
        return code;
    const int recordsBefore = session.recordsReceived;
    switch (command) {
    case MaintenanceCommand::Reset:
        session.task.resetDevice();
        // The worker reads the record again: the module's defaults.
        if (!session.waitFor(
                [&] { return session.recordsReceived > recordsBefore; }, line.timeoutMs))
            return failWait(session, tr("the module did not answer after its reset"));
        writeOut(recordText(QString(), session.dataCtrl, session.magField, false));
        return ExitOk;
    case MaintenanceCommand::Reboot:
        session.task.rebootDevice();
        writeOut("reboot=sent\n");
        return ExitOk;
    case MaintenanceCommand::Identify:
        session.task.identifyDevice();
        writeOut("identify=sent\n");
        writeErr(tr("Status LED will blink in bright blue for 1 minute.\n"));
        return ExitOk;
    case MaintenanceCommand::Calibrate:
        break;
    }
    if (session.dataCtrl.at(AhrsModeByte) != 0)
        return fail(ExitFailed, tr("the magnetometer is calibrated in AHRS mode only"));
    // The calibration shows as poor quality; it is done once good frames
    // follow, as the window's notices judge it.
    bool started = false;
    int goodFrames = 0;
    QObject::connect(
        &session.task, &Task::sendSamples, &session, [&](const SensorSamples &samples) {
            for (const SensorSample &sample : samples) {
                const bool good = isGoodQuality(sample.qualityStatus);
                started = started || !good;
                goodFrames = good && started ? goodFrames + 1 : 0;
            }
            emit session.changed();
        });
    session.task.calibrateDevice();
    writeErr(tr("Rotate the device in 6 dimensions for 30 seconds.\n"));
    if (!session.waitFor([&] { return goodFrames > goodFramesAfterCalibration; }, line.timeoutMs))
        return failWait(session,
            tr("no good-quality frames followed the calibration within %1 ms").arg(line.timeoutMs));
    writeOut("calibration=done\n");
    writeErr(tr("Keep the device steady to calibrate gyroscope.\n"));
    return ExitOk;
}

int runReset(const QStringList &arguments, UnixSignals &unixSignals)
{
    return runMaintenance(arguments, unixSignals, MaintenanceCommand::Reset, "reset",
        tr("Resets the module to its defaults (115200 baud included) and prints the record it "
           "then reads back."));
}

int runReboot(const QStringList &arguments, UnixSignals &unixSignals)
{
    return runMaintenance(arguments, unixSignals, MaintenanceCommand::Reboot, "reboot",
        tr("Restarts the module; it does not answer."));
}

int runIdentify(const QStringList &arguments, UnixSignals &unixSignals)
{
    return runMaintenance(arguments, unixSignals, MaintenanceCommand::Identify, "identify",
        tr("Makes the module's status LED blink for a minute; it does not answer."));
}

int runCalibrate(const QStringList &arguments, UnixSignals &unixSignals)
{
    return runMaintenance(arguments, unixSignals, MaintenanceCommand::Calibrate, "calibrate",
        tr("Starts the magnetometer calibration (AHRS mode) and follows the stream's quality "
           "until good frames come: rotate the module meanwhile."));
}

// The update's log and progress on standard error: a bar on a terminal,
// a line per percent step otherwise.
class TerminalSink : public dfu::DfuProcedureSink
{
public:
    void appendLog(const QString &text) override
    {
        endBar();
        writeErr(text + QLatin1Char('\n'));
        portFailed = portFailed || text == QLatin1String("Open port failed!");
        lastLine = text;
    }
    void clearLog() override { }
    void setProgress(int value) override
    {
        shown = value;
        const int percent = value * 100 / dfu::progressFullScale;
        if (!stderrIsTerminal()) {
            if (percent != lastPercent)
                writeErr(QStringLiteral("%1%\n").arg(percent));
        } else {
            const int filled = percent / 5;
            writeErr(
                QStringLiteral("\r[%1%2] %3%")
                    .arg(QString(filled, QLatin1Char('#')), QString(20 - filled, QLatin1Char('-')))
                    .arg(percent));
            barShown = true;
        }
        lastPercent = percent;
    }
    int progress() const override { return shown; }
    void updateInterrupted() override { }
    void fileOpenFailed(const QString &) override { }
    void endBar()
    {
        if (std::exchange(barShown, false))
            writeErr(QStringLiteral("\n"));
    }

    bool portFailed = false;
    QString lastLine;

private:
    int shown = 0;
    int lastPercent = -1;
    bool barShown = false;
};

int runUpdate(const QStringList &arguments, UnixSignals &)
{
    CommandLine line("update",
        tr("Updates the module's firmware from FILE.bin at 921600 baud as the window does, "
           "refusing a file that cannot be sent before anything is sent. Progress on standard "
           "error; 'DFU Success.' or 'DFU Failed.' on standard output. Each answer is waited for "
           "500 ms at most. The first Ctrl-C only warns: a second one abandons the update."));
    line.parser.addPositionalArgument(QStringLiteral("FILE.bin"), tr("the firmware image"));
    line.defined << QStringLiteral("port");
    line.parser.addOption({ { "p", "port" },
        tr("the module's port (default: the one port marked as the module's)"), tr("NAME") });
    if (!line.parse(arguments))
        return line.exitCode;
    if (line.operands.size() != 1)
        return line.usageError(tr("name one firmware FILE.bin"));
    const QString fileName = line.operands.first();
    if (!QFileInfo::exists(fileName))
        return line.usageError(tr("%1 does not exist").arg(fileName));
    QString portName;
    if (const int code = resolvePort(line.port, &portName); code != ExitOk)
        return code;

    QSerialPort port;
    TerminalSink sink;
    UnixSignals::setBlockingNotice(
        "\nzel-cli: the firmware update is running; press Ctrl-C again to abandon it and leave "
        "the module without firmware.\n");
    const dfu::DfuOutcome outcome = dfu::runFirmwareUpdate(port, portName, fileName, sink);
    UnixSignals::setBlockingNotice(nullptr);
    sink.endBar();
    if (sink.portFailed)
        return fail(ExitNoPort, openFailureText(portName, port.error(), port.errorString()));
    if (outcome == dfu::DfuOutcome::NotStarted)
        return fail(ExitFailed, tr("the update did not start: %1").arg(sink.lastLine));
    const bool succeeded = outcome == dfu::DfuOutcome::Succeeded;
    writeOut(succeeded ? "DFU Success.\n" : "DFU Failed.\n");
    return succeeded ? ExitOk : ExitFailed;
}

} // namespace

const QList<Command> &commands()
{
    static const QList<Command> all = {
        { "ports", "list the serial ports, the module's marked *", runPorts },
        { "info", "print the firmware version and the configuration record", runInfo },
        { "config", "config set KEY=VALUE...: change the configuration record", runConfig },
        { "stream", "write the sensor stream to standard output as CSV", runStream },
        { "record", "record the sensor stream to a CSV file", runRecord },
        { "reset", "reset the module to its defaults", runReset },
        { "reboot", "restart the module", runReboot },
        { "identify", "blink the module's status LED", runIdentify },
        { "calibrate", "calibrate the magnetometer", runCalibrate },
        { "update", "update the module's firmware from a .bin file", runUpdate },
    };
    return all;
}

QString exitCodesText()
{
    return tr("Exit codes:\n"
              "  0    success\n"
              "  1    the module refused, did not answer in time, or a check failed\n"
              "  2    bad usage: unknown command or option, bad KEY=VALUE, missing file\n"
              "  3    the port cannot be opened (missing, busy, no permission), or not\n"
              "       exactly one port is marked as the module's\n"
              "  130  Ctrl-C (128 + the signal's number for SIGTERM and SIGHUP); a recording\n"
              "       ends on a whole row\n"
              "Every wait is bounded by --timeout (see each command's --help), except a\n"
              "stream or a recording without --frames or --seconds, which runs until stopped.");
}

} // namespace zel::cli
