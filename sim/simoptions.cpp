#include "simoptions.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace zel::sim {

namespace {

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

bool parseFirmware(const QString &text, ApplicationVersion *version)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 3)
        return false;
    // Each number travels in a nibble.
    int numbers[3];
    for (int i = 0; i < 3; ++i) {
        if (!parseInt(parts.at(i), 0, 15, &numbers[i]))
            return false;
    }
    *version = ApplicationVersion { numbers[0], numbers[1], numbers[2] };
    return true;
}

bool set(bool *setting, bool value = true)
{
    *setting = value;
    return true;
}

// The hello faults exclude each other; false when another one is set.
bool setHello(UpdateFaults *faults, UpdateFaults::Hello hello)
{
    if (faults->hello != UpdateFaults::Hello::Answer && faults->hello != hello)
        return false;
    faults->hello = hello;
    return true;
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "usage: zel-sim [options]\n"
        "Simulates the sensor module on a pseudo-terminal; prints the port path first.\n"
        "  --baud N                  start UART rate: 38400, 115200 or 921600 (115200)\n"
        "  --odr CODE                output data rate code 0..4 (2)\n"
        "  --mode ahrs|imu           fusion mode (ahrs)\n"
        "  --output on|off           data output (on)\n"
        "  --mag-field F             reference magnetic field in uT (45.55)\n"
        "  --fw-version X.Y.Z        firmware version, each number 0..15 (1.2.3)\n"
        "  --short-version           answer with the 4-byte version payload\n"
        "  --no-version-reply        never answer the version request\n"
        "  --poor-quality SEC        poor quality for the first SEC s of streaming (0, inf)\n"
        "  --calibration-time SEC    poor-quality period after a calibrate command (3)\n"
        "  --silence-after SEC[:DUR] stop all output after SEC s, for DUR s (for good)\n"
        "  --garbage-every N         garbage burst after every N-th sensor frame\n"
        "  --garbage-bytes M         bytes per garbage burst (37)\n"
        "  --hangup-after SEC        close the pseudo-terminal after SEC s\n"
        "  --link PATH               keep a symlink PATH to the port and print PATH\n"
        "  --reappear-after SEC      after a hang-up, open a new port SEC s later\n"
        "  --record FILE             append every sensor frame sent to FILE\n"
        "  --exit-after SEC          exit after SEC s\n"
        "  --seed N                  seed for noise and garbage (1)\n"
        "Firmware update: the update hello at 921600 baud switches to the update service\n"
        "until its reset restarts the application firmware.\n"
        "  --dfu-image FILE          write each image an update installs to FILE\n"
        "  --dfu-next-version X.Y.Z  version an update installs (next minor version)\n"
        "  --dfu-no-hello            leave the hello unanswered\n"
        "  --dfu-wrong-hello         answer the hello with a response of type 5\n"
        "  --dfu-short-hello         answer the hello with 64 bytes\n"
        "  --dfu-refuse-descriptor   refuse the OTA descriptor\n"
        "  --dfu-refuse-update       refuse the update command\n"
        "  --dfu-refuse-chunk K      refuse data chunk K, counted from 0\n"
        "  --dfu-stop-after-chunk K  answer nothing after data chunk K\n"
        "  --dfu-long-gap N          50 ms of silence inside the answer to message N (0: hello)\n"
        "  --dfu-split-answers       send every answer in pieces with short silences\n"
        "Standard input: ble | silence SEC | garbage N | hangup | quit\n");
}

ParseResult parseSimOptions(const QStringList &arguments, SimOptions *options, QString *error)
{
    SimOptions parsed;
    ModuleOptions &module = parsed.module;
    const auto fail = [error](const QString &message) {
        *error = message;
        return ParseResult::Error;
    };

    for (int i = 0; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        QString value;
        bool hasInlineValue = false;
        const int equals = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && equals > 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
            hasInlineValue = true;
        }

        // Fetches the option's value, from "--name=value" or the next word.
        const auto takeValue = [&]() {
            if (hasInlineValue)
                return true;
            if (i + 1 >= arguments.size())
                return false;
            value = arguments.at(++i);
            return true;
        };
        const auto invalid
            = [&]() { return fail(QStringLiteral("invalid value for %1: '%2'").arg(name, value)); };

        if (name == QLatin1String("--help") || name == QLatin1String("-h"))
            return ParseResult::Help;

        using Hello = UpdateFaults::Hello;
        UpdateFaults &faults = parsed.update.faults;
        // Options that take no value, and what each one sets.
        const std::pair<QLatin1String, std::function<bool()>> flags[] = {
            { QLatin1String("--short-version"), [&] { return set(&module.shortVersionReply); } },
            { QLatin1String("--no-version-reply"),
                [&] { return set(&module.answerVersionRequest, false); } },
            { QLatin1String("--dfu-no-hello"), [&] { return setHello(&faults, Hello::Silent); } },
            { QLatin1String("--dfu-wrong-hello"),
                [&] { return setHello(&faults, Hello::WrongType); } },
            { QLatin1String("--dfu-short-hello"),
                [&] { return setHello(&faults, Hello::WrongLength); } },
            { QLatin1String("--dfu-refuse-descriptor"),
                [&] { return set(&faults.refuseDescriptor); } },
            { QLatin1String("--dfu-refuse-update"),
                [&] { return set(&faults.refuseUpdateCommand); } },
            { QLatin1String("--dfu-split-answers"), [&] { return set(&faults.splitAnswers); } },
        };
        const auto flag = std::find_if(std::begin(flags), std::end(flags),
            [&](const auto &entry) { return name == entry.first; });
        if (flag != std::end(flags)) {
            if (hasInlineValue)
                return fail(QStringLiteral("%1 takes no value").arg(name));
            if (!flag->second())
                return fail(QStringLiteral("only one of --dfu-no-hello, --dfu-wrong-hello and "
                                           "--dfu-short-hello can be given"));
            continue;
        }

        static const QStringList valued = {
            QStringLiteral("--baud"),
            QStringLiteral("--odr"),
            QStringLiteral("--mode"),
            QStringLiteral("--output"),
            QStringLiteral("--mag-field"),
            QStringLiteral("--fw-version"),
            QStringLiteral("--poor-quality"),
            QStringLiteral("--calibration-time"),
            QStringLiteral("--silence-after"),
            QStringLiteral("--garbage-every"),
            QStringLiteral("--garbage-bytes"),
            QStringLiteral("--hangup-after"),
            QStringLiteral("--link"),
            QStringLiteral("--reappear-after"),
            QStringLiteral("--record"),
            QStringLiteral("--exit-after"),
            QStringLiteral("--seed"),
            QStringLiteral("--dfu-image"),
            QStringLiteral("--dfu-next-version"),
            QStringLiteral("--dfu-refuse-chunk"),
            QStringLiteral("--dfu-stop-after-chunk"),
            QStringLiteral("--dfu-long-gap"),
        };
        if (!valued.contains(name))
            return fail(QStringLiteral("unknown argument '%1'").arg(arguments.at(i)));
        if (!takeValue())
            return fail(QStringLiteral("%1 needs a value").arg(name));

        if (name == QLatin1String("--baud")) {
            bool ok = false;
            module.baud = value.toInt(&ok);
            if (!ok || codeForBaud(module.baud) < 0)
                return invalid();
        } else if (name == QLatin1String("--odr")) {
            if (!parseInt(value, 0, 4, &module.odrCode))
                return invalid();
        } else if (name == QLatin1String("--mode")) {
            if (value != QLatin1String("ahrs") && value != QLatin1String("imu"))
                return invalid();
            module.imuMode = value == QLatin1String("imu");
        } else if (name == QLatin1String("--output")) {
            if (value != QLatin1String("on") && value != QLatin1String("off"))
                return invalid();
            module.outputEnabled = value == QLatin1String("on");
        } else if (name == QLatin1String("--mag-field")) {
            bool ok = false;
            module.magField = value.toFloat(&ok);
            if (!ok || !std::isfinite(module.magField))
                return invalid();
        } else if (name == QLatin1String("--fw-version")) {
            if (!parseFirmware(value, &module.firmware))
                return invalid();
        } else if (name == QLatin1String("--poor-quality")) {
            if (!parseSeconds(value, true, &module.poorQualitySeconds))
                return invalid();
        } else if (name == QLatin1String("--calibration-time")) {
            if (!parseSeconds(value, false, &module.calibrationSeconds))
                return invalid();
        } else if (name == QLatin1String("--silence-after")) {
            const int colon = value.indexOf(QLatin1Char(':'));
            const QString start = colon < 0 ? value : value.left(colon);
            if (!parseSeconds(start, false, &module.silenceAfterSeconds))
                return invalid();
            module.silenceForSeconds = std::numeric_limits<double>::infinity();
            if (colon >= 0 && !parseSeconds(value.mid(colon + 1), true, &module.silenceForSeconds))
                return invalid();
        } else if (name == QLatin1String("--garbage-every")) {
            if (!parseInt(value, 0, std::numeric_limits<int>::max(), &module.garbageEvery))
                return invalid();
        } else if (name == QLatin1String("--garbage-bytes")) {
            if (!parseInt(value, 0, 1 << 20, &module.garbageBytes))
                return invalid();
        } else if (name == QLatin1String("--hangup-after")) {
            if (!parseSeconds(value, false, &parsed.hangupAfterSeconds))
                return invalid();
        } else if (name == QLatin1String("--link")) {
            if (value.isEmpty())
                return invalid();
            parsed.linkPath = value;
        } else if (name == QLatin1String("--reappear-after")) {
            if (!parseSeconds(value, false, &parsed.reappearAfterSeconds))
                return invalid();
        } else if (name == QLatin1String("--record")) {
            if (value.isEmpty())
                return invalid();
            parsed.recordPath = value;
        } else if (name == QLatin1String("--exit-after")) {
            if (!parseSeconds(value, false, &parsed.exitAfterSeconds))
                return invalid();
        } else if (name == QLatin1String("--seed")) {
            bool ok = false;
            module.seed = value.toULongLong(&ok);
            if (!ok)
                return invalid();
        } else if (name == QLatin1String("--dfu-image")) {
            if (value.isEmpty())
                return invalid();
            parsed.dfuImagePath = value;
        } else if (name == QLatin1String("--dfu-next-version")) {
            if (!parseFirmware(value, &parsed.update.nextFirmware))
                return invalid();
            parsed.update.hasNextFirmware = true;
        } else if (name == QLatin1String("--dfu-refuse-chunk")) {
            if (!parseInt(value, 0, std::numeric_limits<int>::max(), &faults.refuseChunk))
                return invalid();
        } else if (name == QLatin1String("--dfu-stop-after-chunk")) {
            if (!parseInt(
                    value, 0, std::numeric_limits<int>::max(), &faults.stopAnsweringAfterChunk))
                return invalid();
        } else if (name == QLatin1String("--dfu-long-gap")) {
            if (!parseInt(value, 0, std::numeric_limits<int>::max(), &faults.longGapInAnswer))
                return invalid();
        }
    }
    *options = parsed;
    return ParseResult::Run;
}

} // namespace zel::sim
