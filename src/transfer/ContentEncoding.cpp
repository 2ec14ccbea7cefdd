#include "transfer/ContentEncoding.h"

#include "transfer/HttpTransfer.h"

#include <QFile>
#include <QSaveFile>

#include <zlib.h>

namespace {

/** Inflates a gzip or zlib stream (windowBits 15 + 32) or a raw deflate stream (-15) into out. */
bool inflateAll(const QByteArray& in, int windowBits, QByteArray& out, QString& error)
{
    z_stream stream{};
    if (inflateInit2(&stream, windowBits) != Z_OK) {
        error = QStringLiteral("the decoder could not start");
        return false;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    stream.avail_in = static_cast<uInt>(in.size());
    out.clear();
    int result = Z_OK;
    char buffer[64 * 1024];
    while (result != Z_STREAM_END) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) {
            error = QStringLiteral("the compressed body is damaged or cut short");
            break;
        }
        out.append(buffer, static_cast<qsizetype>(sizeof buffer - stream.avail_out));
        // A small body that unpacks to gigabytes is refused like a body that large.
        if (out.size() > HttpTransfer::kMaxBody) {
            error = QStringLiteral("the body unpacks to more than %1 bytes").arg(HttpTransfer::kMaxBody);
            result = Z_DATA_ERROR;
            break;
        }
        if (result == Z_OK && stream.avail_in == 0 && stream.avail_out != 0) {
            error = QStringLiteral("the compressed body is cut short");
            result = Z_DATA_ERROR;
            break;
        }
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END;
}

} // namespace

bool decodeSavedBody(const QString& path, const QString& contentEncoding, QString& error)
{
    const QString encoding = contentEncoding.trimmed().toLower();
    if (encoding.isEmpty() || encoding == QLatin1String("identity")) {
        return true;
    }
    const bool gzip = encoding == QLatin1String("gzip") || encoding == QLatin1String("x-gzip");
    if (!gzip && encoding != QLatin1String("deflate")) {
        error = QStringLiteral("the server sent it compressed as \"") + contentEncoding +
                QStringLiteral("\", which cannot be undone here");
        return false;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        error = in.errorString();
        return false;
    }
    const QByteArray body = in.readAll();
    in.close();
    QByteArray decoded;
    // "deflate" is a zlib stream by the standard, but some servers send raw deflate under that name.
    if (!inflateAll(body, 15 + 32, decoded, error) && (gzip || !inflateAll(body, -15, decoded, error))) {
        return false;
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(decoded) != decoded.size() || !out.commit()) {
        error = out.errorString();
        return false;
    }
    return true;
}
