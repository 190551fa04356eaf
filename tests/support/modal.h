#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Hands the next application-modal widget (a message box or file dialog
// run with exec) to `handler`, which is expected to close it. Lets a test
// drive code that waits for the user.
inline void onNextModal(const std::function<void(QWidget *)> &handler)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, handler] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        handler(modal);
    });
    timer->start();
}
