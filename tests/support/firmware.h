#pragma once

// What the update tests share: firmware images that look like real ones and
// files to hold them.

#include <QByteArray>
#include <QFile>
#include <QString>

// Deterministic bytes with the look of machine code: no long runs, every
// byte value present.
inline QByteArray firmwareImage(int length, quint32 seed = 0x2545F491)
{
    QByteArray image(length, '\0');
    quint32 state = seed;
    for (char &byte : image) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = char(state);
    }
    return image;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
