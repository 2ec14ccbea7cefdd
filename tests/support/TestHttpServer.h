#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

/**
 * A scripted HTTP server on 127.0.0.1 for tests: each path gets a fixed reply, every request is recorded, and every
 * connection is closed after its reply (Connection: close). Bounded: at most kMaxConnections connections are served,
 * a request head may be at most kMaxRequestBytes long, and no connection lives longer than kConnectionLifetimeMs.
 */
class TestHttpServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 64;
    static constexpr int kMaxRequestBytes = 16 * 1024;
    static constexpr int kConnectionLifetimeMs = 5000;

    enum class Behaviour {
        Normal,    // answers after delayMs
        Stall,     // reads the request and never answers; the connection is closed at the lifetime limit
        DropAfter, // sends the head and dropAfter body bytes, then closes the connection
        PauseAfter, // sends the head and dropAfter body bytes, the rest kPauseMs later, so the body arrives in parts
    };
    static constexpr int kPauseMs = 50;

    struct Reply
    {
        QByteArray status = "200 OK";
        /** Empty: no Content-Type header. */
        QByteArray contentType = "text/html";
        /** The Content-Length sent; -1 for the body's size, -2 for no Content-Length header. */
        qint64 contentLength = -1;
        /** Further header lines, "Name: value". */
        QList<QByteArray> headers{};
        QByteArray body{};
        Behaviour behaviour = Behaviour::Normal;
        qint64 dropAfter = 0;
        /** Wait before answering, below kConnectionLifetimeMs. */
        int delayMs = 0;
    };

    struct Request
    {
        QByteArray method;
        QByteArray path;
        /** The request line and the header lines, as received. */
        QByteArray head;
    };

    explicit TestHttpServer(QObject* parent = nullptr);
    ~TestHttpServer() override;

    /** Listens on 127.0.0.1 on a free port. */
    bool listen();
    quint16 port() const;
    /** "http://127.0.0.1:PORT/" */
    QString baseUrl() const;

    /** The reply for path (starting with "/"); an unscripted path gets a 404. */
    void setReply(const QByteArray& path, const Reply& reply) { m_replies.insert(path, reply); }
    /** A 302 to another path on this server. */
    void setRedirect(const QByteArray& path, const QByteArray& target);

    QList<Request> requests() const { return m_requests; }
    QList<QByteArray> requestedPaths() const;

    /** A port on 127.0.0.1 with nothing listening on it (it was free a moment ago). */
    static quint16 unusedPort();

signals:
    void requestReceived(const QByteArray& path);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Reply& reply);

    QTcpServer* m_server;
    QHash<QByteArray, Reply> m_replies;
    QList<Request> m_requests;
    int m_connections = 0;
};
