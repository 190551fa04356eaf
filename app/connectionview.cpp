#include "connectionview.h"

#include "task.h"
#include "ui_connectionview.h"

#include <QComboBox>
#include <QPushButton>

namespace {
const QString zelMark = QStringLiteral(" (ZEL)");
}

QString portEntryText(const SerialPortEntry &port)
{
    if (port.description.contains(QLatin1String("Enhanced")))
        return port.portName + zelMark;
    return port.portName;
}

QString portNameFromEntry(const QString &entry)
{
    return entry.split(QStringLiteral(" (")).first();
}

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
    QString selection;
    const QList<SerialPortEntry> ports = listSerialPorts();
    portBox->clear();
    for (const SerialPortEntry &port : ports) {
        const QString entry = portEntryText(port);
        if (entry != port.portName)
            selection = entry;
        portBox->addItem(entry);
    }
    portBox->setCurrentText(selection);
}

void ConnectionView::proxyConnect()
{
    const int baudRate = baudBox->currentText().toInt();
    const QString portName = portNameFromEntry(portBox->currentText());
    emit serialInit(portName, baudRate, true);
    hide();
}
