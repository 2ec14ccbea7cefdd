#include "TestHttpServer.h"

#include "transfer/HttpTransfer.h"

#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QTimer>
#include <QtTest>

namespace {

using Reply = TestHttpServer::Reply;

/** Bytes of every value, so a chunk out of order or cut wrongly shows. */
QByteArray pattern(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return data;
}

QByteArray wholeBody(HttpTransfer& inet, QList<int>* sizes = nullptr)
{
    QByteArray body;
    for (int guard = 0; guard < 10000; ++guard) {
        const QByteArray chunk = inet.read(1024);
        if (sizes) {
            *sizes << int(chunk.size());
        }
        if (chunk.isEmpty()) {
            break;
        }
        body += chunk;
    }
    return body;
}

} // namespace

class TestInet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void responseIsKept_data();
    void responseIsKept();
    void bodyComesInChunksOfAtMost1024_data();
    void bodyComesInChunksOfAtMost1024();
    void refusedConnectionLeavesNoHeader();
    void cancelEndsAStalledRequest();
    void redirectIsFollowed();
    void droppedConnectionGivesShortBody();

private:
    void fetch(const QByteArray& path);

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<HttpTransfer> m_inet;
};

void TestInet::initTestCase()
{
    // Only the local test server may be reached, whatever proxy the environment names.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void TestInet::init()
{
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->listen());
    m_inet = std::make_unique<HttpTransfer>();
}

void TestInet::cleanup()
{
    m_inet.reset();
    m_server.reset();
}

void TestInet::fetch(const QByteArray& path)
{
    m_inet->start(m_server->baseUrl() + QString::fromLatin1(path.mid(1)));
    QVERIFY(m_inet->isRunning());
    // Ends a wait that nothing else would end, so a fault fails here instead of hanging.
    bool watchdogFired = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, m_inet.get(), [&] {
        watchdogFired = true;
        emit m_inet->finished();
    });
    watchdog.start(TestHttpServer::kConnectionLifetimeMs + 3000);
    m_inet->waitUntilDone();
    QVERIFY(!watchdogFired);
    QVERIFY(!m_inet->isRunning());
}

void TestInet::responseIsKept_data()
{
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<qint64>("contentLength");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("typeName");
    QTest::addColumn<QString>("lengthName");
    QTest::addColumn<QString>("lengthHeader");
    QTest::addColumn<QByteArray>("received");

    const QByteArray page = "<html>\r\n<b>list</b>\n</html>";
    QTest::newRow("ok") << QByteArray("200 OK") << QByteArray("text/html; charset=utf-8") << qint64(-1) << page
                        << "Content-Type" << "Content-Length" << "27" << page;
    QTest::newRow("names in other case")
        << QByteArray("200 OK") << QByteArray("text/plain") << qint64(-1) << page << "content-TYPE"
        << "CONTENT-length" << "27" << page;
    QTest::newRow("404 keeps headers and body")
        << QByteArray("404 Not Found") << QByteArray("text/html") << qint64(-1) << QByteArray("no such page")
        << "Content-Type" << "Content-Length" << "12" << QByteArray("no such page");
    QTest::newRow("no length: read to the close")
        << QByteArray("200 OK") << QByteArray("text/html") << qint64(-2) << page << "Content-Type"
        << "Content-Length" << "" << page;
    QTest::newRow("length smaller than the body")
        << QByteArray("200 OK") << QByteArray("text/html") << qint64(6) << page << "Content-Type"
        << "Content-Length" << "6" << QByteArray("<html>");
    QTest::newRow("no content type") << QByteArray("200 OK") << QByteArray() << qint64(-1) << page
                                     << "Content-Type" << "Content-Length" << "27" << page;
}

void TestInet::responseIsKept()
{
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, contentType);
    QFETCH(qint64, contentLength);
    QFETCH(QByteArray, body);
    QFETCH(QString, typeName);
    QFETCH(QString, lengthName);
    QFETCH(QString, lengthHeader);
    QFETCH(QByteArray, received);

    Reply reply;
    reply.status = status;
    reply.contentType = contentType;
    reply.contentLength = contentLength;
    reply.body = body;
    m_server->setReply("/page.php", reply);
    fetch("/page.php");

    QCOMPARE(m_inet->header(typeName), QString::fromLatin1(contentType));
    QCOMPARE(m_inet->header(lengthName), lengthHeader);
    QCOMPARE(m_inet->header(QStringLiteral("X-Absent")), QString());
    QCOMPARE(wholeBody(*m_inet), received);
    // Qt may send a GET again when the server closes a connection it meant to reuse; every request is the page.
    QVERIFY(!m_server->requests().isEmpty());
    for (const auto& request : m_server->requests()) {
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.path, QByteArray("/page.php"));
    }
}

void TestInet::bodyComesInChunksOfAtMost1024_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<int>>("chunks");

    QTest::newRow("empty") << 0 << QList<int>{0};
    QTest::newRow("under one chunk") << 5 << QList<int>{5, 0};
    QTest::newRow("exactly one chunk") << 1024 << QList<int>{1024, 0};
    QTest::newRow("several") << 2500 << QList<int>{1024, 1024, 452, 0};
}

void TestInet::bodyComesInChunksOfAtMost1024()
{
    QFETCH(int, size);
    QFETCH(QList<int>, chunks);

    Reply reply;
    reply.body = pattern(size);
    m_server->setReply("/big", reply);
    fetch("/big");

    QList<int> sizes;
    QCOMPARE(wholeBody(*m_inet, &sizes), reply.body);
    QCOMPARE(sizes, chunks);
    QVERIFY(m_inet->read(1024).isEmpty());
}

void TestInet::refusedConnectionLeavesNoHeader()
{
    const quint16 port = TestHttpServer::unusedPort();
    QVERIFY(port != 0);
    m_inet->start(QStringLiteral("http://127.0.0.1:%1/allgenerators.php").arg(port));
    m_inet->waitUntilDone();
    QVERIFY(!m_inet->isRunning());
    QCOMPARE(m_inet->header(QStringLiteral("Content-Type")), QString());
    QCOMPARE(m_inet->header(QStringLiteral("Content-Length")), QString());
    QVERIFY(m_inet->read(1024).isEmpty());
    QVERIFY(!m_inet->errorText().isEmpty());
}

void TestInet::cancelEndsAStalledRequest()
{
    Reply reply;
    reply.behaviour = TestHttpServer::Behaviour::Stall;
    m_server->setReply("/stall", reply);
    // Cancelled once the request has surely arrived; the server gives up on its own after its lifetime limit.
    connect(m_server.get(), &TestHttpServer::requestReceived, this,
            [this] { QTimer::singleShot(50, m_inet.get(), [this] { m_inet->cancel(); }); });

    QElapsedTimer clock;
    clock.start();
    fetch("/stall");
    QVERIFY2(clock.elapsed() < TestHttpServer::kConnectionLifetimeMs - 1000, "the wait ended only when the server gave up");
    QCOMPARE(m_server->requestedPaths(), QList<QByteArray>{"/stall"});
    QCOMPARE(m_inet->header(QStringLiteral("Content-Type")), QString());
    QVERIFY(m_inet->read(1024).isEmpty());
}

void TestInet::redirectIsFollowed()
{
    m_server->setRedirect("/old.php", "/new.php");
    Reply reply;
    reply.body = "arrived";
    m_server->setReply("/new.php", reply);
    fetch("/old.php");

    QCOMPARE(m_server->requestedPaths(), (QList<QByteArray>{"/old.php", "/new.php"}));
    QCOMPARE(m_inet->header(QStringLiteral("Content-Type")), QStringLiteral("text/html"));
    QCOMPARE(wholeBody(*m_inet), QByteArray("arrived"));
}

void TestInet::droppedConnectionGivesShortBody()
{
    Reply reply;
    reply.body = pattern(5000);
    reply.behaviour = TestHttpServer::Behaviour::DropAfter;
    reply.dropAfter = 1000;
    m_server->setReply("/drop", reply);
    fetch("/drop");

    const QByteArray body = wholeBody(*m_inet);
    QVERIFY(body.size() < 5000);
    QCOMPARE(body, reply.body.left(body.size()));
}

QTEST_GUILESS_MAIN(TestInet)
#include "tst_inet.moc"
