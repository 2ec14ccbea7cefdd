#include "transfer/HttpTransfer.h"

#include "base/SafeWrite.h"
#include "transfer/ContentEncoding.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

constexpr qint64 kReadPiece = 64 * 1024;

} // namespace

QString durationText(int ms)
{
    if (ms % 60000 == 0) {
        return QStringLiteral("%1 min").arg(ms / 60000);
    }
    return ms % 1000 == 0 ? QStringLiteral("%1 s").arg(ms / 1000) : QStringLiteral("%1 ms").arg(ms);
}

QString sizeText(qint64 bytes)
{
    return bytes % TransferLimits::kMiB == 0 ? QStringLiteral("%1 MiB").arg(bytes / TransferLimits::kMiB)
                                             : QStringLiteral("%1 bytes").arg(bytes);
}

HttpTransfer::HttpTransfer(QObject* parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
{
    // Every redirect is looked at here (scheme, direction, count) before it is followed.
    m_manager->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
    m_idle.setSingleShot(true);
    m_total.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        fail(FetchEnd::Stalled,
             QStringLiteral("No data from %1 for %2; stopped").arg(host(), durationText(m_request.idleMs)));
    });
    connect(&m_total, &QTimer::timeout, this, [this] {
        fail(FetchEnd::TimedOut, QStringLiteral("The transfer from %1 took longer than %2; stopped")
                                     .arg(host(), durationText(m_request.totalMs)));
    });
}

HttpTransfer::~HttpTransfer()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

QString HttpTransfer::host() const
{
    return m_reply ? m_reply->url().host() : QUrl(m_request.url).host();
}

bool HttpTransfer::start(FetchRequest request)
{
    if (m_reply) {
        return false;
    }
    m_request = std::move(request);
    m_outcome = FetchOutcome();
    m_failed = false;
    m_headersSeen = false;
    m_redirects = 0;
    m_visited = {QUrl(m_request.url)};
    m_file.reset();
    m_decoder = std::make_unique<BodyDecoder>();
    QNetworkRequest networkRequest{QUrl(m_request.url)};
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // No compression asked for, so Content-Length counts the bytes that arrive. (Left to itself Qt asks for gzip and
    // more, decodes, and drops Content-Length.) A server that compresses anyway is decoded here, in pieces.
    networkRequest.setRawHeader("Accept-Encoding", "identity");
    m_reply = m_manager->get(networkRequest);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpTransfer::onMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpTransfer::onReadyRead);
    connect(m_reply, &QNetworkReply::redirected, this, &HttpTransfer::onRedirected);
    connect(m_reply, &QNetworkReply::finished, this, &HttpTransfer::onFinished);
    m_idle.start(m_request.idleMs);
    m_total.start(m_request.totalMs);
    return true;
}

void HttpTransfer::cancel()
{
    if (m_reply) {
        fail(FetchEnd::Cancelled, {});
    }
}

void HttpTransfer::fail(FetchEnd end, const QString& reason)
{
    if (m_failed || !m_reply) {
        return;
    }
    m_failed = true;
    m_outcome.end = end;
    m_outcome.reason = reason;
    m_idle.stop();
    m_total.stop();
    // Aborted from the event loop, not from inside a decoder or a signal of the reply: the fetch then ends in
    // onFinished, once.
    QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

void HttpTransfer::onRedirected(const QUrl& url)
{
    m_idle.start(m_request.idleMs);
    const QString from = m_reply->url().scheme();
    const QString scheme = url.scheme().toLower();
    if (m_visited.contains(url)) {
        fail(FetchEnd::BadRedirect,
             QStringLiteral("%1 redirects in a loop, back to %2; stopped").arg(host(), url.toDisplayString()));
    } else if (++m_redirects > kMaxRedirects) {
        fail(FetchEnd::BadRedirect,
             QStringLiteral("%1 redirects more than %2 times; stopped").arg(host()).arg(kMaxRedirects));
    } else if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        fail(FetchEnd::BadRedirect, QStringLiteral("%1 redirects to %2, which is no http or https address; stopped")
                                        .arg(host(), url.toDisplayString()));
    } else if (from == QLatin1String("https") && scheme == QLatin1String("http")) {
        fail(FetchEnd::BadRedirect, QStringLiteral("%1 redirects from https to http; stopped").arg(host()));
    } else {
        m_visited.insert(url);
        emit m_reply->redirectAllowed();
    }
}

void HttpTransfer::onMetaData()
{
    m_idle.start(m_request.idleMs);
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || m_headersSeen) {
        return;
    }
    const int code = status.toInt();
    if (code < 200 || (code >= 300 && code < 400)) {
        return; // an interim answer or a redirect: its headers are not those of the answer
    }
    m_headersSeen = true;
    m_outcome.status = code;
    m_outcome.contentType = QString::fromLatin1(m_reply->rawHeader("Content-Type"));
    m_outcome.contentLength = QString::fromLatin1(m_reply->rawHeader("Content-Length"));
    // After a redirect Qt may still hold the redirect's own length, joined to the answer's with a comma ("0, 144"):
    // the answer's is the last.
    m_outcome.contentLength = m_outcome.contentLength.section(QLatin1Char(','), -1).trimmed();
    acceptHeaders();
}

bool HttpTransfer::acceptHeaders()
{
    if (m_outcome.status >= 400) {
        fail(FetchEnd::ErrorStatus,
             QStringLiteral("%1 answered %2 %3")
                 .arg(host())
                 .arg(m_outcome.status)
                 .arg(QString::fromLatin1(
                     m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray())));
        return false;
    }
    if (m_reply->rawHeader(m_request.requiredHeader).isEmpty()) {
        fail(FetchEnd::MissingHeader,
             QStringLiteral("%1 sent no %2").arg(host(), QString::fromLatin1(m_request.requiredHeader)));
        return false;
    }
    if (!m_outcome.contentLength.isEmpty()) {
        bool isNumber = false;
        m_outcome.declared = m_outcome.contentLength.trimmed().toLongLong(&isNumber);
        if (!isNumber || m_outcome.declared < 0) {
            m_outcome.declared = -1;
            fail(FetchEnd::BadLength,
                 QStringLiteral("Content-Length is not a usable number: ") + m_outcome.contentLength);
            return false;
        }
        // Refused before any of the body is read.
        if (m_outcome.declared > m_request.maxBytes) {
            fail(FetchEnd::TooLarge, QStringLiteral("%1 declares %2 bytes, more than the %3 allowed; stopped")
                                         .arg(host())
                                         .arg(m_outcome.declared)
                                         .arg(sizeText(m_request.maxBytes)));
            return false;
        }
    }
    if (!m_decoder->start(QString::fromLatin1(m_reply->rawHeader("Content-Encoding")))) {
        fail(FetchEnd::BadEncoding, m_decoder->error());
        return false;
    }
    m_file = std::make_shared<gw::SafeWrite>(m_request.target);
    if (!m_file->open()) {
        fail(FetchEnd::WriteFailed,
             QStringLiteral("Unable to write ") + m_request.target + QStringLiteral(": ") + m_file->outcome().reason);
        return false;
    }
    m_outcome.headersAccepted = true;
    if (m_request.onHeaders) {
        m_request.onHeaders(m_outcome);
    }
    return true;
}

bool HttpTransfer::writeDecoded(const char* data, qint64 size)
{
    if (m_outcome.written + size > m_request.maxBytes) {
        fail(FetchEnd::TooLarge, QStringLiteral("The body from %1 is larger than the %2 allowed; stopped")
                                     .arg(host(), sizeText(m_request.maxBytes)));
        return false;
    }
    if (!m_file->write(data, size)) {
        fail(FetchEnd::WriteFailed,
             QStringLiteral("Unable to write ") + m_request.target + QStringLiteral(": ") + m_file->outcome().reason);
        return false;
    }
    m_outcome.written += size;
    if (m_request.inspect) {
        m_request.inspect(data, size);
    }
    return true;
}

void HttpTransfer::onReadyRead()
{
    if (!m_reply || m_failed) {
        return;
    }
    m_idle.start(m_request.idleMs);
    if (!m_headersSeen) {
        onMetaData();
    }
    if (!m_outcome.headersAccepted) {
        return; // a redirect's body, or one already refused
    }
    char buffer[kReadPiece];
    while (!m_failed && m_reply->bytesAvailable() > 0) {
        const qint64 got = m_reply->read(buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        m_outcome.received += got;
        const bool decoded =
            m_decoder->feed(buffer, got, [this](const char* data, qint64 size) { return writeDecoded(data, size); });
        if (!decoded) {
            fail(FetchEnd::BadEncoding, m_decoder->error());
            return;
        }
        if (m_request.onProgress) {
            m_request.onProgress(m_outcome.received);
        }
    }
}

void HttpTransfer::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply) {
        return;
    }
    if (!m_failed) {
        onReadyRead();
    }
    const QByteArray location = reply->rawHeader("Location");
    if (!m_failed && reply->error() == QNetworkReply::ProtocolUnknownError && !location.isEmpty()) {
        // Qt refuses a redirect to a scheme it cannot fetch before asking whether to follow it.
        m_failed = true;
        m_outcome.end = FetchEnd::BadRedirect;
        m_outcome.reason = QStringLiteral("%1 redirects to %2, which is no http or https address; stopped")
                               .arg(host(), QString::fromLatin1(location));
    }
    if (!m_failed && reply->error() != QNetworkReply::NoError) {
        // Lost in the body, or no answer at all.
        const FetchEnd end = m_outcome.headersAccepted ? FetchEnd::Incomplete
                             : reply->error() == QNetworkReply::TooManyRedirectsError ||
                                     reply->error() == QNetworkReply::InsecureRedirectError
                                 ? FetchEnd::BadRedirect
                                 : FetchEnd::NoAnswer;
        m_failed = true;
        m_outcome.end = end;
        m_outcome.reason =
            end == FetchEnd::Incomplete
                ? QStringLiteral("Only %1 of %2 bytes arrived").arg(m_outcome.received).arg(m_outcome.declared)
                : reply->errorString();
    }
    if (!m_failed && !m_headersSeen) {
        m_failed = true;
        m_outcome.end = FetchEnd::NoAnswer;
        m_outcome.reason = QStringLiteral("%1 sent no answer").arg(host());
    }
    if (!m_failed) {
        if (m_outcome.declared >= 0 && m_outcome.received != m_outcome.declared) {
            m_outcome.end = FetchEnd::Incomplete;
            m_outcome.reason =
                QStringLiteral("Only %1 of %2 bytes arrived").arg(m_outcome.received).arg(m_outcome.declared);
        } else if (!m_decoder->finish()) {
            m_outcome.end = FetchEnd::BadEncoding;
            m_outcome.reason = m_decoder->error();
        } else if (const QString refusal = m_request.verdict ? m_request.verdict() : QString(); !refusal.isEmpty()) {
            m_outcome.end = FetchEnd::Refused;
            m_outcome.reason = refusal;
        } else {
            m_outcome.end = FetchEnd::Received;
            m_outcome.file = m_file;
        }
    }
    m_idle.stop();
    m_total.stop();
    reply->disconnect(this);
    reply->deleteLater();
    m_reply = nullptr;
    m_file.reset(); // unless handed over, the temporary goes and the target stays as it was
    m_decoder.reset();
    // Reported from the event loop, so a caller that cancels finishes its own report first.
    QMetaObject::invokeMethod(
        this, [done = m_request.onDone, outcome = m_outcome] { done(outcome); }, Qt::QueuedConnection);
    m_request = FetchRequest();
}
