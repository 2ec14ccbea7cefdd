#include "TestHttpServer.h"

#include "transfer/HttpTransfer.h"

#include <QNetworkProxy>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

class TestHttpTransfer : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<HttpTransfer> m_transfer;

    /** Fetches url and waits: false when the wait ended only because the server gave up, or it still runs. */
    bool fetch(const QString& url)
    {
        m_transfer->start(url);
        m_transfer->waitUntilDone();
        return m_server->expired() == 0 && !m_transfer->isRunning();
    }
    /** The body as read in pieces of at most 1000 bytes. */
    QByteArrayList pieces()
    {
        QByteArrayList all;
        for (QByteArray piece; !(piece = m_transfer->read(1000)).isEmpty();) {
            all << piece;
        }
        return all;
    }

private slots:
    // Only the local test server may be reached, whatever proxy the environment names.
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }
    void init()
    {
        m_transfer.reset();
        m_server = std::make_unique<TestHttpServer>();
        QVERIFY(m_server->listen());
        m_transfer = std::make_unique<HttpTransfer>();
    }

    void responseArrives_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<bool>("withLength");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("dropped");
        QTest::newRow("in two pieces") << "200 OK"_ba << true << 250003 << "/page.php"_ba << false;
        QTest::newRow("error status keeps headers and body")
            << "404 Not Found"_ba << true << 12 << "/page.php"_ba << false;
        QTest::newRow("no length: read to the close") << "200 OK"_ba << false << 30 << "/page.php"_ba << false;
        QTest::newRow("redirect followed") << "200 OK"_ba << true << 100 << "/old.php"_ba << false;
        // What arrives is shorter than declared, which is how a download is known to be incomplete.
        QTest::newRow("connection dropped") << "200 OK"_ba << true << 5000 << "/page.php"_ba << true;
    }
    void responseArrives()
    {
        QFETCH(QByteArray, status);
        QFETCH(bool, withLength);
        QFETCH(int, size);
        QFETCH(QByteArray, path);
        QFETCH(bool, dropped);
        QByteArray body(size, '\0');
        QRandomGenerator(size).fillRange(reinterpret_cast<quint32*>(body.data()), size / 4);
        // The body comes in two pieces (only the first when dropped), so some reads span both.
        const auto behaviour = dropped ? TestHttpServer::Behaviour::DropAfter : TestHttpServer::Behaviour::PauseAfter;
        m_server->setReply("/page.php", {.status = status, .contentLength = withLength ? -1 : -2, .body = body,
                                         .behaviour = behaviour, .dropAfter = 1500});
        m_server->setReply("/old.php", {.status = "302 Found", .headers = {"Location: /page.php"}});
        QVERIFY(fetch(m_server->baseUrl() + QString::fromLatin1(path.mid(1))));

        QCOMPARE(m_transfer->header(u"content-TYPE"_s), u"text/html"_s);
        QCOMPARE(m_transfer->header(u"Content-Length"_s), withLength ? QString::number(size) : QString());
        const QByteArrayList got = pieces();
        QCOMPARE(got.join(), dropped ? body.left(1500) : body);
        for (qsizetype i = 0; i + 1 < got.size(); ++i) {
            QCOMPARE(got.at(i).size(), 1000); // every piece as large as asked, but the last
        }
        for (const TestHttpServer::Request& request : m_server->requests()) {
            QCOMPARE(request.method, "GET"_ba);
            // No compression asked for, so Content-Length counts the bytes that arrive.
            static const QRegularExpression identity(u"\r\nAccept-Encoding: identity(\r\n|$)"_s);
            QVERIFY2(identity.match(QString::fromLatin1(request.head)).hasMatch(), request.head.constData());
        }
    }

    void noAnswerOrCancelLeavesNoHeader()
    {
        // Nothing listens there: the request ends with a reason and nothing else.
        QVERIFY(fetch(u"http://127.0.0.1:1/allgenerators.php"_s));
        QCOMPARE(m_transfer->header(u"Content-Type"_s), QString());
        QVERIFY(m_transfer->read(1000).isEmpty());
        QVERIFY(!m_transfer->errorText().isEmpty());

        // Cancelled once the request has arrived, long before the server would give up on it.
        m_server->setReply("/stall", {.behaviour = TestHttpServer::Behaviour::Stall});
        connect(m_server.get(), &TestHttpServer::requestReceived, this,
                [this] { QTimer::singleShot(0, m_transfer.get(), [this] { m_transfer->cancel(); }); },
                Qt::SingleShotConnection);
        QSignalSpy finished(m_transfer.get(), &HttpTransfer::finished);
        QVERIFY(fetch(m_server->baseUrl() + u"stall"_s));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(m_transfer->header(u"Content-Type"_s), QString());

        // The same transfer serves the next request, and the cancelled one does not end that wait.
        m_server->setReply("/next", {.body = "next"});
        QVERIFY(fetch(m_server->baseUrl() + u"next"_s));
        QCOMPARE(finished.size(), 2);
        QCOMPARE(pieces().join(), "next"_ba);
    }
};

QTEST_GUILESS_MAIN(TestHttpTransfer)
#include "tst_httptransfer.moc"
