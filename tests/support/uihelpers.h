#pragma once

// Small helpers for tests that drive the tool's windows.

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <functional>
#include <memory>

// Hands the next application-modal widget (a message box or file dialog
// run with exec) to `handler`, which is expected to close it. Lets a test
// drive code that waits for the user. A box that never comes ends the wait
// after `timeoutMs`, so no handler outlives its test.
inline void onNextModal(const std::function<void(QWidget *)> &handler, int timeoutMs = 10000)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto ticksLeft = std::make_shared<int>(timeoutMs / 10);
    QObject::connect(timer, &QTimer::timeout, [timer, handler, ticksLeft] {
        QWidget *modal = QApplication::activeModalWidget();
        if ((!modal || !modal->isVisible()) && --*ticksLeft > 0)
            return;
        timer->stop();
        timer->deleteLater();
        if (modal && modal->isVisible())
            handler(modal);
    });
    timer->start();
}

// The action with the given text among the widget's descendants.
inline QAction *findAction(const QWidget *root, const QString &text)
{
    const auto actions = root->findChildren<QAction *>();
    for (QAction *action : actions) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Answers the next file dialog with `path`, as a user choosing that file.
inline void chooseFileInNextDialog(const QString &path)
{
    onNextModal([path](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        // Typed into the name field as a user would: selecting the file
        // does nothing while that field has the focus.
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(path);
        static_cast<QDialog *>(dialog)->accept();
    });
}
