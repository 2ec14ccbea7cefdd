#include "TestHttpServer.h"

#include <QTcpSocket>
#include <QTimer>

TestHttpServer::TestHttpServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            QTimer::singleShot(kConnectionLifetimeMs, socket, [this, socket] {
                m_expired += socket->state() == QAbstractSocket::ConnectedState ? 1 : 0;
                socket->abort();
            });
        }
    });
}

QList<QByteArray> TestHttpServer::requestedPaths() const
{
    QList<QByteArray> paths;
    for (const Request& request : m_requests) {
        paths << request.path;
    }
    return paths;
}

void TestHttpServer::onReadyRead(QTcpSocket* socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("head", head);
        return;
    }
    socket->setProperty("answered", true);
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    m_requests << Request{requestLine.value(0), requestLine.value(1), head.left(end)};
    emit requestReceived(m_requests.last().path);
    const Reply reply = m_replies.value(m_requests.last().path, {.status = "404 Not Found", .body = "not scripted"});
    if (reply.behaviour != Behaviour::Stall) {
        answer(socket, reply);
    }
}

void TestHttpServer::answer(QTcpSocket* socket, const Reply& reply)
{
    QByteArray out = "HTTP/1.1 " + reply.status + "\r\n";
    if (!reply.contentType.isEmpty()) {
        out += "Content-Type: " + reply.contentType + "\r\n";
    }
    if (reply.contentLength != -2) {
        out += "Content-Length: " +
               QByteArray::number(reply.contentLength == -1 ? reply.body.size() : reply.contentLength) + "\r\n";
    }
    for (const QByteArray& header : reply.headers) {
        out += header + "\r\n";
    }
    const bool cut = reply.behaviour == Behaviour::DropAfter || reply.behaviour == Behaviour::PauseAfter;
    socket->write(out + "Connection: close\r\n\r\n" + (cut ? reply.body.left(reply.dropAfter) : reply.body));
    if (reply.behaviour == Behaviour::PauseAfter) {
        QTimer::singleShot(kPauseMs, socket, [socket, rest = reply.body.mid(reply.dropAfter)] {
            socket->write(rest);
            socket->disconnectFromHost();
        });
    } else {
        socket->disconnectFromHost(); // once everything written has gone out
    }
}
