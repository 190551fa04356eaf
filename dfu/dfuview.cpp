#include "dfuview.h"
#include "ui_dfuview.h"

#include "dfuprocedure.h"
#include "dfuprotocol.h"
#include "portlist.h"

#include <QComboBox>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QSettings>

namespace {
const QString defaultDirKey = QStringLiteral("default_dir");
constexpr int logBlockLimit = 10000;
} // namespace

// The update blocks the GUI thread, so nothing is painted unless it is
// painted on the spot; the widgets repaint themselves as each step is
// reported, without an event loop that would hand the user the buttons.
class DfuView::ProcedureSink : public zel::dfu::DfuProcedureSink
{
public:
    explicit ProcedureSink(DfuView &owner)
        : view(owner)
    {
    }

    void appendLog(const QString &text) override
    {
        view.appendLog(text);
        view.plainTextEdit->repaint();
    }
    void clearLog() override
    {
        view.plainTextEdit->clear();
        view.plainTextEdit->repaint();
    }
    void setProgress(int value) override
    {
        view.progressBar->setValue(value);
        view.progressBar->repaint();
    }
    int progress() const override { return view.progressBar->value(); }
    void updateInterrupted() override { emit view.updateInterrupted(); }
    void fileOpenFailed(const QString &reason) override
    {
        // Not waited for: the update still has to close the port and report
        // its outcome, and the box comes up as soon as it has.
        auto *box = new QMessageBox(QMessageBox::Information, DfuView::tr("Choose file to flash"),
            reason, QMessageBox::Ok, &view);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }

private:
    DfuView &view;
};

DfuView::DfuView(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::DfuView)
{
    ui->setupUi(this);
    comboBox = findChild<QComboBox *>(QStringLiteral("comboBox"));
    pushButton_1 = findChild<QPushButton *>(QStringLiteral("pushButton_1"));
    pushButton = findChild<QPushButton *>(QStringLiteral("pushButton"));
    pushButton_ = findChild<QPushButton *>(QStringLiteral("pushButton_"));
    plainTextEdit = findChild<QPlainTextEdit *>(QStringLiteral("plainTextEdit"));
    progressBar = findChild<QProgressBar *>(QStringLiteral("progressBar"));
    lineEdit = findChild<QLineEdit *>(QStringLiteral("lineEdit"));

    progressBar->setRange(0, zel::dfu::progressFullScale);
    progressBar->setValue(0);
    plainTextEdit->setMaximumBlockCount(logBlockLimit);

    reloadAction();

    serialPort = new QSerialPort;

    connect(pushButton_, &QPushButton::clicked, this, &DfuView::fileload);
    connect(pushButton_1, &QPushButton::clicked, this, &DfuView::proxyConnect);
    connect(pushButton, &QPushButton::clicked, this, &DfuView::reloadAction);

    resetProgress();
}

DfuView::~DfuView()
{
    delete serialPort;
    delete ui;
}

void DfuView::appendLog(const QString &text)
{
    plainTextEdit->appendPlainText(QLatin1Char('\n') + text);
    update();
}

void DfuView::fileload()
{
    QSettings settings;
    const QString startAt = settings.value(defaultDirKey).toString();
    fileName = QFileDialog::getOpenFileName(
        this, tr("Please choose a file"), startAt, tr("Bin Files (*.bin);;All Files (*)"));
    qDebug() << "Load file: " << fileName;
    if (!fileName.isEmpty())
        settings.setValue(defaultDirKey, QFileInfo(fileName).absoluteFilePath());
    lineEdit->setText(fileName.split(QLatin1Char('/')).last());
}

void DfuView::reloadAction()
{
    const PortChoice choice = choosePort(listSerialPorts());
    comboBox->clear();
    comboBox->addItems(choice.entries);
    comboBox->setCurrentIndex(choice.preselected);
}

void DfuView::proxyConnect()
{
    ProcedureSink sink(*this);
    const zel::dfu::DfuOutcome outcome
        = zel::dfu::runFirmwareUpdate(*serialPort, comboBox->currentText(), fileName, sink);
    if (outcome == zel::dfu::DfuOutcome::Succeeded)
        emit sendDfuSuccess();
    else if (outcome == zel::dfu::DfuOutcome::Failed)
        emit sendDfuFailed();
}

void DfuView::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    resetProgress();
}

void DfuView::resetProgress()
{
    plainTextEdit->clear();
    progressBar->setValue(0);
}
