// Runs the tool's main window by itself for the demo on a machine without a
// display: presses Connect in the connection dialog, opens every graph
// window, tiles the windows and, after a while, saves a screenshot.
//   zel-demo <screenshot.png> [seconds]

#include "mainwindows.h"
#include "remembered.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

namespace {

QAction *findAction(MainView &window, const QString &text)
{
    const auto actions = window.findChildren<QAction *>();
    for (QAction *action : actions) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

void tileGraphWindows(MainView &window)
{
    window.setGeometry(0, 0, 960, 520);
    const QStringList chartOrder { QStringLiteral("Accelerometer Data"),
        QStringLiteral("Magnetometer Data"), QStringLiteral("Gyroscope Data"),
        QStringLiteral("Euler Angle Data") };
    const QList<QWidget *> tops = QApplication::topLevelWidgets();
    for (QWidget *w : tops) {
        if (!w->isVisible() || w == &window)
            continue;
        if (w->inherits("CubeView")) {
            w->setGeometry(970, 0, 500, 520);
        } else if (w->inherits("ChartView")) {
            const int slot = qMax(0, chartOrder.indexOf(w->windowTitle()));
            w->setGeometry(slot * 480, 560, 470, 500);
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication();
    QTextStream out(stdout);
    QTextStream err(stderr);

    const QStringList args = app.arguments();
    if (args.size() < 2) {
        err << "usage: zel-demo <screenshot.png> [seconds]\n";
        return 2;
    }
    const QString screenshot = args[1];
    const int seconds = args.size() > 2 ? qMax(1, args[2].toInt()) : 5;

    // The demo starts from the defaults and leaves the user's settings alone.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    MainView window;
    window.show();

    QTimer::singleShot(500, &window, [&] {
        auto *connectButton = window.findChild<QPushButton *>(QStringLiteral("pushButton_2"));
        if (connectButton)
            connectButton->click();
    });

    // Once the module has answered, open every graph and wait a while for
    // the stream to fill them.
    QElapsedTimer sinceStart;
    sinceStart.start();
    QTimer poll;
    bool graphsOpen = false;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        QAction *allGraphs = findAction(window, QStringLiteral("&Open/Close All Graphs"));
        if (!graphsOpen && allGraphs && allGraphs->isEnabled()) {
            allGraphs->trigger();
            tileGraphWindows(window);
            graphsOpen = true;
            QTimer::singleShot(seconds * 1000, &window, [&] {
                const QPixmap shot = QApplication::primaryScreen()->grabWindow(0);
                if (shot.save(screenshot, "PNG")) {
                    out << screenshot << "\n";
                } else {
                    err << "could not save the screenshot to " << screenshot << "\n";
                }
                out.flush();
                window.close();
            });
        } else if (!graphsOpen && sinceStart.elapsed() > 20000) {
            err << "the module did not answer; is the simulator running?\n";
            const QPixmap shot = QApplication::primaryScreen()->grabWindow(0);
            shot.save(screenshot, "PNG");
            window.close();
            QCoreApplication::exit(1);
        }
    });
    poll.start(100);

    return app.exec();
}
