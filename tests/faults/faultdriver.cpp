// The tool's program with a user's steps scripted into it, for the faults
// that only the program's own end can show: the main window closed while a
// firmware update blocks the GUI thread, and while recording the fastest
// stream. It prints one line per step on standard output and returns what
// the event loop returned, as the tool's main does.
//
//   zel-fault-driver close-during-update <port> <firmware.bin>
//   zel-fault-driver close-while-recording <port> <log.csv>
//
// The module's port must be listed (ZEL_EXTRA_PORTS) and marked as the
// module's, so that both port lists preselect it.

#include "dfuview.h"
#include "mainwindows.h"
#include "task.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <QWindow>

#include <functional>

namespace {

QTextStream out(stdout);

void report(const QString &line)
{
    out << line << '\n';
    out.flush();
}

QAction *findAction(const MainView &window, const QString &text)
{
    const auto actions = window.findChildren<QAction *>();
    for (QAction *action : actions) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Closes the window the way the window manager's close button does: a
// close event to its native window, handled when the GUI thread next
// turns its event loop.
bool closePosted = false;

void closeAsUser(QWidget &window)
{
    if (closePosted)
        return;
    closePosted = true;
    QCoreApplication::postEvent(window.windowHandle(), new QCloseEvent);
    report(QStringLiteral("close-posted"));
}

// The steps of one scenario, each tried on every turn of a short timer
// until it is done. Dialogs opened by a step run their own event loop
// inside it and are answered from a timer of their own.
class Script : public QObject
{
public:
    using Step = std::function<bool()>;

    explicit Script(QList<Step> scriptSteps)
        : steps(std::move(scriptSteps))
    {
        connect(&timer, &QTimer::timeout, this, &Script::turn);
        timer.start(20);
    }

    // Answers the next modal dialog with `answer`. Its own timer: a timer
    // does not fire again while its handler runs, and the dialog runs its
    // event loop inside the step's handler.
    void answerNextModal(std::function<void(QWidget *)> answer)
    {
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, answer] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible())
                return;
            poll->stop();
            poll->deleteLater();
            answer(modal);
        });
        poll->start(20);
    }

private:
    void turn()
    {
        if (next >= steps.size())
            return;
        if (steps.at(next)())
            ++next;
    }

    QList<Step> steps;
    int next = 0;
    QTimer timer;
};

// Types the path into a file dialog's name field and accepts, as a user
// does. Selecting the file instead depends on the dialog having read its
// folder, and on its name field not having the focus.
void chooseInFileDialog(QWidget *modal, const QString &path)
{
    auto *dialog = qobject_cast<QFileDialog *>(modal);
    auto *name = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
    if (!name) {
        report(QStringLiteral("expected a file dialog, got ") + modal->metaObject()->className());
        modal->close();
        return;
    }
    name->setText(path);
    report(QStringLiteral("file chosen"));
    static_cast<QDialog *>(dialog)->accept();
}

bool pressConnect(MainView &window, const QString &baudRate)
{
    auto *baudBox = window.findChild<QComboBox *>(QStringLiteral("comboBox_2"));
    auto *connectButton = window.findChild<QPushButton *>(QStringLiteral("pushButton_2"));
    if (!baudBox || !connectButton)
        return false;
    baudBox->setCurrentText(baudRate);
    connectButton->click();
    return true;
}

bool isConnected(const MainView &window)
{
    QAction *identify = findAction(window, QStringLiteral("Identify The Device"));
    return identify && identify->isEnabled();
}

QList<Script::Step> closeDuringUpdate(MainView &window, Script *&script, const QString &firmware)
{
    auto *dfu = window.findChild<DfuView *>();
    return {
        [&window] { return pressConnect(window, QStringLiteral("115200")); },
        [&window] {
            if (!isConnected(window))
                return false;
            report(QStringLiteral("connected"));
            return true;
        },
        [&window, &script] {
            script->answerNextModal([](QWidget *modal) {
                auto *box = qobject_cast<QMessageBox *>(modal);
                if (box && box->button(QMessageBox::Yes))
                    box->button(QMessageBox::Yes)->click();
                else
                    modal->close();
            });
            findAction(window, QStringLiteral("&Device Firmware Update"))->trigger();
            return true;
        },
        // The worker has let go of the port once the tool says "Not Connected".
        [&window] { return findAction(window, QStringLiteral("&Connect"))->isVisible(); },
        [dfu, &script, firmware] {
            script->answerNextModal(
                [firmware](QWidget *modal) { chooseInFileDialog(modal, firmware); });
            dfu->findChild<QPushButton *>(QStringLiteral("pushButton_"))->click();
            return true;
        },
        [&window, dfu] {
            // The user closes the main window while the image is going out.
            auto *progress = dfu->findChild<QProgressBar *>(QStringLiteral("progressBar"));
            QObject::connect(progress, &QProgressBar::valueChanged, &window, [&window](int value) {
                if (value > 0)
                    closeAsUser(window);
            });
            QObject::connect(dfu, &DfuView::sendDfuSuccess, dfu,
                [] { report(QStringLiteral("outcome success")); });
            QObject::connect(dfu, &DfuView::sendDfuFailed, dfu,
                [] { report(QStringLiteral("outcome failed")); });
            report(QStringLiteral("update-started"));
            dfu->findChild<QPushButton *>(QStringLiteral("pushButton_1"))->click();
            report(QStringLiteral("update-returned"));
            // An update that never got as far as the image leaves nobody to
            // close the window: close it now, so the test fails on the
            // missing outcome instead of waiting for its time limit.
            closeAsUser(window);
            return true;
        },
    };
}

QList<Script::Step> closeWhileRecording(
    MainView &window, Script *&script, const QString &log, const int &samples)
{
    return {
        [&window] { return pressConnect(window, QStringLiteral("921600")); },
        [&window] {
            if (!isConnected(window))
                return false;
            report(QStringLiteral("connected"));
            return true;
        },
        [&window, &script, log] {
            script->answerNextModal([log](QWidget *modal) { chooseInFileDialog(modal, log); });
            findAction(window, QStringLiteral("&Start Saving Log"))->trigger();
            return true;
        },
        [&window, &samples] {
            if (!findAction(window, QStringLiteral("&Stop Saving Log"))->isVisible()) {
                report(QStringLiteral("recording did not start"));
                QCoreApplication::exit(3);
                return true;
            }
            if (samples < 1000)
                return false;
            report(QStringLiteral("recording %1").arg(samples));
            closeAsUser(window);
            return true;
        },
    };
}

} // namespace

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvix ZEL PC Tool"));
    QApplication::setOrganizationName(QStringLiteral("Orvix"));

    const QStringList args = app.arguments();
    if (args.size() != 4) {
        QTextStream(stderr) << "usage: zel-fault-driver close-during-update|close-while-recording"
                               " <port> <file>\n";
        return 2;
    }
    const QString scenario = args.at(1);
    const QString file = args.at(3);

    MainView window;
    window.show();
    auto *portBox = window.findChild<QComboBox *>(QStringLiteral("comboBox"));
    if (!portBox || !portBox->currentText().startsWith(args.at(2))) {
        report(QStringLiteral("the module's port is not preselected"));
        return 2;
    }
    int samples = 0;
    QObject::connect(window.deviceWorker(), &Task::sendAcc, &window, [&samples] { ++samples; });

    Script *script = nullptr;
    if (scenario == QLatin1String("close-during-update")) {
        script = new Script(closeDuringUpdate(window, script, file));
    } else if (scenario == QLatin1String("close-while-recording")) {
        script = new Script(closeWhileRecording(window, script, file, samples));
    } else {
        report(QStringLiteral("unknown scenario ") + scenario);
        return 2;
    }

    const int code = app.exec();
    report(QStringLiteral("event loop ended %1, %2 samples").arg(code).arg(samples));
    delete script;
    return code;
}
