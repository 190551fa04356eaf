#include "firmware.h"
#include "ptyupdateserver.h"

#include "dfuprotocol.h"
#include "dfuview.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

const QString defaultDirKey = QStringLiteral("default_dir");

// Acts on the next file dialog once it is up. The dialog runs its own event
// loop inside the button's handler, so the test reaches it from a timer.
void onNextFileDialog(std::function<void(QFileDialog *)> action)
{
    auto *poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        action(dialog);
    });
    poll->start();
}

template <typename T> T *child(const DfuView &view, const char *name)
{
    T *widget = view.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no %s in the window", name);
    return widget;
}

void chooseFile(DfuView &view, const QString &path)
{
    onNextFileDialog([path](QFileDialog *dialog) {
        // Typed into the name field as a user would: selecting in the list
        // depends on the folder having been read in the background.
        auto *nameField = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(nameField);
        nameField->setText(path);
        // Through the base class: the file dialog's own accept, which checks
        // the choice, is not public.
        static_cast<QDialog *>(dialog)->accept();
    });
    child<QPushButton>(view, "pushButton_")->click();
}

// Records what a widget looked like each time it was painted.
class PaintRecorder : public QObject
{
public:
    PaintRecorder(QWidget *watched, std::function<int()> sample)
        : read(std::move(sample))
    {
        watched->installEventFilter(this);
    }
    QVector<int> painted;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted << read();
        return false;
    }

private:
    std::function<int()> read;
};

} // namespace

class TstDfuView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void connectWithoutFileOnlyAddsAHint();
    void chosenFileIsShownAndRemembered();
    void showingAgainClearsLogAndBarButKeepsTheFile();
    void portSearchMarksEnhancedPorts_data();
    void portSearchMarksEnhancedPorts();
    void updateAdvancesVisiblyAndSucceeds();
    void refusedFilesFailTheUpdate_data();
    void refusedFilesFailTheUpdate();

private:
    QTemporaryDir files;
};

void TstDfuView::init()
{
    QSettings().clear();
    qputenv("ZEL_EXTRA_PORTS", QByteArray());
}

void TstDfuView::connectWithoutFileOnlyAddsAHint()
{
    DfuView view;
    view.appendLog(QStringLiteral("earlier"));
    child<QProgressBar>(view, "progressBar")->setValue(120);
    child<QPushButton>(view, "pushButton_1")->click();

    QCOMPARE(child<QPlainTextEdit>(view, "plainTextEdit")->toPlainText(),
        QStringLiteral("\nearlier\n\nPress load button to load file"));
    QCOMPARE(child<QProgressBar>(view, "progressBar")->value(), 120);
}

void TstDfuView::chosenFileIsShownAndRemembered()
{
    const QString folder = files.filePath("chosen/firmware");
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + "/zel-1.3.0.bin";
    QVERIFY(writeFile(path, firmwareImage(100)));

    DfuView view;
    chooseFile(view, path);
    QCOMPARE(child<QLineEdit>(view, "lineEdit")->text(), QStringLiteral("zel-1.3.0.bin"));
    QCOMPARE(QSettings().value(defaultDirKey).toString(), QFileInfo(path).absoluteFilePath());

    // The next dialog opens at that file; cancelling it leaves the setting.
    QString openedIn;
    QStringList preselected;
    onNextFileDialog([&](QFileDialog *dialog) {
        openedIn = dialog->directory().absolutePath();
        preselected = dialog->selectedFiles();
        dialog->reject();
    });
    child<QPushButton>(view, "pushButton_")->click();
    QCOMPARE(openedIn, QFileInfo(folder).absoluteFilePath());
    QCOMPARE(preselected.value(0), QFileInfo(path).absoluteFilePath());
    QCOMPARE(QSettings().value(defaultDirKey).toString(), QFileInfo(path).absoluteFilePath());
    QCOMPARE(child<QLineEdit>(view, "lineEdit")->text(), QString());

    // The cancelled choice emptied the file too.
    child<QPushButton>(view, "pushButton_1")->click();
    QCOMPARE(child<QPlainTextEdit>(view, "plainTextEdit")->toPlainText(),
        QStringLiteral("\nPress load button to load file"));
}

void TstDfuView::showingAgainClearsLogAndBarButKeepsTheFile()
{
    const QString path = files.filePath("kept.bin");
    QVERIFY(writeFile(path, firmwareImage(100)));
    DfuView view;
    chooseFile(view, path);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.appendLog(QStringLiteral("from before"));
    child<QProgressBar>(view, "progressBar")->setValue(300);

    view.hide();
    view.show();
    QCOMPARE(child<QPlainTextEdit>(view, "plainTextEdit")->toPlainText(), QString());
    QCOMPARE(child<QProgressBar>(view, "progressBar")->value(), 0);
    QCOMPARE(child<QLineEdit>(view, "lineEdit")->text(), QStringLiteral("kept.bin"));

    // With the file kept, Connect goes on to the port instead of asking for
    // a file.
    auto *ports = child<QComboBox>(view, "comboBox");
    ports->clear();
    ports->addItem(files.filePath("no-such-port"));
    child<QPushButton>(view, "pushButton_1")->click();
    QCOMPARE(child<QPlainTextEdit>(view, "plainTextEdit")->toPlainText(),
        QStringLiteral("\nOpen port failed!"));
}

void TstDfuView::portSearchMarksEnhancedPorts_data()
{
    QTest::addColumn<QStringList>("descriptions");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("selected");

    QTest::newRow("one marked") << QStringList { "USB Serial", "Enhanced COM Port" }
                                << QStringList { "p0", "p1 (ZEL)" } << 1;
    QTest::newRow("later of two marked")
        << QStringList { "Enhanced COM Port", "USB Serial", "Enhanced COM Port" }
        << QStringList { "p0 (ZEL)", "p1", "p2 (ZEL)" } << 2;
    QTest::newRow("lower case is not marked")
        << QStringList { "USB Serial", "enhanced port" } << QStringList { "p0", "p1" } << 0;
}

void TstDfuView::portSearchMarksEnhancedPorts()
{
    QFETCH(QStringList, descriptions);
    QFETCH(QStringList, entries);
    QFETCH(int, selected);

    // Stand-in ports: the port list takes any existing path with a
    // description from the environment.
    QTemporaryDir portDir;
    QStringList extra;
    for (int i = 0; i < descriptions.size(); ++i) {
        const QString path = portDir.filePath(QStringLiteral("p%1").arg(i));
        QVERIFY(writeFile(path, QByteArray()));
        extra << path + "=" + descriptions.at(i);
        entries[i].prepend(portDir.path() + "/");
    }
    qputenv("ZEL_EXTRA_PORTS", extra.join(';').toLocal8Bit());

    DfuView view;
    auto *ports = child<QComboBox>(view, "comboBox");
    auto ours = [&] {
        QStringList texts;
        for (int i = 0; i < ports->count(); ++i) {
            if (ports->itemText(i).startsWith(portDir.path()))
                texts << ports->itemText(i);
        }
        return texts;
    };
    QCOMPARE(ours(), entries);
    const QString expected = selected > 0 ? entries.at(selected) : ports->itemText(0);
    QCOMPARE(ports->currentText(), expected);

    // A new search forgets the user's choice and selects the marked port again.
    ports->setCurrentIndex(ports->findText(entries.at(0)) == ports->currentIndex()
            ? ports->findText(entries.at(1))
            : ports->findText(entries.at(0)));
    QVERIFY(ports->currentText() != expected);
    child<QPushButton>(view, "pushButton")->click();
    QCOMPARE(ours(), entries);
    QCOMPARE(ports->currentText(), expected);
}

void TstDfuView::updateAdvancesVisiblyAndSucceeds()
{
    PtyUpdateServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    qputenv("ZEL_EXTRA_PORTS", (server.portPath() + "=Enhanced simulated module").toLocal8Bit());
    const QByteArray image = firmwareImage(60000, 17);
    const QString path = files.filePath("update.bin");
    QVERIFY(writeFile(path, image));

    DfuView view;
    QCOMPARE(child<QComboBox>(view, "comboBox")->currentText(), server.portPath() + " (ZEL)");
    chooseFile(view, path);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    auto *bar = child<QProgressBar>(view, "progressBar");
    auto *log = child<QPlainTextEdit>(view, "plainTextEdit");
    // The log lies wholly inside the window, above the status bar.
    QCOMPARE(log->visibleRegion().boundingRect(), log->rect());
    QCOMPARE(log->viewport()->visibleRegion(), QRegion(log->viewport()->rect()));
    QVERIFY(log->mapTo(&view, QPoint(0, log->height())).y() <= view.statusBar()->y());

    PaintRecorder barPaints(bar, [bar] { return bar->value(); });
    PaintRecorder logPaints(log->viewport(), [log] { return log->blockCount(); });
    QSignalSpy succeeded(&view, &DfuView::sendDfuSuccess);
    QSignalSpy failed(&view, &DfuView::sendDfuFailed);
    QSignalSpy interrupted(&view, &DfuView::updateInterrupted);

    child<QPushButton>(view, "pushButton_1")->click();

    QCOMPARE(succeeded.count(), 1);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(interrupted.count(), 0);
    QVERIFY(server.installedImage() == image);
    QVERIFY(log->toPlainText().endsWith(QStringLiteral("\n\ndevice reset")));
    QCOMPARE(bar->value(), 500);

    // Painted while the update ran: the bar at values between empty and
    // full, the log as it grew.
    const bool barMoved = std::any_of(barPaints.painted.cbegin(), barPaints.painted.cend(),
        [](int value) { return value > 0 && value < 500; });
    QVERIFY2(barMoved,
        qPrintable(QStringLiteral("bar painted at %1 values only").arg(barPaints.painted.size())));
    QVERIFY(barPaints.painted.contains(500));
    QVERIFY(logPaints.painted.size() >= 5);
}

void TstDfuView::refusedFilesFailTheUpdate_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("lastLine");
    QTest::addColumn<bool>("showsBox");

    QTest::newRow("empty") << "empty"
                           << "Firmware file is empty: nothing to send, update refused" << false;
    QTest::newRow("larger than one update")
        << "large"
        << "Firmware image of 295009 bytes is larger than the 295008 bytes the module takes "
           "in one update: update refused"
        << false;
    QTest::newRow("gone before Connect") << "missing"
                                         << ": No such file or directory" << true;
    QTest::newRow("replaced by a folder") << "folder"
                                          << ": it is a folder, not a file" << true;
}

void TstDfuView::refusedFilesFailTheUpdate()
{
    QFETCH(QString, kind);
    QFETCH(QString, lastLine);
    QFETCH(bool, showsBox);

    PtyUpdateServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    qputenv("ZEL_EXTRA_PORTS", (server.portPath() + "=Enhanced simulated module").toLocal8Bit());
    QTemporaryDir dir;
    const QString path = dir.filePath("firmware.bin");
    QVERIFY(writeFile(path,
        kind == "large"       ? firmwareImage(int(zel::dfu::updateSize) + 1)
            : kind == "empty" ? QByteArray()
                              : firmwareImage(100)));

    DfuView view;
    chooseFile(view, kind == "device" ? QStringLiteral("/dev/zero") : path);
    if (kind == "missing" || kind == "folder")
        QVERIFY(QFile::remove(path));
    if (kind == "folder")
        QVERIFY(QDir().mkpath(path));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QSignalSpy succeeded(&view, &DfuView::sendDfuSuccess);
    QSignalSpy failed(&view, &DfuView::sendDfuFailed);
    child<QPushButton>(view, "pushButton_1")->click();

    QCOMPARE(failed.count(), 1);
    QCOMPARE(succeeded.count(), 0);
    const QString text = child<QPlainTextEdit>(view, "plainTextEdit")->toPlainText();
    QVERIFY2(text.endsWith(lastLine), qPrintable(text));
    QCOMPARE(server.bytesReceived(), qint64(8 + 12));

    QMessageBox *box = nullptr;
    if (showsBox) {
        QTRY_VERIFY_WITH_TIMEOUT(
            (box = view.findChild<QMessageBox *>()) && box->isVisible(), 10000);
        QCOMPARE(box->windowTitle(), QStringLiteral("Choose file to flash"));
        box->close();
    } else {
        QVERIFY(!view.findChild<QMessageBox *>());
    }
}

int main(int argc, char *argv[])
{
    // The file dialog is driven by the test, so it has to be Qt's own and
    // not one a desktop environment supplies.
    qunsetenv("QT_QPA_PLATFORMTHEME");
    qunsetenv("XDG_CURRENT_DESKTOP");
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
        QDir::tempPath() + QStringLiteral("/settings"));
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("OrvixTest"));
    QApplication::setApplicationName(QStringLiteral("tst_dfu_view"));
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TstDfuView test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dfu_view.moc"
