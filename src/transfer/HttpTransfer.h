#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QList>
#include <QPair>
#include <QString>

class QNetworkAccessManager;
class TransferReport;
class QNetworkReply;

/**
 * One HTTP GET at a time, polled by its caller. start returns at once; isRunning is true until the request has ended
 * in any way, after which the whole response is held: its headers (header) and its body (read, in order). A request
 * that got no answer leaves no header.
 */
class HttpTransfer : public QObject
{
    Q_OBJECT
public:
    /** No data for this long ends a request; the classic control's default time-out. */
    static constexpr int kTimeoutMs = 60000;
    /** A body larger than this is refused, so a server that never stops cannot exhaust the memory. */
    static constexpr qint64 kMaxBody = qint64(1) << 30;

    explicit HttpTransfer(QObject* parent = nullptr);
    ~HttpTransfer() override;

    /** Starts a GET of url. Any request still running is abandoned first. */
    void start(const QString& url);
    bool isRunning() const;
    /** A header of the finished response; empty when it has no such header or there was no response. */
    QString header(const QString& name) const;
    /** The next bytes of the body, at most maxBytes of them; empty once the body is used up. */
    QByteArray read(int maxBytes);
    /** Ends the running request; no header remains. */
    void cancel();

    /** Waits with the event loop running, without burning a core, until the request has ended. */
    void waitUntilDone();

    /** Why the last request failed, for the log; empty when it succeeded or was not made. */
    QString errorText() const { return m_error; }
    /** The HTTP status of the finished response, or 0 when there was none. */
    int statusCode() const { return m_status; }
    /** Whether the response is the server saying no (a status of 400 or more) rather than the thing asked for. */
    bool isErrorPage() const { return m_status >= 400; }

signals:
    /** The running request has ended. */
    void finished();

private:
    void onReadyRead();
    void onFinished();
    void reset();

    QNetworkAccessManager* m_manager;
    QPointer<QNetworkReply> m_reply;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    // The body as it arrived, piece by piece: no copy of the whole, however large it is.
    QList<QByteArray> m_pieces;
    qsizetype m_pieceOffset = 0;
    qint64 m_received = 0;
    QString m_error;
    int m_status = 0;
};

/**
 * Fetches url and waits for it to end. Returns the named header of the answer; empty, after telling the report that
 * name was not downloaded, when the header is missing or the server's page said no (a 404 carries headers too).
 */
QString fetchAndTakeHeader(HttpTransfer& transfer, TransferReport& report, const QString& url, const QString& header,
                           const QString& name);
