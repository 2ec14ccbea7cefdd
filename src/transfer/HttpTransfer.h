#pragma once

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class BodyDecoder;

namespace gw {
class SafeWrite;
}

/** How long and how large a transfer may be. Real archives never come near these; tests give small ones. */
struct TransferLimits
{
    static constexpr qint64 kMiB = 1024 * 1024;
    /** No data for this long ends a transfer, redirects included. */
    int idleMs = 30 * 1000;
    /** A machine zip (after decoding) and the time its transfer may take. */
    qint64 maxZipBytes = 256 * kMiB;
    int zipTotalMs = 30 * 60 * 1000;
    /** A catalogue page (after decoding) and the time its transfer may take. */
    qint64 maxPageBytes = 64 * kMiB;
    int pageTotalMs = 10 * 60 * 1000;
};

/** How a fetch ended. */
enum class FetchEnd {
    Received,      // the whole body arrived, passed every check and waits in the file, uncommitted
    NoAnswer,      // no response at all (no server, refused connection, lost before the headers)
    ErrorStatus,   // the server's page said no (status 400 or more)
    MissingHeader, // the response lacks the header the caller needs
    BadLength,     // a Content-Length that is no number
    Cancelled,     // the user stopped it
    Stalled,       // no data for the idle limit
    TimedOut,      // longer than the total limit
    TooLarge,      // declared or decoded size over the cap
    BadRedirect,   // a redirect loop, or a redirect to a scheme other than http(s), or from https to http
    Incomplete,    // fewer bytes than declared, or the connection lost in the body
    BadEncoding,   // a Content-Encoding that cannot be undone, or a body that does not decode
    Refused,       // the caller's check of the content said no
    WriteFailed,   // the temporary file beside the target could not be written
};

/** What a fetch did. The texts are the reasons a user reads; the caller adds what it was fetching. */
struct FetchOutcome
{
    FetchEnd end = FetchEnd::NoAnswer;
    QString reason;               // why it ended other than Received; empty for a plain cancel
    bool headersAccepted = false; // the body began to be written
    int status = 0;
    QString contentType;
    QString contentLength; // as sent; empty when absent
    qint64 declared = -1;  // Content-Length as a number, -1 when absent
    qint64 received = 0;   // body bytes as they came over the wire
    qint64 written = 0;    // body bytes after decoding
    /** The checked body in its temporary file beside the target: commit() puts it in place. Set only when Received. */
    std::shared_ptr<gw::SafeWrite> file;
};

/** One GET, its body streamed through a decoder into a temporary file beside target. */
struct FetchRequest
{
    QString url;
    QString target;
    /** "Content-Length" or "Content-Type": a response without it writes nothing. */
    QByteArray requiredHeader;
    qint64 maxBytes = 0;
    int idleMs = 0;
    int totalMs = 0;
    /** Sees every decoded byte in order; at the end says why the content is refused, or nothing. */
    std::function<void(const char* data, qint64 size)> inspect;
    std::function<QString()> verdict;
    /** The headers were accepted: the body is about to stream. */
    std::function<void(const FetchOutcome& headers)> onHeaders;
    /** More body bytes arrived; received counts them as they came over the wire. */
    std::function<void(qint64 received)> onProgress;
    /** The fetch ended; always called from the event loop, never from inside start() or cancel(). */
    std::function<void(const FetchOutcome& outcome)> onDone;
};

/**
 * The program's one HTTP client: one QNetworkAccessManager, one reply in flight. A fetch continues from its reply's
 * signals; nothing waits. The body is never held whole: each piece is decoded and written as it arrives, and the file
 * replaces its target only when the caller commits it.
 */
class HttpTransfer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxRedirects = 10;

    explicit HttpTransfer(QObject* parent = nullptr);
    ~HttpTransfer() override;

    /** Starts a fetch; false (and nothing happens) while another runs. */
    bool start(FetchRequest request);
    bool isRunning() const { return m_reply != nullptr; }
    /** Ends the running fetch; its onDone says Cancelled. */
    void cancel();

private:
    void onMetaData();
    void onReadyRead();
    void onRedirected(const QUrl& url);
    void onFinished();
    void fail(FetchEnd end, const QString& reason);
    bool acceptHeaders();
    bool writeDecoded(const char* data, qint64 size);
    QString host() const;

    QNetworkAccessManager* m_manager;
    QPointer<QNetworkReply> m_reply;
    FetchRequest m_request;
    FetchOutcome m_outcome;
    bool m_failed = false;
    bool m_headersSeen = false;
    int m_redirects = 0;
    QSet<QUrl> m_visited;
    std::unique_ptr<BodyDecoder> m_decoder;
    std::shared_ptr<gw::SafeWrite> m_file;
    QTimer m_idle;
    QTimer m_total;
};

/** A duration as a person reads it: "30 s", "30 min", "300 ms". */
QString durationText(int ms);
/** A size cap as a person reads it: "64 MiB", or the bytes when it is no whole number of MiB. */
QString sizeText(qint64 bytes);
