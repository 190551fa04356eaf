// The update window as the main window holds it: an update started with its
// Connect button against the simulator ends in the main window's outcome box.
// The failure box is met by the whole tool in the end-to-end test.

#include "firmware.h"
#include "simprocess.h"
#include "uihelpers.h"

#include "dfuview.h"
#include "mainwindows.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

class TstDfuView : public QObject
{
    Q_OBJECT

private slots:
    void successBox();
};

void TstDfuView::successBox()
{
    SimProcess sim;
    // A module that streams until the hello reaches it is met at the
    // lowest level, where the hello's answer is found behind stream bytes.
    QVERIFY(sim.start({ "--output", "off" }));
    const QString path = QDir::temp().filePath("firmware.bin");
    QVERIFY(writeFile(path, firmwareImage(20000)));
    // The window remembers the chosen file, here not in the user's settings.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QDir::tempPath());

    MainView main;
    auto *dfu = main.findChild<DfuView *>();
    QVERIFY(dfu);
    auto *ports = dfu->findChild<QComboBox *>("comboBox");
    ports->clear();
    ports->addItem(sim.portPath() + " (ZEL)");
    chooseFileInNextDialog(path);
    dfu->findChild<QPushButton *>("pushButton_")->click();
    QString shown;
    onNextModal([&shown](QWidget *modal) {
        shown = modal->windowTitle() + ": " + modal->property("text").toString();
        modal->close();
    });
    dfu->findChild<QPushButton *>("pushButton_1")->click();
    QCOMPARE(shown, "Device Firmeare Update: DFU Success.");
}

QTEST_MAIN(TstDfuView)
#include "tst_dfu_view.moc"
