#include "connectionview.h"

#include "portlist.h"
#include "remembered.h"
#include "task.h"
#include "ui_connectionview.h"

#include <QComboBox>
#include <QPushButton>

ConnectionView::ConnectionView(QWidget *parent, Task *task)
    : QMainWindow(parent)
    , worker(task)
    , ui(new Ui::ConnectionView)
{
    ui->setupUi(this);
    portBox = findChild<QComboBox *>(QStringLiteral("comboBox"));
    baudBox = findChild<QComboBox *>(QStringLiteral("comboBox_2"));
    baudRates << QStringLiteral("115200") << QStringLiteral("921600");
    baudBox->addItems(baudRates);
    baudBox->setCurrentText(remembered::baudRate());
    searchButton = findChild<QPushButton *>(QStringLiteral("pushButton"));
    connectButton = findChild<QPushButton *>(QStringLiteral("pushButton_2"));
    reloadAction();

    connect(connectButton, &QPushButton::clicked, this, &ConnectionView::proxyConnect);
    connect(this, &ConnectionView::serialInit, worker,
        qOverload<const QString &, int, bool>(&Task::serialInit));
    connect(searchButton, &QPushButton::clicked, this, &ConnectionView::reloadAction);
}

ConnectionView::~ConnectionView()
{
    delete ui;
}

void ConnectionView::reloadAction()
{
    const PortChoice choice = choosePort(listSerialPorts(), remembered::portName());
    portBox->clear();
    portBox->addItems(choice.entries);
    portBox->setCurrentIndex(choice.preselected);
}

void ConnectionView::proxyConnect()
{
    const int baudRate = baudBox->currentText().toInt();
    const QString portName = portNameFromEntry(portBox->currentText());
    remembered::setConnection(portName, baudRate);
    emit serialInit(portName, baudRate, true);
    hide();
}
