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

/** Damage forged into a written archive (no zip64, no comment, the entry's name found nowhere else in it). */
namespace zipforge {

enum class Field { Crc, Size, Data };
enum class Headers { LocalAndCentral, CentralOnly };

/** Declares another CRC or uncompressed size for the entry, or (Data) inverts the middle byte of its stored data. */
bool forge(const QString& path, const QByteArray& name, Field field, quint32 value = 0,
           Headers where = Headers::CentralOnly);

} // namespace zipforge

} // namespace gw::test
