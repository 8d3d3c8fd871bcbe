// The fuzz input as a file for the readers that take a path.
#pragma once

#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>

// Writes the input as the whole of `path`; false when it cannot be written.
inline bool writeFuzzFile(const QString& path, const uint8_t* data, size_t size)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && f.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size);
}
