// zel-cli: the sensor module from scripts, on the same device link, record
// codec and update procedure as the window.

#include "commands.h"
#include "terminal.h"
#include "zelversion.h"

#include <QCoreApplication>
#include <QLoggingCategory>

using namespace zel::cli;

namespace {

QString usageText()
{
    QString text = QStringLiteral(
        "Usage: zel-cli COMMAND [options]\n       zel-cli --version\n\n"
        "The sensor module from scripts: results on standard output, progress and messages on\n"
        "standard error. Without --port, the port marked as the module's (see 'zel-cli ports').\n\n"
        "Commands:\n");
    for (const Command &command : commands())
        text += QStringLiteral("  %1%2\n")
                    .arg(QLatin1String(command.name), -11)
                    .arg(QLatin1String(command.summary));
    return text
        + QStringLiteral("\nRun 'zel-cli COMMAND --help' for a command's options.\n"
                         "QT_LOGGING_RULES=default.debug=true shows the link's diagnostics.\n\n")
        + exitCodesText() + QLatin1Char('\n');
}

// The port and the rate are common to the commands and may come before the
// command's name too (zel-cli --port /dev/ttyUSB0 info): they move behind it.
QStringList commandFirst(QStringList arguments)
{
    int at = 1;
    while (at < arguments.size()) {
        const QString &argument = arguments.at(at);
        const bool withValue = QStringList { "--port", "-p", "--baud", "-b" }.contains(argument);
        if (withValue && at + 1 < arguments.size())
            at += 2;
        else if (argument.startsWith(QLatin1String("--port="))
            || argument.startsWith(QLatin1String("--baud=")))
            at += 1;
        else
            break;
    }
    if (at == 1 || at >= arguments.size())
        return arguments;
    const QStringList common = arguments.mid(1, at - 1);
    return QStringList { arguments.first(), arguments.at(at) } + common + arguments.mid(at + 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zel-cli"));
    // The worker's debug and info lines are diagnostics, not output; the
    // environment's logging rules still win.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\ndefault.info=false"));
    UnixSignals unixSignals;

    const QStringList arguments = commandFirst(QCoreApplication::arguments());
    const QString name = arguments.value(1);
    if (name == QLatin1String("--help") || name == QLatin1String("-h")
        || name == QLatin1String("help")) {
        writeOut(usageText().toLocal8Bit());
        return ExitOk;
    }
    if (name == QLatin1String("--version") || name == QLatin1String("-v")) {
        writeOut("zel-cli " ZEL_VERSION "\n");
        return ExitOk;
    }
    for (const Command &command : commands()) {
        if (name == QLatin1String(command.name))
            return command.run(arguments, unixSignals);
    }
    writeErr((name.isEmpty() ? QStringLiteral("zel-cli: no command given\n\n")
                             : QStringLiteral("zel-cli: unknown command '%1'\n\n").arg(name))
        + usageText());
    return ExitUsage;
}
