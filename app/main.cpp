#include "mainwindows.h"
#include "remembered.h"
#include "zelversion.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstring>

namespace {

void describeCommandLine(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Watch, record and configure the ZEL nine-axis orientation sensor on a serial port.\n"
        "ZEL_EXTRA_PORTS adds ports to the port lists: entries separated by ';', each a path\n"
        "optionally followed by '=' and a description."));
    parser.addHelpOption();
    parser.addVersionOption();
}

// Help and the version are answered on the terminal: they must work where no
// display is at hand, as in a package check or over ssh.
bool asksOnlyForText(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : { "-h", "--help", "-?", "--help-all", "-v", "--version" }) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCommandLineParser parser;
    describeCommandLine(parser);

    if (asksOnlyForText(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(ZEL_VERSION));
        parser.process(app);
        return 0;
    }

    // QApplication takes Qt's own options (-platform, -session, ...) out of
    // the arguments first; whatever is left is not for the window.
    QApplication app(argc, argv);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        QTextStream(stderr) << QStringLiteral("zel-tool: unexpected argument '%1'\n")
                                   .arg(parser.positionalArguments().constFirst())
                            << parser.helpText();
        return 1;
    }
    setUpApplication();
    QApplication::setApplicationVersion(QStringLiteral(ZEL_VERSION));
    MainView window;
    window.show();
    return app.exec();
}
