#include "toolharness.h"

#include "mainwindows.h"
#include "uihelpers.h"
#include "protocol.h"
#include "task.h"

#include <QAction>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    // Short turns of the event loop: under a 500 Hz stream the queue is
    // never empty, and one long turn would not come back to the condition
    // until its whole time was up.
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop turn;
        QTimer::singleShot(10, &turn, &QEventLoop::quit);
        turn.exec();
    }
    return true;
}

ToolHarness::~ToolHarness()
{
    stop();
}

bool ToolHarness::start(const QStringList &simArguments, const QString &portPath)
{
    if (!sim.start(simArguments)) {
        qWarning("the simulator did not start (ZEL_SIM=%s)", qPrintable(qgetenv("ZEL_SIM")));
        return false;
    }
    const QString port = portPath.isEmpty() ? sim.portPath() : portPath;
    qputenv("ZEL_EXTRA_PORTS", (port + QStringLiteral("=Enhanced module simulator")).toLocal8Bit());
    mainView = new MainView;
    mainView->show();
    Task *worker = mainView->deviceWorker();
    QObject::connect(worker, &Task::sendAcc, mainView, [this] { ++sampleCount; });
    QObject::connect(worker, &Task::signalLogMessage, mainView, [this](const QString &text) {
        ++(text.isEmpty() ? undecodedPollCount : decodedPollCount);
    });
    QObject::connect(worker, &Task::sendVersion, mainView,
        [this](const QString &version) { versionTexts.append(version); });
    auto *portBox = mainView->findChild<QComboBox *>(QStringLiteral("comboBox"));
    if (!portBox || portBox->currentText() != port + QStringLiteral(" (ZEL)")) {
        qWarning("the module's port %s is not preselected", qPrintable(port));
        return false;
    }
    return true;
}

void ToolHarness::stop()
{
    if (mainView) {
        mainView->close();
        delete mainView;
        mainView = nullptr;
    }
    sim.stop();
    qunsetenv("ZEL_EXTRA_PORTS");
}

bool ToolHarness::pressConnect(const QString &baudRate)
{
    auto *dialog = mainView->findChild<QMainWindow *>(QStringLiteral("ConnectionView"));
    auto *baudBox = mainView->findChild<QComboBox *>(QStringLiteral("comboBox_2"));
    auto *connectButton = mainView->findChild<QPushButton *>(QStringLiteral("pushButton_2"));
    if (!dialog || !baudBox || !connectButton)
        return false;
    // From the menu when the tool offers it; while a link is up the dialog is
    // shown as the tests of the dialog itself do.
    QAction *connectAction = action(QStringLiteral("&Connect"));
    if (connectAction->isVisible())
        connectAction->trigger();
    else
        dialog->show();
    if (!dialog->isVisible())
        return false;
    baudBox->setCurrentText(baudRate);
    connectButton->click();
    return !dialog->isVisible();
}

bool ToolHarness::waitUntilConnected(int timeoutMs)
{
    QAction *identify = action(QStringLiteral("Identify The Device"));
    return waitUntil([identify] { return identify->isEnabled(); }, timeoutMs);
}

bool ToolHarness::startRecording(const QString &path)
{
    onNextModal([path](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            qWarning("expected the save dialog, got %s", modal->metaObject()->className());
            modal->close();
            return;
        }
        // Typed as a user would: selecting the file instead depends on the
        // dialog having read its folder and on its name field's focus.
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        static_cast<QDialog *>(dialog)->accept();
    });
    action(QStringLiteral("&Start Saving Log"))->trigger();
    return isRecording();
}

void ToolHarness::stopRecording()
{
    action(QStringLiteral("&Stop Saving Log"))->trigger();
}

bool ToolHarness::isRecording() const
{
    return action(QStringLiteral("&Stop Saving Log"))->isVisible();
}

bool ToolHarness::openUpdateWindow()
{
    onNextModal([](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box || !box->button(QMessageBox::Yes)) {
            qWarning("expected the firmware-update question");
            modal->close();
            return;
        }
        box->button(QMessageBox::Yes)->click();
    });
    action(QStringLiteral("&Device Firmware Update"))->trigger();
    return updateWindow() && updateWindow()->isVisible();
}

QMainWindow *ToolHarness::updateWindow() const
{
    return mainView->findChild<QMainWindow *>(QStringLiteral("DfuView"));
}

QAction *ToolHarness::action(const QString &text) const
{
    const auto actions = mainView->findChildren<QAction *>();
    for (QAction *candidate : actions) {
        if (candidate->text() == text)
            return candidate;
    }
    qFatal("the main window has no action %s", qPrintable(text));
    return nullptr;
}

qint64 ToolHarness::framesSent(const QString &recordPath) const
{
    return QFileInfo(recordPath).size() / zel::sensorFrameLength;
}
