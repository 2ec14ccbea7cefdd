#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace gw::test {

/** Builds zip archives with libzip, keeping entry names byte for byte, so tests can make hostile archives too. */
class ZipWriter
{
public:
    enum class Method { Store, Deflate };

    ZipWriter& add(const QByteArray& name, const QByteArray& data, Method method = Method::Deflate);
    /** An entry encrypted with AES-256; check aesWritingSupported() first. */
    ZipWriter& addEncrypted(const QByteArray& name, const QByteArray& data, const QByteArray& password);

    /** Writes the archive, replacing the file; on failure false, with libzip's reason in error. */
    bool writeTo(const QString& path, QString* error = nullptr) const;

    static bool aesWritingSupported();

private:
    struct Entry
    {
        QByteArray name;
        QByteArray data;
        Method method = Method::Deflate;
        QByteArray password;
    };
    QList<Entry> m_entries;
};

/**
 * Byte changes to an archive once written, to forge damaged or lying ones; the archive must have no zip64 records and
 * no comment. Each returns false when it could not.
 */
namespace zipforge {

enum class Headers { LocalAndCentral, CentralOnly };

/** Changes the uncompressed size the entry declares. */
bool setDeclaredSize(const QString& path, const QByteArray& name, quint32 size, Headers where);
/** Changes the CRC the entry declares. */
bool setDeclaredCrc(const QString& path, const QByteArray& name, quint32 crc, Headers where);
/** Inverts the byte in the middle of the entry's stored data. */
bool corruptData(const QString& path, const QByteArray& name);

} // namespace zipforge

} // namespace gw::test
