#include "mainwindows.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvix ZEL PC Tool"));
    QApplication::setOrganizationName(QStringLiteral("Orvix"));
    QApplication::setOrganizationDomain(QStringLiteral("orvix.example"));

    MainView window;
    window.setWindowIcon(QIcon(QStringLiteral(":icons/launcher.ico")));
    window.show();
    return app.exec();
}
