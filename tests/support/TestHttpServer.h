#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

/**
 * A scripted HTTP server on 127.0.0.1 for tests: each path gets a fixed reply, every request is recorded, and every
 * connection is closed after its reply (Connection: close), or at the latest after kConnectionLifetimeMs.
 */
class TestHttpServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kConnectionLifetimeMs = 5000;
    static constexpr int kPauseMs = 50;

    enum class Behaviour {
        Normal,
        Stall,     // reads the request and never answers; the connection is aborted at the lifetime limit
        DropAfter, // sends the head and dropAfter body bytes, then closes the connection
        Trickle,   // sends the head and dropAfter body bytes, then one more every kPauseMs
    };

    struct Reply
    {
        QByteArray status = "200 OK";
        QByteArray contentType = "text/html"; // empty: no Content-Type header
        qint64 contentLength = -1;            // the Content-Length sent: -1 the body's size, -2 no header
        QList<QByteArray> headers{};          // further header lines, "Name: value"
        QByteArray body{};
        Behaviour behaviour = Behaviour::Normal;
        qint64 dropAfter = 0;
    };

    struct Request
    {
        QByteArray method;
        QByteArray path;
        QByteArray head; // the request line and the header lines, as received
    };

    /** A reply with this body sent gzip-compressed. */
    static Reply gzipped(const QByteArray& data);

    TestHttpServer();
    /** Listens on 127.0.0.1 on a free port. */
    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    /** "http://127.0.0.1:PORT/" */
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort()); }

    /** The reply for path (starting with "/"); an unscripted path gets a 404. */
    void setReply(const QByteArray& path, const Reply& reply) { m_replies.insert(path, reply); }
    Reply replyFor(const QByteArray& path) const { return m_replies.value(path); }
    QList<Request> requests() const { return m_requests; }
    QList<QByteArray> requestedPaths() const;
    /** Connections the client still held open at the lifetime limit: a wait that ended only because of it. */
    int expired() const { return m_expired; }

signals:
    void requestReceived(const QByteArray& path);

private:
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Reply& reply);

    QHash<QByteArray, Reply> m_replies;
    QList<Request> m_requests;
    int m_expired = 0;
    QTcpServer m_server; // last, so its sockets go first
};
