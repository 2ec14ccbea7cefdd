#include "transfer/HttpTransfer.h"

#include "transfer/TransferReport.h"

#include <QEventLoop>

#include <algorithm>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

HttpTransfer::HttpTransfer(QObject* parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
{
    // Redirects are followed, but never from https to http.
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    m_manager->setTransferTimeout(kTimeoutMs);
}

HttpTransfer::~HttpTransfer() { reset(); }

void HttpTransfer::reset()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_headers.clear();
    m_pieces.clear();
    m_pieceOffset = 0;
    m_received = 0;
    m_error.clear();
    m_status = 0;
}

void HttpTransfer::start(const QString& url)
{
    reset();
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // As the classic control did: no compression asked for, so Content-Length counts the bytes that arrive. (Left
    // to itself Qt asks for gzip and more, decodes, and drops Content-Length.)
    request.setRawHeader("Accept-Encoding", "identity");
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpTransfer::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &HttpTransfer::onFinished);
}

bool HttpTransfer::isRunning() const { return m_reply != nullptr; }

void HttpTransfer::onReadyRead()
{
    if (!m_reply) {
        return;
    }
    if (m_received + m_reply->bytesAvailable() > kMaxBody) {
        m_error = QStringLiteral("the response is larger than %1 bytes").arg(kMaxBody);
        m_reply->abort();
        return;
    }
    QByteArray piece = m_reply->readAll();
    if (!piece.isEmpty()) {
        m_received += piece.size();
        m_pieces.append(std::move(piece));
    }
}

void HttpTransfer::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply) {
        return;
    }
    onReadyRead();
    // An HTTP error status still carries a response; only a request that got none leaves no headers.
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
        m_headers = reply->rawHeaderPairs();
        m_status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }
    if (reply->error() != QNetworkReply::NoError && m_error.isEmpty()) {
        m_error = reply->errorString();
    }
    if (reply->error() == QNetworkReply::OperationCanceledError ||
        reply->error() == QNetworkReply::TimeoutError) {
        m_headers.clear();
        m_pieces.clear();
        m_pieceOffset = 0;
        m_status = 0;
    }
    reply->disconnect(this);
    reply->deleteLater();
    m_reply = nullptr;
    emit finished();
}

QString HttpTransfer::header(const QString& name) const
{
    const QByteArray wanted = name.toLatin1();
    for (const auto& [key, value] : m_headers) {
        if (key.compare(wanted, Qt::CaseInsensitive) == 0) {
            return QString::fromLatin1(value);
        }
    }
    return {};
}

QByteArray HttpTransfer::read(int maxBytes)
{
    QByteArray chunk;
    while (chunk.size() < maxBytes && !m_pieces.isEmpty()) {
        const QByteArray& piece = m_pieces.first();
        const qsizetype take = std::min<qsizetype>(maxBytes - chunk.size(), piece.size() - m_pieceOffset);
        if (chunk.isEmpty() && take == piece.size()) {
            chunk = piece; // shares the piece, no copy
        } else {
            chunk.append(piece.constData() + m_pieceOffset, take);
        }
        m_pieceOffset += take;
        if (m_pieceOffset == piece.size()) {
            m_pieces.removeFirst();
            m_pieceOffset = 0;
        }
    }
    return chunk;
}

void HttpTransfer::cancel()
{
    reset();
    emit finished();
}

void HttpTransfer::waitUntilDone()
{
    if (!isRunning()) {
        return;
    }
    QEventLoop loop;
    connect(this, &HttpTransfer::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

QString fetchAndTakeHeader(HttpTransfer& transfer, TransferReport& report, const QString& url, const QString& header,
                           const QString& name)
{
    transfer.start(url);
    transfer.waitUntilDone();
    const QString value = transfer.header(header);
    if (!value.isEmpty() && !transfer.isErrorPage()) {
        return value;
    }
    report.logStatus(QStringLiteral("Connected?  Did not download ") + name);
    if (!transfer.errorText().isEmpty()) {
        report.log(transfer.errorText());
    }
    return {};
}
