#include "transfer/ContentEncoding.h"

namespace {

constexpr qint64 kPiece = 64 * 1024;

/** A zlib stream begins with a header whose two bytes, read as a big-endian number, are a multiple of 31. */
bool looksLikeZlib(const unsigned char* data, qint64 size)
{
    return size >= 2 && (data[0] & 0x0f) == 8 && ((data[0] << 8) | data[1]) % 31 == 0;
}

} // namespace

BodyDecoder::~BodyDecoder()
{
    if (m_started) {
        inflateEnd(&m_stream);
    }
}

bool BodyDecoder::start(const QString& contentEncoding)
{
    const QString encoding = contentEncoding.trimmed().toLower();
    if (encoding.isEmpty() || encoding == QLatin1String("identity")) {
        m_mode = Mode::Identity;
    } else if (encoding == QLatin1String("gzip") || encoding == QLatin1String("x-gzip")) {
        m_mode = Mode::Gzip;
    } else if (encoding == QLatin1String("deflate")) {
        m_mode = Mode::Deflate;
    } else {
        m_error = QStringLiteral("the server sent it compressed as \"") + contentEncoding +
                  QStringLiteral("\", which cannot be undone here");
        return false;
    }
    return true;
}

bool BodyDecoder::feed(const char* data, qint64 size, const Sink& sink)
{
    if (m_mode == Mode::Identity) {
        return size == 0 || sink(data, size);
    }
    if (size == 0) {
        return true;
    }
    if (m_ended) {
        m_error = QStringLiteral("the compressed body goes on past its end");
        return false;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    if (!m_started) {
        // windowBits 15 + 32 reads a gzip or zlib header; -15 a raw deflate stream.
        const int windowBits = m_mode == Mode::Gzip || looksLikeZlib(bytes, size) ? 15 + 32 : -15;
        if (inflateInit2(&m_stream, windowBits) != Z_OK) {
            m_error = QStringLiteral("the decoder could not start");
            return false;
        }
        m_started = true;
    }
    for (qint64 done = 0; done < size;) {
        const qint64 take = std::min<qint64>(size - done, kPiece);
        m_stream.next_in = const_cast<Bytef*>(bytes + done);
        m_stream.avail_in = static_cast<uInt>(take);
        if (!inflateSome(sink)) {
            return false;
        }
        done += take;
    }
    return true;
}

bool BodyDecoder::inflateSome(const Sink& sink)
{
    char buffer[kPiece];
    do {
        m_stream.next_out = reinterpret_cast<Bytef*>(buffer);
        m_stream.avail_out = sizeof buffer;
        const int result = inflate(&m_stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
            m_error = QStringLiteral("the compressed body is damaged");
            return false;
        }
        const qint64 produced = qint64(sizeof buffer) - m_stream.avail_out;
        if (produced > 0 && !sink(buffer, produced)) {
            return false;
        }
        if (result == Z_STREAM_END) {
            m_ended = true;
            if (m_stream.avail_in != 0) {
                m_error = QStringLiteral("the compressed body goes on past its end");
                return false;
            }
            return true;
        }
        if (result == Z_BUF_ERROR && produced == 0) {
            return true; // needs more input
        }
    } while (m_stream.avail_in != 0 || m_stream.avail_out == 0);
    return true;
}

bool BodyDecoder::finish()
{
    if (m_mode != Mode::Identity && !m_ended) {
        m_error = QStringLiteral("the compressed body is cut short");
        return false;
    }
    return true;
}
