#include "ZipWriter.h"

#include "TestFiles.h"

#include <QFile>

#include <zip.h>

#include <functional>
#include <optional>

namespace gw::test {

ZipWriter& ZipWriter::add(const QByteArray& name, const QByteArray& data, Method method)
{
    m_entries << Entry{name, data, method, {}};
    return *this;
}

ZipWriter& ZipWriter::addEncrypted(const QByteArray& name, const QByteArray& data, const QByteArray& password)
{
    m_entries << Entry{name, data, Method::Deflate, password};
    return *this;
}

bool ZipWriter::aesWritingSupported() { return zip_encryption_method_supported(ZIP_EM_AES_256, 1) != 0; }

bool ZipWriter::writeTo(const QString& path, QString* error) const
{
    int code = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive) {
        if (error) {
            zip_error_t zipError;
            zip_error_init_with_code(&zipError, code);
            *error = QString::fromLocal8Bit(zip_error_strerror(&zipError));
            zip_error_fini(&zipError);
        }
        return false;
    }
    const auto fail = [&]() {
        if (error) {
            *error = QString::fromLocal8Bit(zip_strerror(archive));
        }
        zip_discard(archive);
        return false;
    };
    for (const Entry& entry : m_entries) {
        // The buffers belong to this writer, which outlives zip_close below.
        zip_source_t* source = zip_source_buffer(archive, entry.data.constData(),
                                                 static_cast<zip_uint64_t>(entry.data.size()), 0);
        if (!source) {
            return fail();
        }
        const zip_int64_t index = zip_file_add(archive, entry.name.constData(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(source);
            return fail();
        }
        const auto at = static_cast<zip_uint64_t>(index);
        const zip_int32_t method = entry.method == Method::Store ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
        if (zip_set_file_compression(archive, at, method, 0) != 0) {
            return fail();
        }
        if (!entry.password.isEmpty() &&
            zip_file_set_encryption(archive, at, ZIP_EM_AES_256, entry.password.constData()) != 0) {
            return fail();
        }
    }
    if (zip_close(archive) != 0) {
        return fail();
    }
    return true;
}

namespace zipforge {

namespace {

constexpr quint32 kCentralSignature = 0x02014b50;
constexpr quint32 kLocalSignature = 0x04034b50;
constexpr quint32 kEndSignature = 0x06054b50;

quint32 read32(const QByteArray& bytes, qint64 at)
{
    if (at < 0 || at + 4 > bytes.size()) {
        return 0;
    }
    quint32 value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<quint8>(bytes.at(at + i));
    }
    return value;
}

quint16 read16(const QByteArray& bytes, qint64 at)
{
    if (at < 0 || at + 2 > bytes.size()) {
        return 0;
    }
    return static_cast<quint16>(static_cast<quint8>(bytes.at(at)) | (static_cast<quint8>(bytes.at(at + 1)) << 8));
}

void write32(QByteArray& bytes, qint64 at, quint32 value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

/** Where an entry of a written archive sits, read from its central directory. */
struct EntryLocation
{
    qint64 centralHeader = 0;
    qint64 localHeader = 0;
    qint64 data = 0;
    qint64 compressedSize = 0;
};

std::optional<EntryLocation> locate(const QByteArray& archive, const QByteArray& name)
{
    // Without a comment, the end record is the last 22 bytes.
    const qint64 end = archive.size() - 22;
    if (read32(archive, end) != kEndSignature) {
        return std::nullopt;
    }
    const quint16 count = read16(archive, end + 10);
    qint64 at = read32(archive, end + 16);
    for (quint16 i = 0; i < count; ++i) {
        if (read32(archive, at) != kCentralSignature) {
            return std::nullopt;
        }
        const quint16 nameLength = read16(archive, at + 28);
        const qint64 next = at + 46 + nameLength + read16(archive, at + 30) + read16(archive, at + 32);
        if (archive.mid(at + 46, nameLength) == name) {
            EntryLocation found;
            found.centralHeader = at;
            found.localHeader = read32(archive, at + 42);
            found.compressedSize = read32(archive, at + 20);
            if (read32(archive, found.localHeader) != kLocalSignature) {
                return std::nullopt;
            }
            found.data = found.localHeader + 30 + read16(archive, found.localHeader + 26) +
                         read16(archive, found.localHeader + 28);
            return found;
        }
        at = next;
    }
    return std::nullopt;
}

/** Reads the archive, lets change alter the bytes around the named entry, and writes it back. */
bool editEntry(const QString& path, const QByteArray& name,
               const std::function<bool(QByteArray& bytes, const EntryLocation& entry)>& change)
{
    QFile file(path);
    QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const std::optional<EntryLocation> entry = locate(bytes, name);
    return entry && change(bytes, *entry) && TestFiles::writeBytes(path, bytes);
}

/** Writes value into the same field of the central header and, when asked, the local header. */
bool patchField(const QString& path, const QByteArray& name, qint64 centralOffset, qint64 localOffset,
                quint32 value, Headers where)
{
    return editEntry(path, name, [&](QByteArray& bytes, const EntryLocation& entry) {
        write32(bytes, entry.centralHeader + centralOffset, value);
        if (where == Headers::LocalAndCentral) {
            write32(bytes, entry.localHeader + localOffset, value);
        }
        return true;
    });
}

} // namespace

bool setDeclaredSize(const QString& path, const QByteArray& name, quint32 size, Headers where)
{
    return patchField(path, name, 24, 22, size, where);
}

bool setDeclaredCrc(const QString& path, const QByteArray& name, quint32 crc, Headers where)
{
    return patchField(path, name, 16, 14, crc, where);
}

bool corruptData(const QString& path, const QByteArray& name)
{
    return editEntry(path, name, [](QByteArray& bytes, const EntryLocation& entry) {
        if (entry.compressedSize == 0) {
            return false;
        }
        const qint64 middle = entry.data + entry.compressedSize / 2;
        bytes[middle] = static_cast<char>(~static_cast<quint8>(bytes.at(middle)));
        return true;
    });
}

} // namespace zipforge

} // namespace gw::test
