#include "TestHttpServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

TestHttpServer::TestHttpServer(QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TestHttpServer::onNewConnection);
}

TestHttpServer::~TestHttpServer() = default;

bool TestHttpServer::listen() { return m_server->listen(QHostAddress::LocalHost, 0); }

quint16 TestHttpServer::port() const { return m_server->serverPort(); }

QString TestHttpServer::baseUrl() const { return QStringLiteral("http://127.0.0.1:%1/").arg(port()); }

void TestHttpServer::setRedirect(const QByteArray& path, const QByteArray& target)
{
    Reply reply;
    reply.status = "302 Found";
    reply.headers << "Location: " + target;
    reply.body = "moved";
    setReply(path, reply);
}

QList<QByteArray> TestHttpServer::requestedPaths() const
{
    QList<QByteArray> paths;
    for (const Request& request : m_requests) {
        paths << request.path;
    }
    return paths;
}

quint16 TestHttpServer::unusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) {
        return 0;
    }
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void TestHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (++m_connections > kMaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        QTimer::singleShot(kConnectionLifetimeMs, socket, [socket] { socket->abort(); });
    }
}

void TestHttpServer::onReadyRead(QTcpSocket* socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (head.size() > kMaxRequestBytes) {
            socket->abort();
        } else {
            socket->setProperty("head", head);
        }
        return;
    }
    socket->setProperty("answered", true);
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    Request request{requestLine.value(0), requestLine.value(1), head.left(end)};
    m_requests << request;
    emit requestReceived(request.path);

    Reply reply;
    if (const auto it = m_replies.constFind(request.path); it != m_replies.constEnd()) {
        reply = it.value();
    } else {
        reply.status = "404 Not Found";
        reply.body = "not scripted";
    }
    if (reply.behaviour == Behaviour::Stall) {
        return;
    }
    const int delay = std::clamp(reply.delayMs, 0, kConnectionLifetimeMs - 500);
    QTimer::singleShot(delay, socket, [this, socket, reply] { answer(socket, reply); });
}

void TestHttpServer::answer(QTcpSocket* socket, const Reply& reply)
{
    QByteArray out = "HTTP/1.1 " + reply.status + "\r\n";
    if (!reply.contentType.isEmpty()) {
        out += "Content-Type: " + reply.contentType + "\r\n";
    }
    if (reply.contentLength != -2) {
        const qint64 length = reply.contentLength == -1 ? reply.body.size() : reply.contentLength;
        out += "Content-Length: " + QByteArray::number(length) + "\r\n";
    }
    for (const QByteArray& header : reply.headers) {
        out += header + "\r\n";
    }
    out += "Connection: close\r\n\r\n";
    const bool cut = reply.behaviour == Behaviour::DropAfter || reply.behaviour == Behaviour::PauseAfter;
    socket->write(out + (cut ? reply.body.left(reply.dropAfter) : reply.body));
    if (reply.behaviour == Behaviour::PauseAfter) {
        QTimer::singleShot(kPauseMs, socket, [socket, rest = reply.body.mid(reply.dropAfter)] {
            socket->write(rest);
            socket->disconnectFromHost();
        });
        return;
    }
    // Closes once everything written has gone out.
    socket->disconnectFromHost();
}
