// Firmware-update faults through the tool's own update window, against the
// module simulator's update service: a module that stops answering in the
// middle of the image, and firmware files that cannot be sent. Each ends in
// the failure outcome with its reason in the Progress Log, and the tool
// stays usable.

#include "dfuprotocol.h"
#include "dfuview.h"
#include "mainwindows.h"
#include "toolharness.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <unistd.h>

namespace {

using zel::dfu::chunkSize;
using zel::dfu::updateSize;

QByteArray firmwareImage(int length)
{
    QByteArray image(length, '\0');
    quint32 state = 0x2545F491;
    for (char &byte : image) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = char(state);
    }
    return image;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Closes every message box that comes up, noting its title and text: the
// outcome box waits for the user inside the update's button handler, and
// the file box comes up beside it.
class BoxCollector : public QObject
{
public:
    BoxCollector()
    {
        connect(&poll, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            seen.append(box->windowTitle() + QStringLiteral(": ") + box->text());
            box->close();
        });
        poll.start(10);
    }
    QStringList seen;

private:
    QTimer poll;
};

} // namespace

class TestFaultsDfu : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void moduleStopsAnsweringMidImage();
    void unusableFirmwareFile_data();
    void unusableFirmwareFile();

private:
    void chooseFirmware(const QString &path);
    void pressUpdate();
    template <typename T> T *updateChild(const char *name) const
    {
        return tool->updateWindow()->findChild<T *>(QLatin1String(name));
    }

    ToolHarness *tool = nullptr;
    QTemporaryDir *dir = nullptr;
};

void TestFaultsDfu::initTestCase()
{
    // The window remembers the chosen file's folder in the settings store.
    QStandardPaths::setTestModeEnabled(true);
}

void TestFaultsDfu::init()
{
    tool = new ToolHarness;
    dir = new QTemporaryDir;
    QVERIFY(dir->isValid());
}

void TestFaultsDfu::cleanup()
{
    delete tool;
    tool = nullptr;
    delete dir;
    dir = nullptr;
}

// Picks the file in the update window's file dialog, typed into its name
// field as a user would.
void TestFaultsDfu::chooseFirmware(const QString &path)
{
    auto *poll = new QTimer;
    connect(poll, &QTimer::timeout, poll, [poll, path] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        static_cast<QDialog *>(dialog)->accept();
    });
    poll->start(10);
    updateChild<QPushButton>("pushButton_")->click();
    QCOMPARE(updateChild<QLineEdit>("lineEdit")->text(), path.section(QLatin1Char('/'), -1));
}

// Step 3 of the update window; runs the whole update before it returns.
void TestFaultsDfu::pressUpdate()
{
    updateChild<QPushButton>("pushButton_1")->click();
}

void TestFaultsDfu::moduleStopsAnsweringMidImage()
{
    const QString installed = dir->filePath(QStringLiteral("installed.bin"));
    QVERIFY(tool->start({ "--odr", "3", "--dfu-stop-after-chunk", "2", "--dfu-image", installed }));
    QVERIFY(tool->pressConnect());
    QVERIFY(tool->waitUntilConnected());

    // Seven chunks; the module goes quiet after the third.
    const QString firmware = dir->filePath(QStringLiteral("fw.bin"));
    QVERIFY(writeFile(firmware, firmwareImage(6 * chunkSize + 1000)));
    QVERIFY(tool->openUpdateWindow());
    // The worker has let go of the port once the tool says so.
    QVERIFY(
        waitUntil([&] { return tool->action(QStringLiteral("&Connect"))->isVisible(); }, 15000));
    chooseFirmware(firmware);

    auto *dfu = qobject_cast<DfuView *>(tool->updateWindow());
    QVERIFY(dfu);
    QSignalSpy interrupted(dfu, &DfuView::updateInterrupted);
    BoxCollector boxes;
    pressUpdate();

    QCOMPARE(boxes.seen, QStringList { QStringLiteral("Device Firmeare Update: DFU Failed.") });
    QCOMPARE(interrupted.count(), 1);
    const QString progressLog = updateChild<QPlainTextEdit>("plainTextEdit")->toPlainText();
    QVERIFY2(progressLog.contains(QStringLiteral("update_cmd_sent OK")), qPrintable(progressLog));
    QVERIFY2(progressLog.contains(QStringLiteral("send_ackd_command response : 0")),
        qPrintable(progressLog));
    QVERIFY2(progressLog.trimmed().endsWith(QStringLiteral("device reset failed")),
        qPrintable(progressLog));
    QVERIFY(updateChild<QProgressBar>("progressBar")->value() < 500);
    QVERIFY(!tool->simulator().waitForEvent(QStringLiteral("dfu-start")).isEmpty());
    QVERIFY(!QFile::exists(installed));

    // The tool is usable afterwards: connecting at the module's usual rate
    // brings its application firmware back and the stream with it.
    const int before = tool->samples();
    QVERIFY(tool->pressConnect(QStringLiteral("115200")));
    QVERIFY(!tool->simulator().waitForEvent(QStringLiteral("dfu-abandoned")).isEmpty());
    QVERIFY(tool->waitUntilConnected());
    QVERIFY(waitUntil([&] { return tool->samples() > before + 50; }, 15000));
}

void TestFaultsDfu::unusableFirmwareFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<bool>("fileBox");

    QTest::newRow("empty") << "empty"
                           << "Firmware file is empty: nothing to send, update refused" << false;
    QTest::newRow("larger than one update")
        << "huge"
        << "Firmware image of 295009 bytes is larger than the 295008 bytes the module takes in "
           "one update: update refused"
        << false;
    QTest::newRow("folder") << "folder"
                            << "Cannot read firmware file" << true;
    // Tests run as root here, and root reads a file whatever its mode; a
    // link to nothing cannot be opened by anyone, so it stands for a file
    // that cannot be read. Where the tests run as another user, a file
    // without read permission is tried as well.
    QTest::newRow("dangling link") << "dangling"
                                   << "Cannot read firmware file" << true;
    if (geteuid() != 0)
        QTest::newRow("no permission") << "unreadable"
                                       << "Cannot read firmware file" << true;
}

void TestFaultsDfu::unusableFirmwareFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, logLine);
    QFETCH(bool, fileBox);

    // The module's stream is off: what is under test is the file, and a
    // quiet line keeps stray stream bytes out of the greeting's answer.
    QVERIFY(tool->start({ "--output", "off" }));
    QVERIFY(tool->openUpdateWindow());
    const QString firmware = dir->filePath(QStringLiteral("fw.bin"));
    QVERIFY(writeFile(firmware, firmwareImage(1000)));
    chooseFirmware(firmware);

    // The file is read only when the update starts, so it is spoilt after
    // it was chosen, as a file replaced on disk in between would be.
    if (kind == QLatin1String("empty")) {
        QVERIFY(writeFile(firmware, QByteArray()));
    } else if (kind == QLatin1String("huge")) {
        QVERIFY(writeFile(firmware, firmwareImage(int(updateSize) + 1)));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QFile::remove(firmware));
        QVERIFY(QDir().mkdir(firmware));
    } else if (kind == QLatin1String("dangling")) {
        QVERIFY(QFile::remove(firmware));
        QVERIFY(QFile::link(dir->filePath(QStringLiteral("gone.bin")), firmware));
    } else {
        QVERIFY(QFile::setPermissions(firmware, QFileDevice::Permissions()));
    }

    auto *dfu = qobject_cast<DfuView *>(tool->updateWindow());
    QSignalSpy failed(dfu, &DfuView::sendDfuFailed);
    QSignalSpy succeeded(dfu, &DfuView::sendDfuSuccess);
    BoxCollector boxes;
    pressUpdate();
    if (fileBox)
        QVERIFY(waitUntil([&] { return boxes.seen.size() == 2; }, 5000));

    QCOMPARE(failed.count(), 1);
    QCOMPARE(succeeded.count(), 0);
    QVERIFY(boxes.seen.contains(QStringLiteral("Device Firmeare Update: DFU Failed.")));
    QCOMPARE(boxes.seen.size(), fileBox ? 2 : 1);
    if (fileBox) {
        QVERIFY(std::any_of(boxes.seen.cbegin(), boxes.seen.cend(), [](const QString &seen) {
            return seen.startsWith(QStringLiteral("Choose file to flash: "));
        }));
    }
    const QString progressLog = updateChild<QPlainTextEdit>("plainTextEdit")->toPlainText();
    QVERIFY2(progressLog.contains(logLine), qPrintable(progressLog));
    // Nothing of the image went out: the module saw the greeting and the
    // descriptor and no update command.
    QCOMPARE(updateChild<QProgressBar>("progressBar")->value(), 0);
    QVERIFY(!tool->simulator().waitForEvent(QStringLiteral("dfu-descriptor")).isEmpty());
    QVERIFY(
        !tool->simulator().events().join(QLatin1Char('\n')).contains(QStringLiteral("dfu-update")));
}

QTEST_MAIN(TestFaultsDfu)
#include "tst_faults_dfu.moc"
