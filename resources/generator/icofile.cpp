#include "icofile.h"

#include <QBuffer>
#include <QDataStream>
#include <QImage>

QByteArray icoFromImages(const QVector<QImage> &images)
{
    QVector<QByteArray> pngs;
    for (const QImage &image : images) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG");
        pngs.append(png);
    }

    QByteArray ico;
    QDataStream out(&ico, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    constexpr quint32 headerSize = 6;
    constexpr quint32 entrySize = 16;
    out << quint16(0) << quint16(1) << quint16(images.size());

    quint32 offset = headerSize + entrySize * static_cast<quint32>(images.size());
    for (int i = 0; i < images.size(); ++i) {
        // A dimension of 256 is stored as 0: the field is one byte.
        const auto side = [](int pixels) { return quint8(pixels >= 256 ? 0 : pixels); };
        out << side(images[i].width()) << side(images[i].height());
        out << quint8(0) << quint8(0); // no palette, reserved
        out << quint16(1) << quint16(32); // planes, bits per pixel
        out << quint32(pngs[i].size()) << offset;
        offset += static_cast<quint32>(pngs[i].size());
    }
    for (const QByteArray &png : pngs)
        out.writeRawData(png.constData(), png.size());
    return ico;
}
