// Draws the cube's texture atlas, the window icon and the desktop icons into a
// resources folder:
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

    // The desktop entry's icon for the install, drawn at each size of the
    // icon theme's fixed-size folders rather than scaled from one.
    for (int size : { 16, 32, 48, 64, 128, 256 }) {
        const QString folder = QStringLiteral("icons/hicolor/%1x%1/apps").arg(size);
        const QString themeIconPath = dir.filePath(folder + QStringLiteral("/zel-tool.png"));
        if (!dir.mkpath(folder) || !artwork::launcherIcon(size).save(themeIconPath, "PNG")) {
            err << "cannot write " << themeIconPath << "\n";
            return 1;
        }
    }
    return 0;
}
