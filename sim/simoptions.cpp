#include "simoptions.h"

#include <QCommandLineParser>

#include <cmath>
#include <limits>

namespace zel::sim {

namespace {

constexpr int anyCount = std::numeric_limits<int>::max();

bool parseSeconds(const QString &text, bool allowInfinite, double *seconds)
{
    if (allowInfinite && text == QLatin1String("inf")) {
        *seconds = std::numeric_limits<double>::infinity();
        return true;
    }
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0)
        return false;
    *seconds = value;
    return true;
}

bool parseInt(const QString &text, int low, int high, int *value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok);
    if (!ok || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

bool parseFirmware(const QString &text, FirmwareVersion *version)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    // Each number travels in a nibble.
    return parts.size() == 3 && parseInt(parts[0], 0, 15, &version->major)
        && parseInt(parts[1], 0, 15, &version->minor) && parseInt(parts[2], 0, 15, &version->patch);
}

bool parsePath(const QString &text, QString *path)
{
    *path = text;
    return !text.isEmpty();
}

// One of two words; `first` tells whether it was the first.
bool parseChoice(const QString &text, const char *firstWord, const char *secondWord, bool *first)
{
    *first = text == QLatin1String(firstWord);
    return *first || text == QLatin1String(secondWord);
}

bool set(bool *setting, bool value = true)
{
    *setting = value;
    return true;
}

// The hello faults exclude each other; false when another one is set.
bool setHello(UpdateFaults &faults, UpdateFaults::Hello hello)
{
    if (faults.hello != UpdateFaults::Hello::Answer && faults.hello != hello)
        return false;
    faults.hello = hello;
    return true;
}

// One option of the command line, with its line of the help and what it
// sets.
struct OptionRow
{
    const char *name; // without its dashes
    const char *valueName; // null for an option that takes no value
    const char *description;
    // Takes the value (empty for an option without one) into the options;
    // false when it is not valid.
    bool (*apply)(const QString &v, SimOptions &o);
};

using Hello = UpdateFaults::Hello;

const OptionRow optionTable[] = {
    { "baud", "N", "start UART rate: 38400, 115200 or 921600 (115200)",
        [](auto &v, auto &o) {
            return parseInt(v, 0, anyCount, &o.module.baud) && codeForBaud(o.module.baud) >= 0;
        } },
    { "odr", "CODE", "output data rate code 0..4 (2)",
        [](auto &v, auto &o) { return parseInt(v, 0, 4, &o.module.odrCode); } },
    { "mode", "ahrs|imu", "fusion mode (ahrs)",
        [](auto &v, auto &o) { return parseChoice(v, "imu", "ahrs", &o.module.imuMode); } },
    { "output", "on|off", "data output (on)",
        [](auto &v, auto &o) { return parseChoice(v, "on", "off", &o.module.outputEnabled); } },
    { "mag-field", "F", "reference magnetic field in uT (45.55)",
        [](auto &v, auto &o) {
            bool ok = false;
            o.module.magField = v.toFloat(&ok);
            return ok && std::isfinite(o.module.magField);
        } },
    { "fw-version", "X.Y.Z", "firmware version, each number 0..15 (1.2.3)",
        [](auto &v, auto &o) { return parseFirmware(v, &o.module.firmware); } },
    { "short-version", nullptr, "answer with the 4-byte version payload",
        [](auto &, auto &o) { return set(&o.module.shortVersionReply); } },
    { "no-version-reply", nullptr, "never answer the version request",
        [](auto &, auto &o) { return set(&o.module.answerVersionRequest, false); } },
    { "poor-quality", "SEC", "poor quality for the first SEC s of streaming (0, inf)",
        [](auto &v, auto &o) { return parseSeconds(v, true, &o.module.poorQualitySeconds); } },
    { "calibration-time", "SEC", "poor-quality period after a calibrate command (3)",
        [](auto &v, auto &o) { return parseSeconds(v, false, &o.module.calibrationSeconds); } },
    { "silence-after", "SEC[:DUR]", "stop all output after SEC s, for DUR s (for good)",
        [](auto &v, auto &o) {
            const int colon = v.indexOf(QLatin1Char(':'));
            o.module.silenceForSeconds = std::numeric_limits<double>::infinity();
            return parseSeconds(v.left(colon), false, &o.module.silenceAfterSeconds)
                && (colon < 0 || parseSeconds(v.mid(colon + 1), true, &o.module.silenceForSeconds));
        } },
    { "garbage-every", "N", "garbage burst after every N-th sensor frame",
        [](auto &v, auto &o) { return parseInt(v, 0, anyCount, &o.module.garbageEvery); } },
    { "garbage-bytes", "M", "bytes per garbage burst (37)",
        [](auto &v, auto &o) { return parseInt(v, 0, 1 << 20, &o.module.garbageBytes); } },
    { "hangup-after", "SEC", "close the pseudo-terminal after SEC s",
        [](auto &v, auto &o) { return parseSeconds(v, false, &o.server.hangupAfterSeconds); } },
    { "link", "PATH", "keep a symlink PATH to the port and print PATH",
        [](auto &v, auto &o) { return parsePath(v, &o.server.linkPath); } },
    { "reappear-after", "SEC", "after a hang-up, open a new port SEC s later",
        [](auto &v, auto &o) { return parseSeconds(v, false, &o.server.reappearAfterSeconds); } },
    { "record", "FILE", "append every sensor frame sent to FILE",
        [](auto &v, auto &o) { return parsePath(v, &o.server.recordPath); } },
    { "replay", "FILE.csv", "send a data log the tool recorded, then stop output",
        [](auto &v, auto &o) { return parsePath(v, &o.replayPath); } },
    { "replay-rate", "HZ", "replay HZ rows a second (as timestamped)",
        [](auto &v, auto &o) {
            bool ok = false;
            o.replayRateHz = v.toDouble(&ok);
            return ok && std::isfinite(o.replayRateHz) && o.replayRateHz > 0;
        } },
    { "loop", nullptr, "replay the log over and over",
        [](auto &, auto &o) { return set(&o.module.replayLoop); } },
    { "exit-after", "SEC", "exit after SEC s",
        [](auto &v, auto &o) { return parseSeconds(v, false, &o.server.exitAfterSeconds); } },
    { "seed", "N", "seed for noise and garbage (1)",
        [](auto &v, auto &o) {
            bool ok = false;
            o.module.seed = v.toULongLong(&ok);
            return ok;
        } },
    { "dfu-image", "FILE", "write each image an update installs to FILE",
        [](auto &v, auto &o) { return parsePath(v, &o.server.dfuImagePath); } },
    { "dfu-next-version", "X.Y.Z", "version an update installs (next minor version)",
        [](auto &v, auto &o) {
            return set(&o.update.hasNextFirmware) && parseFirmware(v, &o.update.nextFirmware);
        } },
    { "dfu-no-hello", nullptr, "leave the hello unanswered",
        [](auto &, auto &o) { return setHello(o.update.faults, Hello::Silent); } },
    { "dfu-wrong-hello", nullptr, "answer the hello with a response of type 5",
        [](auto &, auto &o) { return setHello(o.update.faults, Hello::WrongType); } },
    { "dfu-short-hello", nullptr, "answer the hello with 64 bytes",
        [](auto &, auto &o) { return setHello(o.update.faults, Hello::WrongLength); } },
    { "dfu-ignore-hello", nullptr, "never enter the update service: keep streaming",
        [](auto &, auto &o) { return setHello(o.update.faults, Hello::Ignored); } },
    { "dfu-refuse-descriptor", nullptr, "refuse the OTA descriptor",
        [](auto &, auto &o) { return set(&o.update.faults.refuseDescriptor); } },
    { "dfu-refuse-update", nullptr, "refuse the update command",
        [](auto &, auto &o) { return set(&o.update.faults.refuseUpdateCommand); } },
    { "dfu-refuse-chunk", "K", "refuse data chunk K, counted from 0",
        [](auto &v, auto &o) { return parseInt(v, 0, anyCount, &o.update.faults.refuseChunk); } },
    { "dfu-stop-after-chunk", "K", "answer nothing after data chunk K",
        [](auto &v, auto &o) {
            return parseInt(v, 0, anyCount, &o.update.faults.stopAnsweringAfterChunk);
        } },
    { "dfu-long-gap", "N", "50 ms of silence inside the answer to message N (0: hello)",
        [](auto &v, auto &o) {
            return parseInt(v, 0, anyCount, &o.update.faults.longGapInAnswer);
        } },
    { "dfu-split-answers", nullptr, "send every answer in pieces with short silences",
        [](auto &, auto &o) { return set(&o.update.faults.splitAnswers); } },
};

const OptionRow *optionRowNamed(const QString &name)
{
    for (const OptionRow &row : optionTable) {
        if (name == QLatin1String(row.name))
            return &row;
    }
    return nullptr;
}

} // namespace

ParseResult parseSimOptions(
    const QStringList &arguments, SimOptions *options, QString *error, QString *help)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates the sensor module on a pseudo-terminal; prints the port path first.\n"
        "Standard input: ble | silence SEC | garbage N | hangup | quit\n"
        "Firmware update: the update hello at 921600 baud switches to the update service\n"
        "until its reset restarts the application firmware."));
    parser.addHelpOption();
    for (const OptionRow &row : optionTable) {
        parser.addOption(QCommandLineOption(QLatin1String(row.name), QLatin1String(row.description),
            QLatin1String(row.valueName ? row.valueName : "")));
    }
    const bool wellFormed = parser.parse(QStringList(QStringLiteral("zel-sim")) + arguments);
    *help = parser.helpText();

    // Only the help options are not in the table.
    for (const QString &name : parser.optionNames()) {
        if (!optionRowNamed(name))
            return ParseResult::Help;
    }
    if (!wellFormed) {
        *error = parser.errorText();
        return ParseResult::Error;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unknown argument '%1'").arg(parser.positionalArguments().first());
        return ParseResult::Error;
    }
    // Each occurrence in the order given, so that the first invalid value is
    // the one reported and a repeated option keeps its last value.
    SimOptions parsed;
    QHash<QString, int> occurrences;
    for (const QString &name : parser.optionNames()) {
        const OptionRow &row = *optionRowNamed(name);
        const QString value = parser.values(name).value(occurrences[name]++);
        if (row.apply(value, parsed))
            continue;
        *error = row.valueName
            ? QStringLiteral("invalid value for --%1: '%2'").arg(name, value)
            : QStringLiteral("only one of --dfu-no-hello, --dfu-wrong-hello, "
                             "--dfu-short-hello and --dfu-ignore-hello can be given");
        return ParseResult::Error;
    }
    *options = parsed;
    return ParseResult::Run;
}

} // namespace zel::sim
