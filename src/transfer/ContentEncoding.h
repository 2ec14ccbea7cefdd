#pragma once

#include <QString>

#include <functional>

#include <zlib.h>

/**
 * Undoes a body's Content-Encoding while it streams in. The transfers ask for none, but a server, proxy or CDN may
 * compress anyway. An empty or "identity" encoding passes the bytes through; "gzip", "x-gzip" and "deflate" (a zlib
 * stream by the standard, raw deflate from some servers) are inflated piece by piece, so no whole body is ever held.
 */
class BodyDecoder
{
public:
    /** Receives each decoded piece; returning false stops the decoding. */
    using Sink = std::function<bool(const char* data, qint64 size)>;

    BodyDecoder() = default;
    ~BodyDecoder();
    BodyDecoder(const BodyDecoder&) = delete;
    BodyDecoder& operator=(const BodyDecoder&) = delete;

    /** Chooses the decoding; false, with the reason in error(), for an encoding that cannot be undone here. */
    bool start(const QString& contentEncoding);
    /** Decodes the next received bytes into sink; false when they do not decode or the sink refused a piece. */
    bool feed(const char* data, qint64 size, const Sink& sink);
    /** Whether the encoded stream ended where the body did; false (with error()) for one cut short. */
    bool finish();
    QString error() const { return m_error; }

private:
    enum class Mode { Identity, Gzip, Deflate };
    bool inflateSome(const Sink& sink);

    Mode m_mode = Mode::Identity;
    bool m_started = false; // the inflater is set up (deflate waits for its first bytes to know its form)
    bool m_ended = false;
    z_stream m_stream{};
    QString m_error;
};
