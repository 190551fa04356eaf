// Draws the cube's texture atlas and the window icon into a resources folder:
//   zel-artgen <resources folder>

#include "artwork.h"
#include "icofile.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);

    const QStringList args = app.arguments();
    if (args.size() != 2) {
        err << "usage: zel-artgen <resources folder>\n";
        return 2;
    }
    const QDir dir(args[1]);
    if (!dir.exists() || !dir.mkpath(QStringLiteral("icons"))) {
        err << "cannot write into " << args[1] << "\n";
        return 1;
    }

    const QString atlasPath = dir.filePath(QStringLiteral("cube.png"));
    if (!artwork::cubeAtlas().save(atlasPath, "PNG")) {
        err << "cannot write " << atlasPath << "\n";
        return 1;
    }

    QVector<QImage> icons;
    for (int size : { 16, 32, 48, 256 })
        icons.append(artwork::launcherIcon(size));
    const QString iconPath = dir.filePath(QStringLiteral("icons/launcher.ico"));
    QFile iconFile(iconPath);
    if (!iconFile.open(QIODevice::WriteOnly) || iconFile.write(icoFromImages(icons)) < 0) {
        err << "cannot write " << iconPath << "\n";
        return 1;
    }

    // The desktop entry's icon, for the install.
    const QString desktopIconPath = dir.filePath(QStringLiteral("icons/zel-tool.png"));
    if (!icons.last().save(desktopIconPath, "PNG")) {
        err << "cannot write " << desktopIconPath << "\n";
        return 1;
    }
    return 0;
}
