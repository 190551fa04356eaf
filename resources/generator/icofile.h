#pragma once

#include <QByteArray>
#include <QVector>

class QImage;

// An ICO container holding each image as a PNG entry. Qt's own ICO writer
// stores a single image only; this one keeps all sizes in one file.
QByteArray icoFromImages(const QVector<QImage> &images);
