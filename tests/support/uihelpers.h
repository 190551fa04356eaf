#pragma once

// Small helpers for tests that drive the tool's windows.

#include "modal.h"

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QtTest>

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
