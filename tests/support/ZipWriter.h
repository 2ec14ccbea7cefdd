#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace gw::test {

/** The whole file, or "<missing>" when it cannot be read, so a comparison failure says so. */
QByteArray contents(const QString& path);
/** Writes bytes as the whole file, making its folder first; false when that failed. */
bool writeBytes(const QString& path, const QByteArray& bytes);

/** Builds zip archives with libzip, keeping entry names byte for byte, so tests can make hostile archives too. */
class ZipWriter
{
public:
    enum class Method { Store, Deflate };

    /** A non-empty password encrypts the entry with AES-256; check aesWritingSupported() first. */
    ZipWriter& add(const QByteArray& name, const QByteArray& data, Method method = Method::Deflate,
                   const QByteArray& password = {});
    bool writeTo(const QString& path) const;
    /** The archive as bytes; empty when it could not be written. */
    QByteArray bytes() const;

    static bool aesWritingSupported();

private:
    struct Entry
    {
        QByteArray name, data;
        Method method;
        QByteArray password;
    };
    QList<Entry> m_entries;
};

} // namespace gw::test
