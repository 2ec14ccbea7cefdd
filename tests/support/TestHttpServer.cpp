#include "TestHttpServer.h"

#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

#include <zlib.h>

TestHttpServer::Reply TestHttpServer::gzipped(const QByteArray& data)
{
    // qCompress's deflate data between the gzip header and trailer.
    QByteArray trailer(8, '\0');
    qToLittleEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size()))),
                    trailer.data());
    qToLittleEndian(quint32(data.size()), trailer.data() + 4);
    const QByteArray header("\x1f\x8b\x08\0\0\0\0\0\0\xff", 10);
    return {.headers = {"Content-Encoding: gzip"}, .body = header + qCompress(data).mid(6).chopped(4) + trailer};
}

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
    const bool cut = reply.behaviour == Behaviour::DropAfter || reply.behaviour == Behaviour::Trickle;
    socket->write(out + "Connection: close\r\n\r\n" + (cut ? reply.body.left(reply.dropAfter) : reply.body));
    if (reply.behaviour == Behaviour::Trickle) {
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket, rest = reply.body.mid(reply.dropAfter), sent = 0]() mutable {
            if (sent < rest.size()) {
                socket->write(rest.mid(sent++, 1));
            }
        });
        timer->start(kPauseMs);
    } else {
        socket->disconnectFromHost(); // once everything written has gone out
    }
}
