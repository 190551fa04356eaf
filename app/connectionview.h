#pragma once

#include <QMainWindow>
#include <QStringList>

class QComboBox;
class QPushButton;
class Task;

namespace Ui {
class ConnectionView;
}

// The small window where the user picks the module's port and baud rate and
// starts the connection. It hands both to the worker and learns nothing of
// the outcome.
class ConnectionView : public QMainWindow
{
    Q_OBJECT

public:
    ConnectionView(QWidget *parent, Task *worker);
    ~ConnectionView() override;

signals:
    void serialInit(QString port, int baud_rate, bool alertBadQuality);

private slots:
    void proxyConnect();
    void reloadAction();

private:
    Task *worker;
    Ui::ConnectionView *ui;
    QComboBox *portBox;
    QComboBox *baudBox;
    QPushButton *connectButton;
    QPushButton *searchButton;
    QStringList baudRates;
};
