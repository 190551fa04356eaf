#include "toolharness.h"

#include "mainwindows.h"
#include "task.h"
#include "uihelpers.h"

#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>

ToolHarness::~ToolHarness()
{
    if (window)
        window->close();
    delete window;
    sim.stop();
    qunsetenv("ZEL_EXTRA_PORTS");
}

bool ToolHarness::start(const QStringList &simArguments, const QString &port)
{
    return sim.start(simArguments) && open(port.isEmpty() ? sim.portPath() : port);
}

bool ToolHarness::open(const QString &port)
{
    qputenv("ZEL_EXTRA_PORTS", (port + QStringLiteral("=Enhanced module simulator")).toLocal8Bit());
    window = new MainView;
    window->show();
    Task *worker = window->deviceWorker();
    QObject::connect(worker, &Task::sendSamples, window,
        [this](const zel::SensorSamples &polled) { samples += polled.size(); });
    return window->findChild<QComboBox *>(QStringLiteral("comboBox"))->currentText()
        == port + QStringLiteral(" (ZEL)");
}

bool ToolHarness::pressConnect(const QString &baudRate)
{
    auto *dialog = window->findChild<QMainWindow *>(QStringLiteral("ConnectionView"));
    dialog->show();
    dialog->findChild<QComboBox *>(QStringLiteral("comboBox_2"))->setCurrentText(baudRate);
    dialog->findChild<QPushButton *>(QStringLiteral("pushButton_2"))->click();
    return !dialog->isVisible();
}

bool ToolHarness::waitUntilConnected()
{
    return QTest::qWaitFor([this] { return action("Identify The Device")->isEnabled(); }, 15000);
}

bool ToolHarness::startRecording(const QString &path)
{
    chooseFileInNextDialog(path);
    action("&Start Saving Log")->trigger();
    return isRecording();
}

bool ToolHarness::isRecording() const
{
    return action("&Stop Saving Log")->isVisible();
}

bool ToolHarness::openUpdateWindow(const QString &firmware)
{
    onNextModal([](QWidget *question) {
        qobject_cast<QMessageBox *>(question)->button(QMessageBox::Yes)->click();
    });
    action("&Device Firmware Update")->trigger();
    if (!QTest::qWaitFor([this] { return action("&Connect")->isVisible(); }, 15000))
        return false;
    chooseFileInNextDialog(firmware);
    auto *update = window->findChild<QMainWindow *>(QStringLiteral("DfuView"));
    update->findChild<QPushButton *>(QStringLiteral("pushButton_"))->click();
    return update->isVisible();
}

QAction *ToolHarness::action(const char *text) const
{
    return findAction(window, QString::fromLatin1(text));
}
