#include "ZipWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <zip.h>

namespace gw::test {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

ZipWriter& ZipWriter::add(const QByteArray& name, const QByteArray& data, Method method, const QByteArray& password)
{
    m_entries << Entry{name, data, method, password};
    return *this;
}

bool ZipWriter::aesWritingSupported() { return zip_encryption_method_supported(ZIP_EM_AES_256, 1) != 0; }

bool ZipWriter::writeTo(const QString& path) const
{
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    if (!archive) {
        return false;
    }
    bool done = true;
    for (const Entry& entry : m_entries) {
        // The buffers belong to this writer, which outlives zip_close below.
        zip_source_t* source = zip_source_buffer(archive, entry.data.constData(), zip_uint64_t(entry.data.size()), 0);
        const zip_int64_t index = source ? zip_file_add(archive, entry.name.constData(), source, ZIP_FL_ENC_GUESS) : -1;
        if (source && index < 0) {
            zip_source_free(source);
        }
        const auto at = zip_uint64_t(index);
        const zip_int32_t method = entry.method == Method::Store ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
        done = index >= 0 && zip_set_file_compression(archive, at, method, 0) == 0 &&
               (entry.password.isEmpty() ||
                zip_file_set_encryption(archive, at, ZIP_EM_AES_256, entry.password.constData()) == 0);
        if (!done) {
            break;
        }
    }
    if (done && zip_close(archive) == 0) {
        return true;
    }
    zip_discard(archive);
    return false;
}

QByteArray ZipWriter::bytes() const
{
    const QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("z.zip"));
    return writeTo(path) ? contents(path) : QByteArray();
}

} // namespace gw::test
