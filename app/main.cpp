#include "mainwindows.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication();
    MainView window;
    window.show();
    return app.exec();
}
