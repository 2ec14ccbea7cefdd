#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

/** Small file helpers the tests share. */
namespace TestFiles {

/** The whole file, or "<missing>" when it cannot be read, so a comparison failure says so. */
inline QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

/** Writes bytes as the whole file; false when that failed. */
inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace TestFiles
