#pragma once

#include <QImage>

namespace artwork {

// The cube's texture atlas: three columns by two rows of panels, each showing
// the module's axes as seen from outside one face of the cube.
QImage cubeAtlas();

// The window icon at one edge length.
QImage launcherIcon(int size);

} // namespace artwork
